// Settings profiles without windows: which parts a profile brings back by its include bits,
// what stays untouched, and the refused names, missing and unwritable files. The filter control
// window and the watch window are stood in for by their hooks.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "common/TestUtil.h"
#include "control/FilterFiles.h"
#include "engine/DigiFilter.h"
#include "engine/MachineConfig.h"
#include "engine/RedrawRequest.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "interp/CliSpectrum.h"
#include "interp/ExportEngine.h"
#include "interp/ExportSeam.h"
#include "interp/ProfileInfo.h"
#include "interp/ProfileSeam.h"
#include "mainwin/ColorPalette.h"
#include "mainwin/SettingsProfile.h"
#include "platform/IniFile.h"

namespace {

constexpr int kAllParts = SETTINGS_PART_MACHINE | SETTINGS_PART_PROCESS | SETTINGS_PART_USERMENU |
                          SETTINGS_PART_FILTERS | SETTINGS_PART_PALETTE | SETTINGS_PART_WATCH;

// One value of every part a profile can hold; A and B differ in each.
struct PartValues {
  double freqMax;       // processing and display
  int historyLines;     // machine
  const char* menu;     // user menu entry 3
  double filter0;       // edited filter, channel 0
  double filter1;       // edited filter, channel 1
  uint32_t colour;      // palette entry 10
  int watch;            // the watch window's stand-in value
};
constexpr PartValues kA{3000.0, 400, "Menu A", 0.25, -0.5, 0x00112233, 7};
constexpr PartValues kB{2500.0, 900, "Menu B", 0.75, 0.125, 0x00445566, 9};

class SettingsProfileTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    m_oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    SetDefaultSettings();
    InitDefaultPalette();
    for (DigiFilterBlock& f : g_EditedDigiFilters) {
      std::memset(&f, 0, sizeof f);
      f.MaxCoeff = 4;
    }
    SetFilterControlWindowHook([this] { ++filterRefreshes; });
    Profile_InstallWatchHandlers(
        [this](const std::string& f) { watch = IniFile(f).ReadInteger("FakeWatch", "Value", -1); },
        [this](const std::string& f) {
          IniFile ini(f);
          ini.WriteInteger("FakeWatch", "Value", watch);
          ini.UpdateFile();
        });
  }
  void TearDown() override
  {
    SetFilterControlWindowHook({});
    Profile_InstallWatchHandlers({}, {});
    std::filesystem::current_path(m_oldCwd);
  }

  void Apply(const PartValues& v)
  {
    SndConfig.FreqMax = v.freqMax;
    MachineConfig.BufferedSpcLines = v.historyLines;
    std::snprintf(SndConfig.UserMenu[2].MenuText, 33, "%s", v.menu);
    g_EditedDigiFilters[0].alpha[1] = v.filter0;
    g_EditedDigiFilters[1].alpha[2] = v.filter1;
    g_ColorPalette.entries[10] = v.colour;
    watch = v.watch;
  }
  // Which of A and B each part holds now ('A', 'B' or '?').
  std::string Parts() const
  {
    const auto pick = [](bool a, bool b) { return a ? 'A' : b ? 'B' : '?'; };
    std::string s;
    s += pick(SndConfig.FreqMax == kA.freqMax, SndConfig.FreqMax == kB.freqMax);
    s += pick(MachineConfig.BufferedSpcLines == kA.historyLines,
              MachineConfig.BufferedSpcLines == kB.historyLines);
    s += pick(std::strcmp(SndConfig.UserMenu[2].MenuText, kA.menu) == 0,
              std::strcmp(SndConfig.UserMenu[2].MenuText, kB.menu) == 0);
    const bool fa = g_EditedDigiFilters[0].alpha[1] == kA.filter0 &&
                    g_EditedDigiFilters[1].alpha[2] == kA.filter1;
    const bool fb = g_EditedDigiFilters[0].alpha[1] == kB.filter0 &&
                    g_EditedDigiFilters[1].alpha[2] == kB.filter1;
    s += pick(fa, fb);
    s += pick(g_ColorPalette.entries[10] == kA.colour, g_ColorPalette.entries[10] == kB.colour);
    s += pick(watch == kA.watch, watch == kB.watch);
    return s;
  }
  // Saves A with every part into the file, then sets "Includes" to the bits under test.
  void SaveAllOfA(const std::string& file, int includes)
  {
    Apply(kA);
    SndConfig.AboutIncludes = kAllParts;
    std::string error;
    ASSERT_TRUE(Profile_SaveFile(file, kAllParts, &error)) << error;
    IniFile ini(file);
    ini.WriteInteger("ABOUT", "Includes", includes);
    ini.UpdateFile();
  }

  vt_test::TempDir dir;
  int filterRefreshes = 0;
  int watch = 0;

private:
  std::filesystem::path m_oldCwd;
};

// Each include bit brings back exactly its part, whatever else the file holds; the processing
// and display part always comes back, the machine part and the user menu never do.
TEST_F(SettingsProfileTest, IncludeBitsRestoreExactlyTheirParts)
{
  struct Case {
    int includes;
    const char* parts;  // freq, machine, user menu, filters, palette, watch
  } const cases[] = {
      {SETTINGS_PART_PROCESS, "ABBBBB"},
      {SETTINGS_PART_PROCESS | SETTINGS_PART_FILTERS, "ABBABB"},
      {SETTINGS_PART_PROCESS | SETTINGS_PART_PALETTE, "ABBBAB"},
      {SETTINGS_PART_PROCESS | SETTINGS_PART_WATCH, "ABBBBA"},
      {kAllParts, "ABBAAA"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.includes);
    SaveAllOfA("p.usr", c.includes);
    Apply(kB);
    ASSERT_EQ(Parts(), "BBBBBB");
    g_RedrawRequestMask = 0;
    std::string error;
    ASSERT_TRUE(Profile_LoadFile("p.usr", &error)) << error;
    EXPECT_EQ(Parts(), c.parts);
    EXPECT_EQ(SndConfig.AboutIncludes, c.includes);
    EXPECT_EQ(g_RedrawRequestMask, REDRAW_ALL);
  }
}

// "Includes" 0: only the processing and display settings change, though the file also holds
// the machine part, the user menu and a palette.
TEST_F(SettingsProfileTest, IncludesZeroChangesOnlyProcessingAndDisplay)
{
  SaveAllOfA("zero.usr", 0);
  const std::string before = vt_test::ReadWholeFile(dir.file("zero.usr"));
  ASSERT_NE(before.find("BufferedSpcLines"), std::string::npos);
  ASSERT_NE(before.find("[USER_MENU2]"), std::string::npos);
  ASSERT_NE(before.find("[Colors]"), std::string::npos);
  Apply(kB);
  std::string error;
  ASSERT_TRUE(Profile_LoadFile("zero.usr", &error)) << error;
  EXPECT_EQ(Parts(), "ABBBBB");
  EXPECT_EQ(SndConfig.AboutIncludes, 0);
  EXPECT_EQ(filterRefreshes, 0);
  // Loading never writes the profile.
  EXPECT_EQ(vt_test::ReadWholeFile(dir.file("zero.usr")), before);
}

// The saver writes the parts asked for and the watch sections by SndConfig.AboutIncludes.
TEST_F(SettingsProfileTest, SaveWritesTheRequestedParts)
{
  Apply(kA);
  SndConfig.AboutIncludes = SETTINGS_PART_PROCESS;
  std::string error;
  ASSERT_TRUE(Profile_SaveFile("s.usr", SETTINGS_PART_PROCESS | SETTINGS_PART_PALETTE, &error));
  const IniFile ini(dir.file("s.usr"));
  EXPECT_TRUE(ini.SectionExists("ABOUT"));
  EXPECT_TRUE(ini.SectionExists("Colors"));
  EXPECT_FALSE(ini.SectionExists("FilterCoefficients"));
  EXPECT_FALSE(ini.SectionExists("FakeWatch"));
  EXPECT_FALSE(ini.SectionExists("USER_MENU2"));
  EXPECT_FALSE(ini.ValueExists("MACHINE", "BufferedSpcLines"));
}

// A missing or unreadable profile is reported and nothing changes, not even the keys that have
// a fixed value when they are missing.
TEST_F(SettingsProfileTest, MissingOrUnreadableProfileChangesNothing)
{
  std::filesystem::create_directory(dir.path() / "folder.usr");
  for (const char* name : {"missing.usr", "folder.usr", ""}) {
    SCOPED_TRACE(name);
    Apply(kB);
    SndConfig.AboutIncludes = SETTINGS_PART_PALETTE;
    g_RedrawRequestMask = 0;
    std::string error;
    EXPECT_FALSE(Profile_LoadFile(name, &error));
    EXPECT_NE(error.find("Cannot read the settings profile"), std::string::npos) << error;
    EXPECT_EQ(Parts(), "BBBBBB");
    EXPECT_EQ(SndConfig.AboutIncludes, SETTINGS_PART_PALETTE);
    EXPECT_EQ(g_RedrawRequestMask, 0);
  }
}

// A profile that cannot be written is reported; an existing file stays as it was.
TEST_F(SettingsProfileTest, UnwritableProfileIsReported)
{
  std::filesystem::create_directory(dir.path() / "taken.usr");
  Apply(kA);
  SndConfig.AboutIncludes = kAllParts;
  for (const char* name : {"no/such/dir/p.usr", "taken.usr"}) {
    SCOPED_TRACE(name);
    std::string error;
    EXPECT_FALSE(Profile_SaveFile(name, kAllParts, &error));
    EXPECT_NE(error.find("Unable to write"), std::string::npos) << error;
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "taken.usr"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "no"));
}

// A profile that shows its reference spectrum loads it; a missing reference file is skipped.
TEST_F(SettingsProfileTest, ReferenceSpectrumComesWithTheProfile)
{
  SpectrumBuffer ref{};
  ref.structSize = sizeof ref;
  ref.bin_width_hz = 2.5;
  ref.nr_of_bins = 3;
  ref.scale_unit = 4;
  ref.bins[1] = -1234;
  ASSERT_TRUE(CLI_SaveSpectrumFile(dir.file("r.ref").c_str(), &ref));
  std::snprintf(SndConfig.SpectrumRefFileName, 256, "%s", dir.file("r.ref").c_str());
  SndConfig.SpectrumRefVisible = 1;
  SndConfig.AboutIncludes = SETTINGS_PART_PROCESS;
  std::string error;
  ASSERT_TRUE(Profile_SaveFile("ref.usr", SETTINGS_PART_PROCESS, &error)) << error;

  g_ReferenceSpectrum.nr_of_bins = 0;
  g_ReferenceSpectrum.bins[1] = 0;
  ASSERT_TRUE(Profile_LoadFile("ref.usr", &error)) << error;
  EXPECT_EQ(g_ReferenceSpectrum.nr_of_bins, 3);
  EXPECT_EQ(g_ReferenceSpectrum.bins[1], -1234);

  std::filesystem::remove(dir.path() / "r.ref");
  g_ReferenceSpectrum.nr_of_bins = 0;
  ASSERT_TRUE(Profile_LoadFile("ref.usr", &error)) << error;
  EXPECT_EQ(g_ReferenceSpectrum.nr_of_bins, 0);
}

// A profile that names another export definition brings it along: the running definition's
// unsaved change goes to its own file, the profile's definition is read, the export file of the
// old definition is closed, and the automatic save keeps the profile's definition as it is.
TEST_F(SettingsProfileTest, ProfileBringsItsExportDefinition)
{
  const auto writeDefinition = [this](const char* name, int columns, const char* title, const char* file) {
    IniFile ini(dir.file(name));
    ini.WriteInteger("EXPORT_FORMAT", "NrOfColumns", columns);
    ini.WriteInteger("EXPORT_FORMAT", "Active", 1);
    ini.WriteString("EXPORT_FORMAT", "FileName", dir.file(file));
    for (int i = 0; i < columns; ++i) ini.WriteString("EXPORT_FORMAT", "Title" + std::to_string(i), title + std::to_string(i));
    ini.UpdateFile();
  };
  writeDefinition("a.edf", 1, "A", "a.txt");
  writeDefinition("b.edf", 2, "B", "b.txt");
  SndConfig.MsgDisplay = 0;
  std::snprintf(SndConfig.DefinitionFileName, sizeof SndConfig.DefinitionFileName, "%s", dir.file("b.edf").c_str());
  ASSERT_TRUE(Profile_SaveFile("p.usr", SETTINGS_PART_PROCESS, nullptr));
  std::snprintf(SndConfig.DefinitionFileName, sizeof SndConfig.DefinitionFileName, "%s", dir.file("a.edf").c_str());

  CExportEngine& e = ExportEngine();
  e.LoadSettings(SndConfig.DefinitionFileName);
  ASSERT_TRUE(e.WriteLine("a-line"));
  const std::string aText = vt_test::ReadWholeFile(dir.file("a.txt"));
  std::snprintf(g_ExportColumns[0].title, sizeof g_ExportColumns[0].title, "%s", "A-edited");
  g_ExportDefinitionChanged = 1;

  ASSERT_TRUE(Profile_LoadFile("p.usr", nullptr));
  EXPECT_STREQ(SndConfig.DefinitionFileName, dir.file("b.edf").c_str());
  EXPECT_EQ(g_ExportColumnCount, 2);
  EXPECT_STREQ(g_ExportColumns[1].title, "B1");
  EXPECT_EQ(e.ExportFileHandle, -1);
  EXPECT_EQ(g_ExportDefinitionChanged, 0);
  EXPECT_EQ(IniFile(dir.file("a.edf")).ReadString("EXPORT_FORMAT", "Title0", ""), "A-edited");

  g_ExportDefinitionChanged = 1;  // the main window's automatic save
  Export_SaveSettings(SndConfig.DefinitionFileName);
  EXPECT_EQ(IniFile(dir.file("b.edf")).ReadInteger("EXPORT_FORMAT", "NrOfColumns", 0), 2);
  EXPECT_EQ(IniFile(dir.file("b.edf")).ReadString("EXPORT_FORMAT", "Title0", ""), "B0");
  ASSERT_TRUE(e.WriteLine("b-line"));
  EXPECT_EQ(vt_test::ReadWholeFile(dir.file("a.txt")), aText);
  EXPECT_EQ(vt_test::ReadWholeFile(dir.file("b.txt")), "B0\tB1\r\nb-line\r\n");

  // A profile with the same definition name leaves the running definition and its file alone.
  std::snprintf(g_ExportColumns[0].title, sizeof g_ExportColumns[0].title, "%s", "B-edited");
  ASSERT_TRUE(Profile_LoadFile("p.usr", nullptr));
  EXPECT_STREQ(g_ExportColumns[0].title, "B-edited");
  EXPECT_GE(e.ExportFileHandle, 0);
  e.CloseFile();
  g_ExportActive = 0;
}

TEST(ProfileNames, RefusedAndAcceptedNames)
{
  struct Case {
    const char* name;
    bool refused;
  } const cases[] = {
      {"", true},         {"a/b", true},   {"/etc/x", true}, {"..", false},
      {"MyProf1", false}, {"a.b", false},  {"\xc3\xa4rger", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(!CheckProfileName(c.name).empty(), c.refused) << '"' << c.name << '"';
}

TEST(ProfileNames, NameOfAFile)
{
  struct Case {
    const char* file;
    const char* name;
  } const cases[] = {
      {"/x/y/a.b.usr", "a"}, {"plain.usr", "plain"}, {".usr", ".usr"},
      {"dir.d/noext", "noext"}, {"/x/.hidden.usr", ".hidden.usr"},
  };
  for (const Case& c : cases) EXPECT_EQ(ProfileNameOfFile(c.file), c.name) << c.file;
}

}  // namespace

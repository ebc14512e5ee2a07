// Settings profiles on the real main window: an entry saved through the user-menu dialog, the
// quick-settings menu's user entries, and loading a profile back from that menu.
#include <QAction>
#include <QMenu>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/FreqMixer.h"
#include "engine/SampleRates.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "engine/forms/DialogHooks.h"
#include "interp/forms/MenuDefU.h"
#include "mainwin/ColorPalette.h"
#include "platform/IniFile.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

namespace {

// Records what the window asks of the audio engine when it re-applies a profile.
class TRecordingLink : public CSoundThreadLink {
public:
  void SetSoundInOutWanted(bool in, bool out) override
  {
    ++calls;
    wantIn = in;
    wantOut = out;
  }
  int calls = 0;
  bool wantIn = false, wantOut = false;
};

class ProfileMenuTest : public MainWindowTest {
protected:
  void SetUp() override
  {
    MainWindowTest::SetUp();
    Make();
    form->show();
    MenuDefForm = new TMenuDefForm;
  }
  void TearDown() override
  {
    TDialogHooks::DialogExecHook = nullptr;
    delete MenuDefForm;
    MainWindowTest::TearDown();
  }
  QAction* Action(const char* name) { return form->findChild<QAction*>(name); }
  void OpenQuickSettings()
  {
    auto* menu = form->findChild<QMenu*>("Menu_QuickSettings");
    ASSERT_NE(menu, nullptr);
    emit menu->aboutToShow();
  }
};

TEST_F(ProfileMenuTest, SaveThroughDialogThenLoadFromQuickSettings)
{
  const int brightness = 100;
  const uint32_t colour = 0x00123456;
  SndConfig.ColorPalBrightness = brightness;
  g_ColorPalette.entries[5] = colour;
  SndConfig.StartSoundInput = 0;
  SndConfig.StartSoundOutput = 1;
  SndConfig.FreqMixerEnabled = true;

  // Entry 1 saved with the palette through the dialog.
  TDialogHooks::DialogExecHook = [&](QDialog* d) {
    EXPECT_EQ(d, MenuDefForm);
    MenuDefForm->Ud_MenuNr->setValue(1);
    MenuDefForm->Ed_ProfileName->setText("first");
    MenuDefForm->Ed_MenuText->setText("First profile");
    MenuDefForm->Chk_IncColorPal->setChecked(true);
    MenuDefForm->Btn_Ok->setEnabled(true);
    MenuDefForm->Btn_Ok->click();
    return d->result();
  };
  Action("QSMenu_UserDefined")->trigger();
  TDialogHooks::DialogExecHook = nullptr;
  ASSERT_TRUE(messages.isEmpty()) << messages.join("|").toStdString();
  {
    const IniFile ini(dir.file("first.usr"));
    EXPECT_EQ(ini.ReadString("ABOUT", "MenuText", ""), "First profile");
    EXPECT_EQ(ini.ReadInteger("ABOUT", "Includes", 0), 2 | 4 | 0x40);
    EXPECT_TRUE(ini.SectionExists("Colors"));
  }

  // A display setting and the palette change; entry 4 is cleared, entry 5 starts with a byte
  // above 127.
  form->SBR_Brightness->setValue(30);
  ASSERT_EQ(SndConfig.ColorPalBrightness, 30);
  g_ColorPalette.entries[5] = 0x00654321;
  SndConfig.StartSoundOutput = 0;
  SndConfig.FreqMixerEnabled = false;
  g_FreqMixers[0].Enabled.store(false);
  SndConfig.UserMenu[3].MenuText[0] = '\0';
  std::snprintf(SndConfig.UserMenu[4].MenuText, 33, "%s", "\xc3\x84rger");

  OpenQuickSettings();
  QAction* user1 = Action("QSMenu_User1");
  ASSERT_NE(user1, nullptr);
  EXPECT_EQ(user1->text(), "First profile");
  EXPECT_TRUE(user1->isEnabled());
  EXPECT_EQ(Action("QSMenu_User4")->text(), "for rent #4");
  EXPECT_FALSE(Action("QSMenu_User4")->isEnabled());
  EXPECT_EQ(Action("QSMenu_User5")->text(), QString::fromUtf8("\xc3\x84rger"));
  EXPECT_TRUE(Action("QSMenu_User5")->isEnabled());

  MenuDefForm->MenuIndex = 5;
  TRecordingLink link;
  SetSoundThreadLink(&link);
  user1->trigger();
  SetSoundThreadLink(nullptr);
  EXPECT_EQ(link.calls, 1);
  EXPECT_FALSE(link.wantIn);
  EXPECT_TRUE(link.wantOut);
  EXPECT_TRUE(g_FreqMixers[0].Enabled.load());
  EXPECT_TRUE(messages.isEmpty()) << messages.join("|").toStdString();
  EXPECT_EQ(SndConfig.ColorPalBrightness, brightness);
  EXPECT_EQ(form->SBR_Brightness->value(), brightness);
  EXPECT_EQ(g_ColorPalette.entries[5], colour);
  EXPECT_EQ(MenuDefForm->MenuIndex, 0);
  // The waterfall's table was rebuilt from the loaded palette and brightness.
  TColorPalette expected;
  CalcWaterfallPaletteTable(g_ColorPalette, SndConfig.ColorPalContrast,
                            SndConfig.ColorPalBrightness, expected);
  EXPECT_EQ(std::memcmp(expected.entries, g_WaterfallPalette.entries, sizeof expected.entries), 0);
  // The user menu is not part of what a profile loads.
  EXPECT_EQ(SndConfig.UserMenu[3].MenuText[0], '\0');
}

// An entry whose profile name is refused or whose file is missing is reported; nothing changes.
TEST_F(ProfileMenuTest, RefusedOrMissingProfileChangesNothing)
{
  struct Case {
    const char* profile;
    const char* message;
  } const cases[] = {{"", "empty"}, {"../x", "must not contain"}, {"gone", "Cannot read"}};
  vt_test::WriteWholeFile(dir.file("x.usr"), "[ABOUT]\r\nIncludes=2\r\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.profile);
    messages.clear();
    std::snprintf(SndConfig.UserMenu[1].MenuText, 33, "%s", "Second");
    std::snprintf(SndConfig.UserMenu[1].ProfileName, 33, "%s", c.profile);
    SndConfig.ColorPalBrightness = 77;
    SndConfig.AboutIncludes = 0x40;
    Action("QSMenu_User2")->trigger();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(c.message)) << messages[0].toStdString();
    EXPECT_EQ(SndConfig.ColorPalBrightness, 77);
    EXPECT_EQ(SndConfig.AboutIncludes, 0x40);
    EXPECT_EQ(MenuDefForm->MenuIndex, 1);
  }
}

// A profile that cannot be written is shown and the dialog stays open.
TEST_F(ProfileMenuTest, UnwritableProfileKeepsDialogOpen)
{
  std::filesystem::create_directory(dir.path() / "busy.usr");
  int result = -1;
  TDialogHooks::DialogExecHook = [&](QDialog* d) {
    d->setResult(0);
    MenuDefForm->Ed_ProfileName->setText("busy");
    MenuDefForm->Btn_Ok->setEnabled(true);
    MenuDefForm->Btn_Ok->click();
    result = d->result();
    return result;
  };
  Action("QSMenu_UserDefined")->trigger();
  EXPECT_EQ(result, 0);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains("Unable to write")) << messages[0].toStdString();
  EXPECT_STRNE(SndConfig.UserMenu[0].ProfileName, "busy");
}


// A profile with another sideband and DC blocker: after the load both mixers run what the
// settings say (as after the configuration dialog's Apply), not what they ran before. The
// outputs of the loaded mixers equal those of mixers set up afresh from the new settings.
TEST_F(ProfileMenuTest, ProfileLoadSetsUpBothMixersAsTheSettingsSay)
{
  ASSERT_TRUE(!g_pSoundThread || g_pSoundThread->Suspended());  // nobody else mixes
  g_ProcessingSampleRate = 11025.0;  // the mixers build their tables for it
  SndConfig.MixerFrequency = 700.0;
  SndConfig.MixerSideband = 0;
  SndConfig.MixerDcReject = false;
  SndConfig.FreqMixerEnabled = true;
  FreqMixer_Init(&g_FreqMixers[0], 700.0, 0, false, true);
  FreqMixer_Init(&g_FreqMixers[1], 450.0, 0, false, true);
  // The second chain has no keys of its own: its settings change without its mixer.
  SndConfig.SecondMixer.MixerFrequency = 450.0;
  SndConfig.SecondMixer.MixerSideband = 4;
  SndConfig.SecondMixer.MixerDcReject = true;
  SndConfig.SecondMixer.FreqMixerEnabled = true;
  vt_test::WriteWholeFile(dir.file("ssb.usr"),
                          "[ABOUT]\r\nIncludes=0\r\n[CIRCUIT]\r\nFreqMixerEnabled=1\r\n"
                          "MixerFrequency=700\r\nMixerSideband=3\r\nMixerDcReject=1\r\n");
  ASSERT_TRUE(form->LoadSettingsFile("ssb.usr", 0));
  ASSERT_EQ(SndConfig.MixerSideband.load(), 3);
  ASSERT_TRUE(SndConfig.MixerDcReject.load());

  const struct {
    int ch;
    double freq;
    int sideband;
  } cases[] = {{0, 700.0, 3}, {1, 450.0, 4}};
  std::vector<double> in(2048);
  for (size_t i = 0; i < in.size(); ++i)
    in[i] = 3000.0 + 8000.0 * std::sin(2 * M_PI * 1000.0 * double(i) / 11025.0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ch);
    FreqMixerChain& m = g_FreqMixers[c.ch];
    EXPECT_EQ(m.Sideband, c.sideband);
    EXPECT_TRUE(m.DcReject);
    EXPECT_TRUE(m.Enabled.load());
    EXPECT_GT(m.TableLength.load(), 2);  // mixing, not passing the input on
    auto fresh = std::make_unique<FreqMixerChain>();
    FreqMixer_Clear(fresh.get());
    FreqMixer_Init(fresh.get(), c.freq, c.sideband, true, true);
    std::vector<double> got(in.size()), want(in.size());
    FreqMixer_Process(&m, in.data(), got.data(), int(in.size()));
    FreqMixer_Process(fresh.get(), in.data(), want.data(), int(in.size()));
    for (size_t i = 0; i < in.size(); ++i) ASSERT_EQ(got[i], want[i]) << i;
  }
}


// A quick preset sets the first mixer off, double sideband, no DC blocker: the running mixer
// follows at once instead of going on mixing as before.
TEST_F(ProfileMenuTest, QuickPresetSetsUpTheMixerAsTheSettingsSay)
{
  g_ProcessingSampleRate = 11025.0;
  SndConfig.MixerSideband = 3;
  SndConfig.MixerDcReject = true;
  SndConfig.FreqMixerEnabled = true;
  FreqMixer_Init(&g_FreqMixers[0], 1200.0, 3, true, true);
  Action("Menu_SlowCW4")->trigger();
  ASSERT_FALSE(SndConfig.FreqMixerEnabled.load());
  ASSERT_EQ(SndConfig.MixerSideband.load(), 0);
  EXPECT_FALSE(g_FreqMixers[0].Enabled.load());
  EXPECT_EQ(g_FreqMixers[0].Sideband, 0);
  EXPECT_FALSE(g_FreqMixers[0].DcReject);
  EXPECT_NEAR(g_FreqMixers[0].OscFrequency, SndConfig.MixerFrequency.load(), 10.0);
}

}  // namespace

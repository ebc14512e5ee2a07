// The export engine with an injected clock: exact lines, the title rule, the time grid, macro
// order, the word export, open failures, the definition file and the outputs (terminal, lock,
// short write).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "CliFixture.h"
#include "common/TestUtil.h"
#include "interp/ExportEngine.h"
#include "interp/ExportSeam.h"
#include "platform/IniFile.h"

namespace {

class ExportTest : public CliTest {
protected:
  void SetUp() override
  {
    CliTest::SetUp();
    old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    CLI_RegisterObjectWord("export", CLI_ExecExportCommand);
    SndConfig.MsgDisplay = MSGDISP_ERRORS | MSGDISP_WARNINGS | MSGDISP_FILE_ACTIONS;
    SndConfig.NextWriteTime = 0;
    e.CloseFile();
    e.OpenFailed = false;
    e.ResultsPending = 0;
    e.IsWindowVisible = nullptr;
    e.RefreshFileInfo = e.RefreshGrid = e.ShowResults = nullptr;
    e.IsResultsPageActive = nullptr;
    e.Clock = [this] { return clock; };
    std::memset(&g_ExportDefinition, 0, sizeof g_ExportDefinition);
    g_ExportDefinitionChanged = 0;
    Define(9, {{"A", "2*3", "0"}, {"B", "", "0.0"}, {"C", "nix", "0"}});
    std::snprintf(g_ExportFileName, 256, "%s", "out.txt");
    g_ExportActive = 1;
  }
  void TearDown() override
  {
    e.CloseFile();
    e.Clock = [] { return 0.0; };
    std::filesystem::current_path(old);
    CliTest::TearDown();
  }
  struct Col {
    const char* title;
    const char* expr;
    const char* format;
  };
  static void Define(int separator, std::initializer_list<Col> cols)
  {
    g_ExportSeparator = separator;
    g_ExportColumnCount = static_cast<int>(cols.size());
    int i = 0;
    for (const Col& c : cols) {
      std::snprintf(g_ExportColumns[i].title, 21, "%s", c.title);
      std::snprintf(g_ExportColumns[i].expression, 81, "%s", c.expr);
      std::snprintf(g_ExportColumns[i].format, 22, "%s", c.format);
      ++i;
    }
  }
  std::string Out() { return vt_test::ReadWholeFile(dir.file("out.txt")); }
  static std::string Formatted(const char* format, double v)
  {
    char text[256];
    CLI_FormatValue(CLI_SRC_EXPORT, format, v, text, 255);
    return text;
  }
  int MessagesWith(const std::string& part)
  {
    int n = 0;
    for (const CliMessage& m : messages()) n += m.line.find(part) != std::string::npos;
    return n;
  }

  CExportEngine& e = ExportEngine();
  double clock = 1000.0;
  vt_test::TempDir dir;
  std::filesystem::path old;
};

TEST_F(ExportTest, ExactLines)
{
  const std::string failed = Formatted("0", 1e300);
  const struct {
    int separator;
    int columns;
    std::string file;
  } table[] = {
      {9, 3, "A\tB\tC\r\n6\t0.0\t" + failed + "\r\n6\t0.0\t" + failed + "\r\n"},
      {59, 3, "A;B;C\r\n6;0.0;" + failed + "\r\n6;0.0;" + failed + "\r\n"},
      {9, 1, "A\r\n6\r\n6\r\n"},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(c.file);
    e.CloseFile();
    std::filesystem::remove(dir.file("out.txt"));
    g_ExportSeparator = c.separator;
    g_ExportColumnCount = c.columns;
    e.OnSpectrum();
    e.OnSpectrum();
    EXPECT_EQ(Out(), c.file);
    EXPECT_EQ(g_ExportColumnValues[0], 6.0);
  }
  EXPECT_EQ(g_ExportColumnValues[1], 0.0);     // empty expression
  EXPECT_EQ(g_ExportColumnValues[2], 1e300);   // failing expression
  EXPECT_EQ(MessagesWith("Created export file \"out.txt\""), 3);
}

TEST_F(ExportTest, TitleLineOnlyForFilesOfAtMostFiveBytes)
{
  const struct {
    std::string before;
    bool title;
  } table[] = {{"", true}, {"abc", true}, {"abcde", true}, {"abcdef", false}};
  for (const auto& c : table) {
    e.CloseFile();
    vt_test::WriteWholeFile(dir.file("out.txt"), c.before);
    EXPECT_TRUE(e.WriteLine("x"));
    EXPECT_EQ(Out(), c.before + (c.title ? "A\tB\tC\r\n" : "") + "x\r\n") << c.before;
    EXPECT_EQ(e.FileSize, static_cast<int64_t>(Out().size()));
  }
  EXPECT_EQ(MessagesWith("Opened export file \"out.txt\", size=6"), 1);
}

TEST_F(ExportTest, TimeGrid)
{
  g_ExportUsePreciseInterval = 1;
  g_ExportWriteIntervalSec = 10;
  SndConfig.NextWriteTime = 100;
  const struct {
    double now;
    bool line;
    double next;
  } table[] = {
      {95, false, 100},
      {105, true, 110},
      {135, true, 130},  // two grid points late: back on the grid
      {131, true, 140},
      {139, false, 140},
  };
  int lines = 0;
  for (const auto& c : table) {
    SCOPED_TRACE(c.now);
    clock = c.now;
    e.OnSpectrum();
    lines += c.line;
    EXPECT_EQ(SndConfig.NextWriteTime, c.next);
    const std::string out = Out();
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), lines + (lines ? 1 : 0));
  }

  // Interval 0 (or not finite): no line ever, but the macro and the columns still run.
  for (double interval : {0.0, -5.0, static_cast<double>(NAN), static_cast<double>(INFINITY)}) {
    g_ExportWriteIntervalSec = interval;
    std::snprintf(g_ExportCmdAfterSpectrum, 256, "export.value[3]=7");
    g_ExportColumnValues[0] = 0;
    const std::string before = Out();
    clock += 100;
    e.OnSpectrum();
    EXPECT_EQ(Out(), before);
    EXPECT_EQ(g_ExportColumnValues[0], 6.0);
  }
  // A next write time that is not finite counts as unset.
  g_ExportWriteIntervalSec = 10;
  SndConfig.NextWriteTime = NAN;
  clock = 1005;
  e.OnSpectrum();
  EXPECT_EQ(SndConfig.NextWriteTime, 1000.0);  // the grid point at or before now
}

TEST_F(ExportTest, MacroOrder)
{
  Define(9, {{"A", "2*3", "0"}, {"B", "1", "0"}, {"C", "1", "0"}});
  std::snprintf(g_ExportCmdAfterSpectrum, 256, "export.value[1]=111");
  std::snprintf(g_ExportCmdBeforeWrite, 256, "export.value[2]=222");
  std::snprintf(g_ExportCmdAfterWrite, 256, "export.value[3]=333");
  e.OnSpectrum();
  EXPECT_EQ(Out(), "A\tB\tC\r\n6\t222\t1\r\n");
  EXPECT_EQ(g_ExportColumnValues[2], 333.0);

  // A macro that stops the export ends the step: no line, the file is not opened again.
  for (char* macro : {g_ExportCmdAfterSpectrum, g_ExportCmdBeforeWrite}) {
    g_ExportCmdAfterSpectrum[0] = g_ExportCmdBeforeWrite[0] = g_ExportCmdAfterWrite[0] = '\0';
    std::snprintf(macro, 256, "export.stop");
    g_ExportActive = 1;
    const std::string before = Out();
    e.OnSpectrum();
    EXPECT_EQ(Out(), before);
    EXPECT_EQ(g_ExportActive, 0);
    EXPECT_LT(e.ExportFileHandle, 0);
  }
}

TEST_F(ExportTest, LongTextIsCut)
{
  vt_test::WriteWholeFile(dir.file("out.txt"), "existing\r\n");
  const std::string text(1500, 'x');
  EXPECT_TRUE(e.WriteLine(text.c_str()));
  EXPECT_EQ(Out(), "existing\r\n" + std::string(1020, 'x') + "\r\n");
}

TEST_F(ExportTest, ExportWordTable)
{
  g_ExportActive = 0;
  const struct {
    const char* macro;
    int rc;
  } table[] = {
      {"export.value[0]", CLI_ERR_BAD_INDEX},
      {"export.title[31]", CLI_ERR_BAD_INDEX},
      {"export.value[1e308*10]", CLI_ERR_BAD_INDEX},
      {"export.value[-1e308*10]", CLI_ERR_BAD_INDEX},
      {"export.value 1", CLI_ERR_BRACKET},
      {"export.value[1", CLI_ERR_BAD_INDEX},
      {"export.value[nix]", CLI_ERR_UNKNOWN_FUNCTION},
      {"export.value[2.7]=5", CLI_OK},
      {"export.value[30]=1", CLI_OK},
      {"export.title[1]=\"Pwr\"", CLI_OK},
      {"export.format[2]=\"0.000\"+\"00000000000000000000\"", CLI_OK},
      {"export.expression[3]=\"peak_f(1,2)\"", CLI_OK},
      {"export.title[1]=12", CLI_ERR_STRING_EXPECTED},
      {"export.foo", CLI_ERR_UNKNOWN_COMMAND},
      {"export.Start", CLI_ERR_SYNTAX},
      {"export.print", CLI_ERR_ARG_MISSING},
      {"export.start(\"x.txt\"", CLI_ERR_SYNTAX},
  };
  for (const auto& c : table) EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, c.macro), c.rc) << c.macro;
  EXPECT_EQ(g_ExportColumnValues[1], 5.0);
  EXPECT_EQ(g_ExportColumnValues[29], 1.0);
  EXPECT_STREQ(g_ExportColumns[0].title, "Pwr");
  EXPECT_STREQ(g_ExportColumns[1].format, "0.000000000000000000");  // cut to 20
  EXPECT_STREQ(g_ExportColumns[2].expression, "peak_f(1,2)");
  EXPECT_EQ(g_ExportDefinitionChanged, 0);  // titles, formats, expressions by command: no
  EXPECT_EQ(CLI_CalcExpression2(CLI_SRC_CMDWIN, "export.value[2]*2", 0, 0), 10.0);
  char text[256];
  g_CliParsePtr = "export.title[1]";
  EXPECT_EQ(CLI_EvalStringExpression(CLI_SRC_CMDWIN, text, 255), 3);
  EXPECT_STREQ(text, "Pwr");

  // start and stop with their bookkeeping.
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "export.start"), CLI_OK);
  EXPECT_EQ(g_ExportActive, 1);
  EXPECT_EQ(g_ExportDefinitionChanged, 1);
  EXPECT_EQ(MessagesWith("Activated export to old name \"out.txt\""), 1);
  g_ExportDefinitionChanged = 0;
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "export.start(\"out\"+\".txt\")"), CLI_OK);
  EXPECT_EQ(g_ExportDefinitionChanged, 0);  // same name, already active
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "export.start( \"new.txt\" )"), CLI_OK);
  EXPECT_STREQ(g_ExportFileName, "new.txt");
  EXPECT_EQ(g_ExportDefinitionChanged, 1);
  EXPECT_EQ(MessagesWith("New Export File Name \"new.txt\""), 1);
  g_ExportDefinitionChanged = 0;
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "export.stop"), CLI_OK);
  EXPECT_EQ(g_ExportActive, 0);
  EXPECT_EQ(g_ExportDefinitionChanged, 1);
  EXPECT_EQ(MessagesWith("Export function de-activated by command."), 1);
  EXPECT_EQ(CLI_CalcExpression2(CLI_SRC_CMDWIN, "export.start+1", 0, 0), 2.0);
}

TEST_F(ExportTest, PrintWritesWhileInactive)
{
  g_ExportActive = 0;
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "export.print(\"x\")"), CLI_OK);
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "export.print(\"y=\";2*2)"), CLI_OK);
  EXPECT_EQ(Out(), "A\tB\tC\r\nx\r\ny=4\r\n");
}

TEST_F(ExportTest, OpenFailureReportsOnceAndWaitsForTheWindow)
{
  for (const char* name : {"nodir/out.txt", "COM7", "com12:"}) {
    SCOPED_TRACE(name);
    messages().clear();
    e.OpenFailed = false;
    std::snprintf(g_ExportFileName, 256, "%s", name);
    EXPECT_FALSE(e.WriteLine("x"));
    EXPECT_FALSE(e.WriteLine("x"));
    e.OnSpectrum();
    EXPECT_TRUE(e.OpenFailed);
    EXPECT_EQ(MessagesWith(std::string("Could not create Export \"") + name + "\""), 1);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("COM7")));
  std::snprintf(g_ExportFileName, 256, "%s", "out.txt");
  EXPECT_FALSE(e.WriteLine("x"));  // no retry while the flag stands
  e.OpenFailed = false;             // as showing the window does
  EXPECT_TRUE(e.WriteLine("x"));
}

TEST_F(ExportTest, DefinitionFileRoundTrip)
{
  const std::string edf = dir.file("def.edf");
  {
    IniFile ini(edf);
    ini.WriteString("EXPORT_FORMAT", "Title5", "keep me");
    ini.UpdateFile();
  }
  Define(59, {{"T1", "peak_f(1,100)", "0.00"}, {"T2", "time", "hh:mm:ss"}, {"T3", "", "###0.#"}});
  g_ExportColumns[1].flags = 7;
  g_ExportActive = 1;
  std::snprintf(g_ExportFileName, 256, "%s", "COM2");
  std::snprintf(g_ExportCmdAfterSpectrum, 256, "%s", "export.value[1]=1");
  std::snprintf(g_ExportCmdBeforeWrite, 256, "%s", "print \"a\"");
  std::snprintf(g_ExportCmdAfterWrite, 256, "%s", "click");
  g_ExportUsePreciseInterval = 1;
  g_ExportWriteIntervalSec = 2.5;
  g_ExportDefinitionChanged = 1;
  clock = 4242;
  ASSERT_TRUE(e.SaveSettings(edf));
  EXPECT_EQ(g_ExportDefinitionChanged, 0);
  EXPECT_EQ(g_ExportDefinitionSaveTime, 4242.0);
  const ExportDefinition saved = g_ExportDefinition;
  std::memset(&g_ExportDefinition, 0, sizeof g_ExportDefinition);
  g_ExportDefinitionChanged = 1;
  e.LoadSettings(edf);
  EXPECT_EQ(g_ExportColumnCount, saved.ColumnCount);
  for (int i = 0; i < 3; ++i) {
    EXPECT_STREQ(g_ExportColumns[i].title, saved.Columns[i].title);
    EXPECT_STREQ(g_ExportColumns[i].expression, saved.Columns[i].expression);
    EXPECT_STREQ(g_ExportColumns[i].format, saved.Columns[i].format);
    EXPECT_EQ(g_ExportColumns[i].flags, saved.Columns[i].flags);
  }
  EXPECT_EQ(g_ExportActive, 1);
  EXPECT_EQ(g_ExportSeparator, 59);
  EXPECT_STREQ(g_ExportFileName, "COM2");
  EXPECT_STREQ(g_ExportCmdAfterSpectrum, saved.CmdAfterSpectrum);
  EXPECT_STREQ(g_ExportCmdBeforeWrite, saved.CmdBeforeWrite);
  EXPECT_STREQ(g_ExportCmdAfterWrite, saved.CmdAfterWrite);
  EXPECT_EQ(g_ExportUsePreciseInterval, 1);
  EXPECT_EQ(g_ExportWriteIntervalSec, 2.5);
  EXPECT_EQ(g_ExportDefinitionChanged, 0);
  const IniFile ini(edf);
  EXPECT_EQ(ini.ReadString("EXPORT_FORMAT", "Title5", ""), "keep me");
  EXPECT_FALSE(ini.ValueExists("EXPORT_FORMAT", "Title3"));
  EXPECT_EQ(ini.ReadString("EXPORT_ACTIONS", "WriteIntervalSec", ""), "2.5");

  // A missing file gives the defaults; the interval keeps the value held before.
  e.LoadSettings(dir.file("none.edf"));
  EXPECT_EQ(g_ExportColumnCount, 5);
  EXPECT_EQ(g_ExportActive, 0);
  EXPECT_EQ(g_ExportSeparator, 9);
  EXPECT_STREQ(g_ExportFileName, "test.txt");
  EXPECT_STREQ(g_ExportColumns[4].title, "Col4");
  EXPECT_STREQ(g_ExportColumns[4].format, "###0.#");
  EXPECT_EQ(g_ExportWriteIntervalSec, 2.5);
  // Counts outside 1..30 are clamped.
  for (auto [text, count] : {std::pair{"0", 1}, {"31", 30}, {"-7", 1}, {"x", 5}}) {
    IniFile w(edf);
    w.WriteString("EXPORT_FORMAT", "NrOfColumns", text);
    w.UpdateFile();
    e.LoadSettings(edf);
    EXPECT_EQ(g_ExportColumnCount, count) << text;
  }
}

TEST_F(ExportTest, FailedSaveIsReportedOnceAndClearsTheFlag)
{
  for (const std::string& name : {std::string(), dir.file("nodir/def.edf")}) {
    messages().clear();
    g_ExportDefinitionChanged = 1;
    EXPECT_FALSE(e.SaveSettings(name));
    EXPECT_EQ(g_ExportDefinitionChanged, 0);
    EXPECT_EQ(MessagesWith("Export settings not saved"), 1) << name;
  }
  // The seam the main loop and the main window's close use does the same.
  g_ExportDefinitionChanged = 1;
  Export_SaveSettings("");
  EXPECT_EQ(g_ExportDefinitionChanged, 0);
}

TEST_F(ExportTest, PseudoTerminalAsCom1)
{
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  setenv("VARTUMO_COM1", ptsname(master), 1);
  std::snprintf(g_ExportFileName, 256, "%s", "com1:");
  auto readAll = [&] {
    std::string got;
    char buf[256];
    for (;;) {
      pollfd p{master, POLLIN, 0};
      if (poll(&p, 1, 200) <= 0) break;
      const ssize_t n = read(master, buf, sizeof buf);
      if (n <= 0) break;
      got.append(buf, static_cast<size_t>(n));
    }
    return got;
  };
  for (int round = 0; round < 2; ++round) {
    EXPECT_TRUE(e.WriteLine("x"));
    int exclusive = 0;
    ASSERT_EQ(ioctl(e.ExportFileHandle, TIOCGEXCL, &exclusive), 0);
    EXPECT_NE(exclusive, 0);
    std::string got = readAll();
    got.erase(std::remove(got.begin(), got.end(), '\r'), got.end());  // the terminal may map
    EXPECT_EQ(got, "A\tB\tC\nx\n") << round;
    e.CloseFile();
  }
  EXPECT_EQ(MessagesWith("Opened Communication Channel for export to \"com1:\""), 2);
  unsetenv("VARTUMO_COM1");
  close(master);
}

TEST_F(ExportTest, SecondOpenOfALockedFileFails)
{
  vt_test::WriteWholeFile(dir.file("out.txt"), "0123456789\r\n");
  const int other = open(dir.file("out.txt").c_str(), O_RDONLY);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  EXPECT_FALSE(e.WriteLine("x"));
  EXPECT_TRUE(e.OpenFailed);
  close(other);
  e.OpenFailed = false;
  EXPECT_TRUE(e.WriteLine("x"));
  const int third = open(dir.file("out.txt").c_str(), O_RDONLY);
  EXPECT_NE(flock(third, LOCK_EX | LOCK_NB), 0);  // held by the export
  close(third);
}

TEST_F(ExportTest, ShortWriteCutsTheFileBack)
{
  vt_test::WriteWholeFile(dir.file("out.txt"), std::string(100, 'a'));
  ASSERT_TRUE(e.WriteLine("first"));
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 110;  // room for part of the next line only
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  EXPECT_FALSE(e.WriteLine("a line longer than the room left"));
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_TRUE(e.OpenFailed);
  EXPECT_LT(e.ExportFileHandle, 0);
  EXPECT_EQ(Out(), std::string(100, 'a') + "first\r\n");
}

}  // namespace

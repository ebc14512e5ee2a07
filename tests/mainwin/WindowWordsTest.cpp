// The interpreter words "wave" and "capture" against a fake window.
#include "mainwin/WindowWords.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../interp/CliFixture.h"
#include "interp/CliCommands.h"

namespace {

struct FakeWindow : IWindowWordsHost {
  std::vector<std::string> calls;
  bool startOk = true, composeOk = true;
  double clock = 1000.0;
  std::string shown;
  bool StartWaveRecordingQuiet(int mode, const std::string& name, std::string* reason) override
  {
    calls.push_back("start " + std::to_string(mode) + " [" + name + "]");
    if (!startOk) *reason = "Could not create \"" + name + "\" (No such file or directory)";
    return startOk;
  }
  void StopWaveRecording() override { calls.push_back("stop"); }
  bool ComposeCaptureBitmap(const std::string& name) override
  {
    calls.push_back("capture [" + name + "]");
    return composeOk;
  }
  double CaptureClock() override { return clock; }
  void ShowCaptureIndicator(const std::string& caption) override { shown = caption; }
};

class WindowWordsTest : public CliTest {
protected:
  void SetUp() override
  {
    CliTest::SetUp();
    RegisterWindowWords();
    SetWindowWordsHost(&win);
    std::snprintf(SndConfig.SequenceName, sizeof SndConfig.SequenceName, "cap");
    SndConfig.SequenceNr = 7;
    SndConfig.UseJpegFormat = 0;
    g_CaptureIndicator = {};
  }
  void TearDown() override
  {
    SetWindowWordsHost(nullptr);
    CliTest::TearDown();
  }
  FakeWindow win;
};

TEST_F(WindowWordsTest, WaveSubWordsAndArguments)
{
  struct Case {
    const char* text;  // behind "wave."
    int rc;
    const char* call;  // "" none
    const char* rest;  // what is left for the interpreter
  } cases[] = {
      {"record", 0, "start 1 []", ""},
      {"record(\"a.wav\")", 0, "start 1 [a.wav]", ""},
      {"record(\"a.wav\",2)", 0, "start 2 [a.wav]", ""},
      {"record(\"a.wav\", 2.9 )", 0, "start 2 [a.wav]", ""},
      {"record(\"a.wav\",3)", CLI_ERR_ILLEGAL_VALUE, "", nullptr},
      {"record(\"a.wav\",0)", CLI_ERR_ILLEGAL_VALUE, "", nullptr},
      {"record(\"a.wav\",1e300)", CLI_ERR_ILLEGAL_VALUE, "", nullptr},
      {"record(\"a.wav\",-1e300)", CLI_ERR_ILLEGAL_VALUE, "", nullptr},
      {"record(\"a.wav\"", CLI_ERR_SYNTAX, "", nullptr},
      {"record(\"a.wav\",2", CLI_ERR_SYNTAX, "", nullptr},
      {"stop", 0, "stop", ""},
      {"stopper:x", 0, "stop", "per:x"},
      {"recxyz", CLI_ERR_UNKNOWN_COMMAND, "", nullptr},
      {"r", CLI_ERR_UNKNOWN_COMMAND, "", nullptr},
      {"s", CLI_ERR_UNKNOWN_COMMAND, "", nullptr},
      {"play", CLI_ERR_UNKNOWN_COMMAND, "", nullptr},
      {"Record", CLI_ERR_SYNTAX, "", nullptr},
      {"1", CLI_ERR_SYNTAX, "", nullptr},
  };
  for (const Case& c : cases) {
    win.calls.clear();
    g_CliParsePtr = c.text;
    EXPECT_EQ(CLI_ExecWaveCommand(2, nullptr), c.rc) << c.text;
    const std::vector<std::string> want =
        *c.call ? std::vector<std::string>{c.call} : std::vector<std::string>{};
    EXPECT_EQ(win.calls, want) << c.text;
    if (c.rest) {
      EXPECT_STREQ(g_CliParsePtr, c.rest) << c.text;
    }
  }
}

TEST_F(WindowWordsTest, RecordThatCannotStartFailsWithTheReason)
{
  win.startOk = false;
  EXPECT_EQ(CLI_ExecuteMacro(2, "wave.record(\"/no/such/dir/x.wav\")"), CLI_ERR_FAILED);
  EXPECT_NE(std::strstr(g_CliErrorText, "/no/such/dir/x.wav"), nullptr) << g_CliErrorText;
}

TEST_F(WindowWordsTest, CaptureSequenceNumbersIndicatorAndExpiry)
{
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(CLI_ExecuteMacro(2, "capture"), 0);
    win.clock += 1.0;
  }
  EXPECT_EQ(win.calls, (std::vector<std::string>{"capture [cap07.bmp]", "capture [cap08.bmp]",
                                                 "capture [cap09.bmp]"}));
  EXPECT_EQ(SndConfig.SequenceNr, 10);
  EXPECT_EQ(win.shown, "Captured #10");
  EXPECT_EQ(g_CaptureIndicator.Caption, "Captured #10");

  SndConfig.UseJpegFormat = 1;
  EXPECT_EQ(CLI_ExecuteMacro(2, "capture"), 0);
  EXPECT_EQ(win.calls.back(), "capture [cap10.jpg]");

  // The last capture was at 1003: shown through 1012.9, gone at 1013, and only once.
  for (double t = 1003.0; t < 1013.0; t += 0.1) ASSERT_FALSE(g_CaptureIndicator.Expire(t)) << t;
  EXPECT_TRUE(g_CaptureIndicator.Expire(1013.0));
  EXPECT_EQ(g_CaptureIndicator.Caption, "");
  EXPECT_FALSE(g_CaptureIndicator.Expire(1014.0));
}

TEST_F(WindowWordsTest, CaptureWithNameAndItsErrors)
{
  EXPECT_EQ(CLI_ExecuteMacro(2, "capture(\"shot\"+\".jpg\")"), 0);
  EXPECT_EQ(win.calls, std::vector<std::string>{"capture [shot.jpg]"});
  EXPECT_EQ(SndConfig.SequenceNr, 7);
  EXPECT_EQ(CLI_ExecuteMacro(2, "capture(\"shot.jpg\""), CLI_ERR_SYNTAX);

  // A sequence name that does not fit: refused, nothing written, the number stays.
  win.calls.clear();
  std::memset(SndConfig.SequenceName, 'n', 250);
  SndConfig.SequenceName[250] = 0;
  EXPECT_EQ(CLI_ExecuteMacro(2, "capture"), CLI_ERR_STRING_TOO_LONG);
  EXPECT_TRUE(win.calls.empty());
  EXPECT_EQ(SndConfig.SequenceNr, 7);
  SndConfig.SequenceName[248] = 0;  // 248 + "07.bmp" = 254 characters fit
  EXPECT_EQ(CLI_ExecuteMacro(2, "capture"), 0);
  EXPECT_EQ(SndConfig.SequenceNr, 8);

  // An explicit name that does not fit is refused, never cut to another file's name.
  win.calls.clear();
  EXPECT_EQ(CLI_ExecuteMacro(2, ("capture(\"" + std::string(300, 'x') + ".bmp\")").c_str()),
            CLI_ERR_STRING_TOO_LONG);
  EXPECT_TRUE(win.calls.empty());
  EXPECT_EQ(SndConfig.SequenceNr, 8);

  // Nothing written is a failure, not success.
  win.composeOk = false;
  EXPECT_EQ(CLI_ExecuteMacro(2, "capture(\"x.bmp\")"), CLI_ERR_FAILED);
}

// The longest names the words take reach the window whole (255 characters for capture, 511
// for wave.record, also when joined from parts); one character more is refused with -16 and
// nothing is started.
TEST_F(WindowWordsTest, LongestNamesAreTakenOneMoreIsRefused)
{
  const struct {
    const char* word;  // the macro up to the name
    const char* call;  // the window call the name goes with
    size_t max;
  } words[] = {{"capture(", "capture [", 255}, {"wave.record(", "start 1 [", 511}};
  for (const auto& w : words) {
    for (const size_t len : {w.max, w.max + 1}) {
      for (const bool joined : {false, true}) {
        SCOPED_TRACE(std::string(w.word) + " " + std::to_string(len) + (joined ? " joined" : ""));
        win.calls.clear();
        const std::string name(len, 'n');
        const std::string arg = joined ? "\"" + name.substr(0, len - 4) + "\"+\"" + name.substr(len - 4) + "\""
                                       : "\"" + name + "\"";
        const int rc = CLI_ExecuteMacro(2, (w.word + arg + ")").c_str());
        if (len == w.max) {
          EXPECT_EQ(rc, 0);
          EXPECT_EQ(win.calls, std::vector<std::string>{w.call + name + "]"});
        } else {
          EXPECT_EQ(rc, CLI_ERR_STRING_TOO_LONG);
          EXPECT_TRUE(win.calls.empty());
        }
      }
    }
  }
}

TEST_F(WindowWordsTest, WithoutWindowBothWordsFail)
{
  SetWindowWordsHost(nullptr);
  EXPECT_EQ(CLI_ExecuteMacro(2, "capture"), CLI_ERR_FAILED);
  EXPECT_EQ(CLI_ExecuteMacro(2, "wave.stop"), CLI_ERR_FAILED);
  EXPECT_EQ(SndConfig.SequenceNr, 7);
  CLI_RegisterObjectWord("capture", nullptr);
  EXPECT_EQ(CLI_ExecuteMacro(2, "capture"), CLI_ERR_UNKNOWN_COMMAND);
}

}  // namespace

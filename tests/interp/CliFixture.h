#pragma once
// Common set-up of the interpreter tests: a fresh interpreter state, the message display
// filter set, the command window "shown" with its lines collected, and no object words.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/SndConfig.h"
#include "interp/Interpreter.h"

struct CliMessage {
  int source;
  int msgClass;
  std::string line;
};

class CliTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    CLI_Init();
    SndConfig.MsgDisplay = MSGDISP_ERRORS | MSGDISP_WARNINGS;
    messages().clear();
    CmdWin_SetMessageSink([](int s, int c, const std::string& l) { messages().push_back({s, c, l}); });
    CmdWin_SetShown(true);
  }
  void TearDown() override
  {
    CmdWin_SetShown(false);
    CmdWin_SetMessageSink(nullptr);
    for (const char* w : {"wave", "capture", "circuit", "generator", "export", "plot", "period", "digimode"})
      CLI_RegisterObjectWord(w, nullptr);
    CLI_SetSpeakerToneFunc(nullptr);
    CLI_SetBeepFunc(nullptr);
  }
  static std::vector<CliMessage>& messages()
  {
    static std::vector<CliMessage> m;
    return m;
  }
};

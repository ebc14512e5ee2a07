#pragma once
// A main window in a temporary working directory: settings files, lock files, the files the
// program writes (current.pal) and the program directory (html/) all live there. Each test runs in its own process (ctest), so
// changing the working directory is safe.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "common/TestUtil.h"
#include "engine/C_WaveIO.h"
#include "engine/ProgramInstance.h"
#include "engine/forms/DialogHooks.h"
#include "engine/SoundThreadLink.h"
#include "mainwin/forms/SpecMain.h"

class MainWindowTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    m_oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    SetProgramDirectory(dir.path().string());
    TSndMainForm::MessageHook = [this](const QString& text) { messages << text; };
  }
  void TearDown() override
  {
    form.reset();
    TSndMainForm::MessageHook = nullptr;
    TSndMainForm::HistoryAllocator = nullptr;
    SetSoundThreadLink(nullptr);
    g_InstanceIndex = 0;
    std::filesystem::current_path(m_oldCwd);
  }
  TSndMainForm* Make(const QStringList& args = {})
  {
    form = std::make_unique<TSndMainForm>(args, dir.path().string());
    return form.get();
  }
  std::string Read(const std::string& name) { return vt_test::ReadWholeFile(dir.file(name)); }
  // A 16-bit mono RIFF wave file of the samples at 11,025 Hz.
  static void WriteWaveFile(const std::string& path, const std::vector<int16_t>& samples)
  {
    C_WaveIO out;
    ASSERT_TRUE(out.OutOpen(path.c_str(), C_WaveIO::FORMAT_RIFF, 16, 1, 11025));
    out.WriteSamples(samples.data(), static_cast<int>(samples.size() * 2));
    out.CloseFile();
  }
  // Starts the off-line analysis of the file from the File menu, the dialogs answered with OK.
  void AnalyzeFromMenu(const std::string& path)
  {
    TDialogHooks::FileDialogHook = [&](bool, const QString&, const QString&, QString& n) {
      n = QString::fromStdString(path);
      return true;
    };
    TDialogHooks::DialogExecHook = [](QDialog*) { return 1; };
    form->findChild<QAction*>("AnalyzeInputFile")->trigger();
    TDialogHooks::FileDialogHook = nullptr;
    TDialogHooks::DialogExecHook = nullptr;
  }

  vt_test::TempDir dir;
  std::unique_ptr<TSndMainForm> form;
  QStringList messages;

private:
  std::filesystem::path m_oldCwd;
};

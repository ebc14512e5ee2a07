#pragma once
// A main window in a temporary working directory: settings files, lock files and the program
// directory (current.pal, html/) all live there. Each test runs in its own process (ctest), so
// changing the working directory is safe.
#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <filesystem>
#include <memory>

#include "common/TestUtil.h"
#include "engine/ProgramInstance.h"
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

  vt_test::TempDir dir;
  std::unique_ptr<TSndMainForm> form;
  QStringList messages;

private:
  std::filesystem::path m_oldCwd;
};

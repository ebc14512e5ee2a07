// Main window with the real audio thread: closing while the thread waits in a card read.
#include <QElapsedTimer>
#include <chrono>
#include <thread>

#include "engine/SettingsFileNames.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "mainwin/SoundEngineLink.h"
#include "platform/QtSyncBridge.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

TEST_F(MainWindowTest, CloseWithThreadBlockedInReadEndsWithinASecond)
{
  InstallQtSyncBridge();  // the thread opens its devices through Synchronize
  InstallSoundEngineLink();
  Make();
  form->show();
  ASSERT_NE(g_pSoundThread, nullptr);  // created suspended (StartSoundThread defaults to 1)
  SoundThreadLink().ResumeThread();    // what the timer does from its 21st tick

  // Let it open the input and wait for a few card buffers.
  QElapsedTimer running;
  running.start();
  while (g_SndThdLoopCount < 2 && running.elapsed() < 10000) {
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_GE(g_SndThdLoopCount, 2u) << "the audio thread did not run";
  SndConfig.ColorPalBrightness = 99;

  QElapsedTimer closing;
  closing.start();
  form->close();
  EXPECT_LT(closing.elapsed(), 1000);
  EXPECT_EQ(g_pSoundThread, nullptr);
  const std::string ini = Read("SETTINGS.INI");
  EXPECT_NE(ini.find("StartSoundThread=1"), std::string::npos);  // it ran: start it next time
  EXPECT_NE(ini.find("ColorPalBrightness=99"), std::string::npos);
  EXPECT_NE(ini.find("[MAIN_WINDOW]"), std::string::npos);
  form.reset();
  RemoveQtSyncBridge();
}

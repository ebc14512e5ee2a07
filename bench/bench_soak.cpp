// Soak run: the whole program (main window offscreen, real audio thread on the built-in
// loop-back device) for a number of minutes (argument 1, default 10) with the test generator
// on, output played back, spectrum lines at 20 per second into the history and the waterfall,
// and a recording of the input running. Prints
//   soak <minutes> min: rss_start=<MB> rss_end=<MB> lost_blocks=<n> overflows=<n> underflows=<n> lines=<n>
// rss_start is taken after the first minute (start-up allocations are done by then);
// lost_blocks counts the audio passes the thread fell behind the clock-paced device by,
// overflows and underflows are the card's lost input and output buffers, lines the spectrum
// lines made from the resume of the audio thread to the end.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "engine/CSound.h"
#include "engine/MachineConfig.h"
#include "engine/ProgramInstance.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "engine/SoundThreadLink.h"
#include "mainwin/SoundEngineLink.h"
#include "mainwin/forms/SpecMain.h"
#include "mainwin/forms/SpecMainWave.h"
#include "platform/Locale.h"
#include "platform/QtSyncBridge.h"
#include "platform/WaveAudio.h"

namespace {

double RssMb()
{
  std::ifstream f("/proc/self/statm");
  long pages = 0, resident = 0;
  f >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

}  // namespace

int main(int argc, char** argv)
{
  const double minutes = argc > 1 ? std::atof(argv[1]) : 10.0;
  if (!(minutes > 0.0)) {
    std::fprintf(stderr, "usage: bench_soak [minutes]\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  SetNumericLocaleC();

  char dirTemplate[] = "/tmp/vartumo-soak-XXXXXX";
  if (!mkdtemp(dirTemplate)) return 1;
  const std::string dir = dirTemplate;
  std::filesystem::current_path(dir);
  SetProgramDirectory(dir);
  InstallQtSyncBridge();
  InstallSoundEngineLink();

  {
    TSndMainForm form(QStringList{}, dir);
    MachineConfig.AudioInputDevID = waveInGetNumDevs() - 1;  // the loop-back device is last
    MachineConfig.AudioOutputDevID = waveOutGetNumDevs() - 1;
    SndConfig.StartSoundInput = 1;
    SndConfig.StartSoundOutput = 1;
    SndConfig.StartSignalGenerator = 1;
    SndConfig.WaterScrollTime = 50;  // 20 lines per second
    form.show();
    form.WaveFiles->StartWaveRecording(1, dir + "/soak.wav");
    SoundThreadLink().ResumeThread();

    const double seconds = minutes * 60.0;
    QElapsedTimer clock;
    clock.start();
    const uint64_t linesAtStart = form.Lines->LinesMade;
    const uint32_t passesAtStart = g_SndThdLoopCount;
    double rssStart = RssMb();
    QTimer::singleShot(static_cast<int>(std::min(60.0, seconds) * 1000.0), [&] { rssStart = RssMb(); });
    // The figures are taken inside the event loop, while the thread and the card still run.
    QTimer::singleShot(static_cast<int>(seconds * 1000.0), &app, [&] {
      const double elapsed = clock.elapsed() / 1000.0;
      const double rssEnd = RssMb();
      const uint64_t lines = form.Lines->LinesMade - linesAtStart;
      const double passes = static_cast<double>(g_SndThdLoopCount - passesAtStart);
      const double blockSeconds = kSndThdBlockSize / static_cast<double>(SndConfig.SampleRate);
      const double behind = std::floor(elapsed / blockSeconds - passes) - 2.0;  // start and end
      CSound* sound = g_pSound.load();
      std::printf("soak %g min: rss_start=%.1f rss_end=%.1f lost_blocks=%d overflows=%d "
                  "underflows=%d lines=%llu\n",
                  minutes, rssStart, rssEnd, behind > 0 ? static_cast<int>(behind) : 0,
                  sound ? sound->InOverflows.load() : -1, sound ? sound->OutUnderflows.load() : -1,
                  static_cast<unsigned long long>(lines));
      if (!sound || g_SoundThdFinished) std::printf("the audio thread had stopped\n");
      app.quit();
    });
    app.exec();
    std::fflush(stdout);
    form.WaveFiles->StopWaveRecording();
    form.close();
  }
  RemoveQtSyncBridge();
  std::filesystem::remove_all(dir);
  return 0;
}

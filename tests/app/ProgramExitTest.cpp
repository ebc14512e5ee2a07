// The whole program: its windows after start-up and its orderly close on SIGTERM, once inside
// this process through the real entry point and once as a child process (with a recording
// started over its socket, as another program would).
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/TestUtil.h"
#include "control/forms/AFilePrp.h"
#include "control/forms/StrEditU.h"
#include "control/forms/YesNoDlg.h"
#include "engine/DebugU1.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "engine/WaveLogDecimator.h"
#include "imaging/forms/PicViewForm.h"
#include "mainwin/WaveRecording.h"
#include "mainwin/forms/SpecMain.h"
#include "platform/LocalSocket.h"

extern char** environ;
int VartumoMain(int argc, char** argv);  // app/main.cpp, renamed for this test

namespace {

std::string RunShell(const std::string& cmd)
{
  std::string out;
  if (FILE* p = ::popen(cmd.c_str(), "r")) {
    char buf[256];
    while (fgets(buf, sizeof(buf), p)) out += buf;
    ::pclose(p);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

// Which test's probe runs (each pre-routine stays registered for every later application).
enum class ProbeMode { None, Recording, FailedSave };
ProbeMode g_ProbeMode = ProbeMode::None;

// What the probe saw inside the running program.
struct ProbeResult {
  bool windowsExisted = false;
  bool recordingStarted = false;
  unsigned loopsAtSignal = 0;
};
ProbeResult g_Probe;
std::string g_RecordPath;

// Runs on the program's event loop: checks the start-up windows, starts an input recording,
// lets the audio thread run a few blocks and then sends the process SIGTERM.
void StartProbe()
{
  if (g_ProbeMode != ProbeMode::Recording) return;
  auto* timer = new QTimer(QCoreApplication::instance());
  timer->setInterval(20);
  QObject::connect(timer, &QTimer::timeout, [timer] {
    if (!SndMainForm || !SndMainForm->isVisible()) return;
    if (!g_Probe.recordingStarted) {
      g_Probe.windowsExisted = PicViewFrm && AudioFilePropFrm && YesNoForm && StringEditForm;
      g_Probe.recordingStarted = SndMainForm->StartWaveRecording(WAVE_LOG_INPUT, g_RecordPath);
      if (!g_Probe.recordingStarted) ::raise(SIGTERM);
      return;
    }
    if (g_SndThdLoopCount < 8) return;  // some blocks recorded
    g_Probe.loopsAtSignal = g_SndThdLoopCount;
    timer->stop();
    ::raise(SIGTERM);
  });
  timer->start();
}

class ProgramTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    m_oldCwd = std::filesystem::current_path();
    std::filesystem::create_directories(dir.path() / "run");
    ::setenv("XDG_RUNTIME_DIR", (dir.path() / "run").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  void TearDown() override { std::filesystem::current_path(m_oldCwd); }

  vt_test::TempDir dir;

private:
  std::filesystem::path m_oldCwd;
};

TEST_F(ProgramTest, SigtermClosesLikeExitWithTheWindowsCreatedAndARecordingFinished)
{
  std::filesystem::current_path(dir.path());
  g_RecordPath = dir.file("rec.wav");
  g_ProbeMode = ProbeMode::Recording;
  qAddPreRoutine(StartProbe);
  char name[] = "vartumo";
  char* argv[] = {name, nullptr};
  EXPECT_EQ(VartumoMain(1, argv), 0);
  g_ProbeMode = ProbeMode::None;

  EXPECT_TRUE(g_Probe.windowsExisted);
  ASSERT_TRUE(g_Probe.recordingStarted);
  EXPECT_GE(g_Probe.loopsAtSignal, 8u);
  EXPECT_EQ(g_WaveLogState.load(), WAVE_LOG_OFF);
  // The stopped recording has a valid header: sox reads it and finds samples.
  EXPECT_EQ(RunShell("sox --i -t '" + g_RecordPath + "' 2>&1"), "wav");
  EXPECT_NE(RunShell("sox --i -s '" + g_RecordPath + "' 2>&1"), "0");
  const std::string ini = vt_test::ReadWholeFile(dir.file("SETTINGS.INI"));
  EXPECT_NE(ini.find("[MAIN_WINDOW]"), std::string::npos);
  EXPECT_NE(ini.find("StartSoundThread=1"), std::string::npos);
}

// What the failed-save probe saw: boxes that opened (their texts) and the debug log.
struct FailedSaveProbe {
  bool signalled = false;
  QStringList boxes;
  std::vector<std::string> log;
};
FailedSaveProbe g_FailedSave;

// Once the main window is up: changes a setting, puts a directory where SETTINGS.INI is to be
// written, and sends SIGTERM. From then on any box that opens is noted and cancelled, so that
// the old behaviour (a box waiting for a user) fails the test instead of hanging it.
void StartFailedSaveProbe()
{
  if (g_ProbeMode != ProbeMode::FailedSave) return;
  auto* timer = new QTimer(QCoreApplication::instance());
  timer->setInterval(50);
  QObject::connect(timer, &QTimer::timeout, [] {
    if (!g_FailedSave.signalled) {
      if (!SndMainForm || !SndMainForm->isVisible()) return;
      SetDebugSink([](const std::string& line) { g_FailedSave.log.push_back(line); });
      SndConfig.FreqMax = SndConfig.FreqMax + 1.0;  // a setting changed: the file is written
      std::filesystem::remove("SETTINGS.INI");
      std::filesystem::create_directory("SETTINGS.INI");
      g_FailedSave.signalled = true;
      ::raise(SIGTERM);
      return;
    }
    if (QWidget* modal = QApplication::activeModalWidget()) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      g_FailedSave.boxes << (box ? box->text() : modal->objectName());
      if (auto* dlg = qobject_cast<QDialog*>(modal))
        dlg->reject();
      else
        modal->close();
    }
  });
  timer->start();
}

// A close asked by SIGTERM whose save fails (SETTINGS.INI replaced by a directory after a
// setting changed) opens no box: the failure goes to stderr and the debug log, the program
// ends with status 1, and what could be saved (the palette, the filter files) is saved.
TEST_F(ProgramTest, SigtermWithAFailedSaveReportsItWithoutABoxAndExitsNonZero)
{
  std::filesystem::current_path(dir.path());
  g_ProbeMode = ProbeMode::FailedSave;
  qAddPreRoutine(StartFailedSaveProbe);
  char name[] = "vartumo";
  char* argv[] = {name, nullptr};
  ::testing::internal::CaptureStderr();
  const int result = VartumoMain(1, argv);
  const std::string err = ::testing::internal::GetCapturedStderr();
  g_ProbeMode = ProbeMode::None;
  SetDebugSink(nullptr);

  ASSERT_TRUE(g_FailedSave.signalled);
  EXPECT_TRUE(g_FailedSave.boxes.isEmpty()) << g_FailedSave.boxes.join(" | ").toStdString();
  EXPECT_EQ(result, 1);
  const std::string settings = (dir.path() / "SETTINGS.INI").string();
  EXPECT_NE(err.find("Could not save the settings:"), std::string::npos) << err;
  EXPECT_NE(err.find("Unable to write to " + settings), std::string::npos) << err;
  bool logged = false;
  for (const std::string& line : g_FailedSave.log)
    logged |= line.find("Unable to write to " + settings) != std::string::npos;
  EXPECT_TRUE(logged);
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "SETTINGS.INI"));
  // Saved as in every close: the palette and the filter window's files.
  for (const char* file : {"current.pal", "default.flt", "default.flc"})
    EXPECT_GT(std::filesystem::file_size(dir.path() / file), 0u) << file;
}

// Sends one command line to a running instance over its socket, as another program does.
// True when the instance took it (it runs on the instance's main timer).
bool SendCommand(const std::string& socketPath, const std::string& line)
{
  int s = -1;
  for (int i = 0; i < 500 && (s = LocalSocket_Connect(socketPath)) < 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (s < 0) return false;
  bool taken = Frame_Send(s, "CLE\0", line.data(), static_cast<uint32_t>(line.size()), 2000);
  uint8_t h[kFrameHeaderSize], v[4];
  taken = taken && LocalSocket_RecvAll(s, h, sizeof h, 10000) &&
          LocalSocket_RecvAll(s, v, sizeof v, 10000) && v[0] == 1;
  ::close(s);
  return taken;
}

// Waits until the program's instance lock appears. False when it ended first (status set).
bool WaitForInstance(pid_t pid, const std::filesystem::path& lock, int* status)
{
  for (int i = 0; i < 3000 && !std::filesystem::exists(lock); ++i) {
    if (::waitpid(pid, status, WNOHANG) == pid) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return std::filesystem::exists(lock);
}

// Waits up to tries x 10 ms for the file to appear. True when it is there.
bool WaitForFile(const std::filesystem::path& file, int tries)
{
  for (int i = 0; i < tries && !std::filesystem::exists(file); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return std::filesystem::exists(file);
}

// Sends SIGTERM to the running program: it ends within 60 s, exits with 0 and has written
// its settings with the main window's section. One that does not end is killed.
// Ends a child program that a failed check left running (one already reaped is left alone).
struct KillIfStillRunning {
  pid_t pid;
  ~KillIfStillRunning()
  {
    if (::waitpid(pid, nullptr, WNOHANG) == 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
};

void ExpectOrderlyEndOnSigterm(pid_t pid, const vt_test::TempDir& dir)
{
  ::kill(pid, SIGTERM);
  int status = 0;
  bool ended = false;
  for (int i = 0; i < 6000 && !ended; ++i) {
    if (::waitpid(pid, &status, WNOHANG) == pid) ended = true;
    else std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!ended) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    FAIL() << "the program did not end after SIGTERM";
  }
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::string ini = vt_test::ReadWholeFile(dir.file("SETTINGS.INI"));
  EXPECT_NE(ini.find("[MAIN_WINDOW]"), std::string::npos);
}

TEST_F(ProgramTest, ChildProcessSentSigtermWritesItsSettingsAndExitsZero)
{
  const std::string program = VT_PROGRAM_PATH;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, dir.path().c_str());
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);

  // The instance lock appears once the exit handler is in place and the main window is built.
  int status = 0;
  const bool started = WaitForInstance(pid, dir.path() / "run" / "Vartumo1", &status);
  ASSERT_TRUE(started) << "the program ended on its own, status " << status;
  // A recording of the input runs when the signal comes.
  const auto record = dir.path() / "rec.wav";
  const bool recording = SendCommand((dir.path() / "run" / "vartumo1.sock").string(),
                                     "wave.record(\"" + record.string() + "\")");
  if (recording) WaitForFile(record, 3000);
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // some blocks recorded
  ASSERT_NO_FATAL_FAILURE(ExpectOrderlyEndOnSigterm(pid, dir));
  // The recording was stopped with a valid header: sox reads it and finds samples.
  ASSERT_TRUE(recording) << "the instance did not take the record command";
  EXPECT_EQ(RunShell("sox --i -t '" + record.string() + "' 2>&1"), "wav");
  EXPECT_NE(RunShell("sox --i -s '" + record.string() + "' 2>&1"), "0");
}

// True while process pid has the file open (one of its descriptors names it).
bool HoldsOpen(pid_t pid, const std::filesystem::path& file)
{
  std::error_code ec;
  const auto target = std::filesystem::weakly_canonical(file, ec);
  for (const auto& fd :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    std::error_code lec;
    if (std::filesystem::read_symlink(fd.path(), lec) == target) return true;
  }
  return false;
}

// The program runs with a file-size limit of 64 kB (ulimit -f) and records its input: the
// second buffer of 32 kB reaches the limit. The program goes on (no SIGXFSZ end); the
// recording ends through its write-error path, the file closed with a header for the first
// buffer; the main loop still takes commands; SIGTERM closes it with its settings saved.
TEST_F(ProgramTest, RecordingAtTheFileSizeLimitEndsTheRecordingNotTheProgram)
{
  constexpr rlim_t kLimit = 64 * 1024;
  const std::string program = VT_PROGRAM_PATH;
  const std::string workDir = dir.path().string();
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    struct rlimit lim {kLimit, kLimit};
    if (::chdir(workDir.c_str()) != 0 || ::setrlimit(RLIMIT_FSIZE, &lim) != 0) _exit(120);
    ::execve(program.c_str(), argv, environ);
    _exit(121);
  }
  const KillIfStillRunning reaper{pid};
  int status = 0;
  const bool started = WaitForInstance(pid, dir.path() / "run" / "Vartumo1", &status);
  ASSERT_TRUE(started) << "the program ended on its own, status " << status;
  const std::string socket = (dir.path() / "run" / "vartumo1.sock").string();
  const auto record = dir.path() / "limit.wav";
  ASSERT_TRUE(SendCommand(socket, "wave.record(\"" + record.string() + "\")"));
  ASSERT_TRUE(WaitForFile(record, 3000));
  // 16,384 samples a buffer at 11,025 Hz: the second one comes after about 3 s.
  bool ended = false;
  for (int i = 0; i < 3000 && !ended && HoldsOpen(pid, record); ++i) {
    if (::waitpid(pid, &status, WNOHANG) == pid) ended = true;
    else std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // A dying process lets go of its files before it can be reaped: give it a moment.
  for (int i = 0; i < 100 && !ended; ++i) {
    if (::waitpid(pid, &status, WNOHANG) == pid) ended = true;
    else std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (ended) {
    ASSERT_FALSE(WIFSIGNALED(status)) << "ended by signal " << WTERMSIG(status);
    FAIL() << "the program ended with status " << WEXITSTATUS(status);
  }
  ASSERT_FALSE(HoldsOpen(pid, record)) << "the recording did not end";
  EXPECT_LE(std::filesystem::file_size(record), kLimit);
  EXPECT_EQ(RunShell("sox --i -t '" + record.string() + "' 2>&1"), "wav");
  EXPECT_EQ(RunShell("sox --i -s '" + record.string() + "' 2>&1"), "16384");
  EXPECT_EQ(std::filesystem::file_size(record), 44u + 2 * 16384);

  // The main loop still runs commands: a second recording starts.
  const auto second = dir.path() / "second.wav";
  EXPECT_TRUE(SendCommand(socket, "wave.record(\"" + second.string() + "\")"));
  EXPECT_TRUE(WaitForFile(second, 1000)) << "the main loop took no more commands";

  ExpectOrderlyEndOnSigterm(pid, dir);
}

}  // namespace

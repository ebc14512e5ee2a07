// The PC speaker through the kernel's tone interfaces, silenced at exit.
#include "platform/Speaker.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/input.h>
#include <linux/kd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Read by the exit and signal handlers, so plain atomics of lock-free types only.
std::atomic<int> g_Fd{-1};
std::atomic<int> g_Kind{SPEAKER_NONE};
std::atomic<bool> g_Sounding{false};
std::atomic<bool> g_HandlersInstalled{false};

constexpr int kFatalSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGABRT, SIGSEGV,
                                 SIGBUS, SIGFPE, SIGILL, SIGPIPE};
struct sigaction g_OldActions[sizeof(kFatalSignals) / sizeof(kFatalSignals[0])];

// The PC timer's input clock; the console's KIOCSOUND takes its divisor.
constexpr long kTimerClock = 1193180;

// Async-signal-safe: one write or one ioctl.
bool WriteTone(int fd, int kind, int hz)
{
  if (fd < 0) return false;
  if (kind == SPEAKER_EVENT_DEVICE) {
    input_event ev;
    std::memset(&ev, 0, sizeof(ev));
    ev.type = EV_SND;
    ev.code = SND_TONE;
    ev.value = hz > 0 ? hz : 0;
    return ::write(fd, &ev, sizeof(ev)) == static_cast<ssize_t>(sizeof(ev));
  }
  if (kind == SPEAKER_CONSOLE) {
    const long divisor = hz > 0 ? kTimerClock / hz : 0;
    return ::ioctl(fd, KIOCSOUND, divisor) == 0;
  }
  return false;
}

void SilenceNow()
{
  if (g_Sounding.exchange(false)) WriteTone(g_Fd.load(), g_Kind.load(), 0);
}

void OnFatalSignal(int sig)
{
  SilenceNow();
  // Hand the signal on as it would have gone without us.
  for (size_t i = 0; i < sizeof(kFatalSignals) / sizeof(kFatalSignals[0]); ++i) {
    if (kFatalSignals[i] == sig) ::sigaction(sig, &g_OldActions[i], nullptr);
  }
  ::raise(sig);
}

void InstallExitHandlers()
{
  if (g_HandlersInstalled.exchange(true)) return;
  std::atexit(SilenceNow);
  std::at_quick_exit(SilenceNow);
  for (size_t i = 0; i < sizeof(kFatalSignals) / sizeof(kFatalSignals[0]); ++i) {
    struct sigaction old {};
    if (::sigaction(kFatalSignals[i], nullptr, &old) != 0) continue;
    g_OldActions[i] = old;
    // Keep what the program chose to ignore; wrap what would end it.
    if (old.sa_handler == SIG_IGN) continue;
    if (old.sa_handler != SIG_DFL || (old.sa_flags & SA_SIGINFO)) continue;
    struct sigaction sa {};
    sa.sa_handler = OnFatalSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESETHAND;
    ::sigaction(kFatalSignals[i], &sa, nullptr);
  }
}

bool HasToneCapability(int fd)
{
  unsigned long types = 0;
  if (::ioctl(fd, EVIOCGBIT(0, sizeof(types)), &types) < 0) return false;
  if (!(types & (1ul << EV_SND))) return false;
  unsigned long snd = 0;
  if (::ioctl(fd, EVIOCGBIT(EV_SND, sizeof(snd)), &snd) < 0) return false;
  return (snd & (1ul << SND_TONE)) != 0;
}

void Use(int fd, SpeakerKind kind)
{
  Speaker_Close();
  g_Kind.store(kind);
  g_Fd.store(fd);
  InstallExitHandlers();
}

}  // namespace

SpeakerKind Speaker_OpenSystem()
{
  if (DIR* d = ::opendir("/dev/input")) {
    while (dirent* e = ::readdir(d)) {
      if (std::strncmp(e->d_name, "event", 5) != 0) continue;
      const std::string path = std::string("/dev/input/") + e->d_name;
      const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
      if (fd < 0) continue;
      if (HasToneCapability(fd)) {
        ::closedir(d);
        Use(fd, SPEAKER_EVENT_DEVICE);
        return SPEAKER_EVENT_DEVICE;
      }
      ::close(fd);
    }
    ::closedir(d);
  }
  for (const char* path : {"/dev/console", "/dev/tty0"}) {
    const int fd = ::open(path, O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) continue;
    if (::ioctl(fd, KIOCSOUND, 0L) == 0) {
      Use(fd, SPEAKER_CONSOLE);
      return SPEAKER_CONSOLE;
    }
    ::close(fd);
  }
  return SPEAKER_NONE;
}

bool Speaker_OpenDevice(const char* path, SpeakerKind kind)
{
  if (!path || kind == SPEAKER_NONE) return false;
  const int fd = ::open(path, O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  Use(fd, kind);
  return true;
}

SpeakerKind Speaker_Kind() { return static_cast<SpeakerKind>(g_Kind.load()); }

bool Speaker_Tone(int hz)
{
  const bool ok = WriteTone(g_Fd.load(), g_Kind.load(), hz);
  if (ok) g_Sounding.store(hz > 0);
  return ok;
}

void Speaker_Close()
{
  SilenceNow();
  const int fd = g_Fd.exchange(-1);
  g_Kind.store(SPEAKER_NONE);
  if (fd >= 0) ::close(fd);
}

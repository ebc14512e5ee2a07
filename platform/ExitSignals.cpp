#include "platform/ExitSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <memory>

namespace {

constexpr int kExitSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr size_t kCount = sizeof(kExitSignals) / sizeof(kExitSignals[0]);

// Read by the signal handler: plain lock-free atomics only.
std::atomic<int> g_WriteFd{-1};
std::atomic<int> g_Received{0};
int g_ReadFd = -1;
struct sigaction g_Old[kCount];
bool g_Installed = false;
std::unique_ptr<QSocketNotifier> g_Notifier;
std::function<void(int)> g_OnExitRequest;

void OnExitSignal(int sig)
{
  if (g_Received.fetch_add(1) > 0) {
    // The close is already under way and the user insists: default action, now.
    ::signal(sig, SIG_DFL);
    ::raise(sig);
    return;
  }
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(sig);
  const int fd = g_WriteFd.load();
  if (fd >= 0) {
    const ssize_t n = ::write(fd, &byte, 1);
    (void)n;  // a full pipe already holds a request
  }
  errno = saved;
}

void OnPipeReadable()
{
  unsigned char buf[16];
  int sig = 0;
  for (;;) {
    const ssize_t n = ::read(g_ReadFd, buf, sizeof(buf));
    if (n <= 0) break;
    sig = buf[n - 1];
  }
  if (sig != 0 && g_OnExitRequest) g_OnExitRequest(sig);
}

}  // namespace

bool InstallExitSignalHandler(std::function<void(int signal)> onExitRequest)
{
  g_OnExitRequest = std::move(onExitRequest);
  if (g_Installed) return true;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  g_ReadFd = fds[0];
  g_WriteFd.store(fds[1]);
  g_Received.store(0);
  g_Notifier = std::make_unique<QSocketNotifier>(g_ReadFd, QSocketNotifier::Read);
  QObject::connect(g_Notifier.get(), &QSocketNotifier::activated, [] { OnPipeReadable(); });
  bool ok = true;
  for (size_t i = 0; i < kCount; ++i) {
    struct sigaction sa {};
    sa.sa_handler = OnExitSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    if (::sigaction(kExitSignals[i], &sa, &g_Old[i]) != 0) ok = false;
  }
  g_Installed = true;
  return ok;
}

void RemoveExitSignalHandler()
{
  if (!g_Installed) return;
  for (size_t i = 0; i < kCount; ++i) ::sigaction(kExitSignals[i], &g_Old[i], nullptr);
  g_Notifier.reset();
  ::close(g_WriteFd.exchange(-1));
  ::close(g_ReadFd);
  g_ReadFd = -1;
  g_OnExitRequest = nullptr;
  g_Installed = false;
}

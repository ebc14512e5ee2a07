// Guarded copies to and from a file mapping: SIGBUS inside the copy becomes a failed copy.
#include "platform/MappedAccess.h"

#include <pthread.h>
#include <setjmp.h>
#include <signal.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>

namespace {

// The copy running on this thread, if any. Read by the signal handler: initial-exec TLS needs
// no allocation on first access.
struct Guard {
  sigjmp_buf env;
  uintptr_t begin;
  uintptr_t end;
};
__attribute__((tls_model("initial-exec"))) thread_local Guard* volatile t_Guard = nullptr;

std::mutex g_InstallMutex;
struct sigaction g_Previous {};  // what was in place before our handler; written under the mutex
std::atomic<bool> g_HavePrevious{false};

// Whether the signal is a memory fault of the interrupted instruction: returning from the
// handler runs the access again. Everything else (kill(), raise(), sigqueue(), an asynchronous
// machine-check report) carries no faulting address of this thread.
bool IsFault(const siginfo_t* info)
{
  if (!info) return false;
  switch (info->si_code) {
  case BUS_ADRALN:
  case BUS_ADRERR:
  case BUS_OBJERR:
#ifdef BUS_MCEERR_AR
  case BUS_MCEERR_AR:
#endif
    return true;
  default:
    return false;
  }
}

void OnSigbus(int sig, siginfo_t* info, void* context)
{
  Guard* g = t_Guard;
  const bool fault = IsFault(info);
  const uintptr_t addr = fault ? reinterpret_cast<uintptr_t>(info->si_addr) : 0;
  if (g && fault && addr >= g->begin && addr < g->end) {
    t_Guard = nullptr;
    // The jump does not restore the signal mask (the guard saves none, to stay cheap): SIGBUS,
    // blocked while this handler runs, is unblocked again so the next fault is caught too.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGBUS);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    siglongjmp(g->env, 1);
  }
  // Not ours: as it would have gone without this handler.
  const struct sigaction prev = g_Previous;
  const bool ignored = g_HavePrevious.load() && prev.sa_handler == SIG_IGN;
  if (!g_HavePrevious.load() || prev.sa_handler == SIG_DFL || ignored) {
    // An ignored SIGBUS that is no fault is dropped, and this handler stays in place.
    if (ignored && !fault) return;
    // The default action. A fault ends the program even when the signal is ignored (the kernel
    // does the same): the access runs again on return and faults with the default action.
    signal(sig, SIG_DFL);
    if (!fault) raise(sig);  // delivered, with the default action, once this handler returns
    return;
  }
  if (prev.sa_flags & SA_SIGINFO)
    prev.sa_sigaction(sig, info, context);
  else
    prev.sa_handler(sig);
}

}  // namespace

bool MappedAccess_Prepare()
{
  std::lock_guard<std::mutex> lock(g_InstallMutex);
  struct sigaction current {};
  if (sigaction(SIGBUS, nullptr, &current) != 0) return false;
  if ((current.sa_flags & SA_SIGINFO) && current.sa_sigaction == OnSigbus) return true;
  struct sigaction sa {};
  sa.sa_sigaction = OnSigbus;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_SIGINFO | SA_RESTART | (current.sa_flags & SA_ONSTACK);
  g_HavePrevious.store(false);
  g_Previous = current;
  g_HavePrevious.store(true);
  if (sigaction(SIGBUS, &sa, nullptr) != 0) return false;
  // A sanitizer may keep its own handler (it refuses to be replaced): then nothing is guarded.
  struct sigaction now {};
  return sigaction(SIGBUS, nullptr, &now) == 0 && (now.sa_flags & SA_SIGINFO) &&
         now.sa_sigaction == OnSigbus;
}

bool MappedAccess_Copy(void* dst, const void* src, size_t len, const void* region, size_t regionSize)
{
  static std::once_flag once;
  std::call_once(once, [] { MappedAccess_Prepare(); });
  if (len == 0) return true;
  Guard guard;
  guard.begin = reinterpret_cast<uintptr_t>(region);
  guard.end = guard.begin + regionSize;
  Guard* const outer = t_Guard;
  if (sigsetjmp(guard.env, 0) != 0) {
    t_Guard = outer;
    return false;
  }
  t_Guard = &guard;
  std::atomic_signal_fence(std::memory_order_seq_cst);  // the guard is in place before the copy
  if (src)
    std::memcpy(dst, src, len);
  else
    std::memset(dst, 0, len);
  // The copy must be complete before the guard goes.
  std::atomic_signal_fence(std::memory_order_seq_cst);
  t_Guard = outer;
  return true;
}

// Real-time scheduling of the calling thread where permitted.
#include "platform/RealtimePriority.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>

bool SetCurrentThreadRealtime(int priority)
{
  sched_param param{};
  param.sched_priority = std::clamp(priority, sched_get_priority_min(SCHED_FIFO),
                                    sched_get_priority_max(SCHED_FIFO));
  return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
}

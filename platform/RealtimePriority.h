#pragma once
// Scheduling of time-critical threads.

// Moves the calling thread to real-time scheduling (SCHED_FIFO at priority 1..99) when the
// user may (CAP_SYS_NICE or an RLIMIT_RTPRIO of at least that priority); otherwise it stays at
// normal scheduling. True when the thread now runs real-time.
bool SetCurrentThreadRealtime(int priority);

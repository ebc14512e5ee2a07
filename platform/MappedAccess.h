#pragma once
// Copies into and out of a shared file mapping that cannot end the program when another
// process cuts the file short: a page beyond the file's new end raises SIGBUS on access. The
// copy runs under a per-thread guard; a SIGBUS inside the guarded region jumps back out of the
// copy (sigsetjmp/siglongjmp) and the copy reports failure. Any other SIGBUS (another address,
// another thread, no copy running) goes on to the handler that was in place before (the
// sanitizer's, or the default action), so real faults still end the program as before. A
// SIGBUS that was ignored before stays ignored when it is no fault (kill(), raise(), sigqueue());
// a real fault outside a guarded copy ends the program even then, as without the guard.
//
// The handler is installed with sigaction on the first guarded copy and again whenever someone
// has replaced it since (MappedAccess_Prepare, called when a mapping is made). Any thread.
#include <cstddef>

// Makes sure the SIGBUS guard handler is the current one (installs it, chaining to whatever
// handler it finds). False when sigaction failed.
bool MappedAccess_Prepare();

// Copies len bytes from src to dst, or writes len zero bytes to dst when src is null. One of
// the two ranges lies inside the mapping [region, region + regionSize). True when the copy
// completed; false when the mapping faulted (the copy stopped somewhere inside).
bool MappedAccess_Copy(void* dst, const void* src, size_t len, const void* region, size_t regionSize);

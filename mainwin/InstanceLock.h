#pragma once
// Which running instance this is: two lock files, "Vartumo1" and "Vartumo2", in the user's
// runtime directory. The first instance holds "Vartumo1"; a second finds it taken and holds
// "Vartumo2"; a third and every further one finds both taken. The locks are flock()s held
// for the whole run; the kernel frees them when the process ends, also when it dies.
#include <string>

class CInstanceLocks {
public:
  CInstanceLocks() = default;
  ~CInstanceLocks();  // releases what it holds
  CInstanceLocks(const CInstanceLocks&) = delete;
  CInstanceLocks& operator=(const CInstanceLocks&) = delete;

  // Takes the first free lock in dir (created when missing) and returns the instance index:
  // 0 with "Vartumo1", 1 with "Vartumo2", 2 when both are held by others. A lock file that
  // cannot be opened counts as free (the instance then counts as the first).
  int Acquire(const std::string& dir);
  int Index() const { return m_index; }

private:
  int m_fd[2] = {-1, -1};
  int m_index = 0;
};

// The user's runtime directory: $XDG_RUNTIME_DIR when set and present, else /tmp.
std::string InstanceLockDirectory();

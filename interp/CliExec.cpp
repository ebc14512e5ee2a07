// Starting programs for exec and the alert command: no shell, own session, no inherited
// descriptors beyond 0..2, stdin from /dev/null; children are collected without blocking.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "interp/CliCommands.h"

extern char** environ;

namespace {
std::vector<pid_t> g_Children;  // started and not yet collected (GUI thread only)
}

bool CLI_SplitCommandLine(const char* line, std::vector<std::string>* args, std::string* error)
{
  args->clear();
  const char* p = line ? line : "";
  for (;;) {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') break;
    std::string arg;
    while (*p != '\0' && *p != ' ' && *p != '\t') {
      if (*p == '\'' || *p == '"') {
        const char quote = *p++;
        const char* end = std::strchr(p, quote);
        if (!end) {
          if (error) *error = "unterminated quote in command line";
          args->clear();
          return false;
        }
        arg.append(p, end);
        p = end + 1;
      } else {
        arg += *p++;
      }
    }
    args->push_back(arg);
  }
  if (args->empty()) {
    if (error) *error = "empty command line";
    return false;
  }
  return true;
}

int CLI_ReapChildren()
{
  for (size_t i = 0; i < g_Children.size();) {
    int status = 0;
    const pid_t r = waitpid(g_Children[i], &status, WNOHANG);
    if (r == 0 || (r < 0 && errno == EINTR)) {
      ++i;  // still running
    } else {
      g_Children.erase(g_Children.begin() + static_cast<long>(i));  // collected or gone
    }
  }
  return static_cast<int>(g_Children.size());
}

namespace {
CLI_SpawnFunc g_SpawnFunc = nullptr;
}

void CLI_SetSpawnFunc(CLI_SpawnFunc func) { g_SpawnFunc = func; }

int CLI_StartProcess(const char* commandLine, std::string* errorText)
{
  CLI_ReapChildren();
  std::vector<std::string> args;
  std::string splitError;
  if (!CLI_SplitCommandLine(commandLine, &args, &splitError)) {
    if (errorText) *errorText = splitError;
    return -1;
  }
  if (g_SpawnFunc) return g_SpawnFunc(args, errorText);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  sigset_t noSignals, allSignals;
  sigemptyset(&noSignals);
  sigfillset(&allSignals);
  posix_spawnattr_setsigmask(&attr, &noSignals);
  posix_spawnattr_setsigdefault(&attr, &allSignals);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    if (errorText) *errorText = std::strerror(rc);
    return -1;
  }
  g_Children.push_back(pid);
  return static_cast<int>(pid);
}

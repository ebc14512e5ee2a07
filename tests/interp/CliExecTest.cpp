// exec: programs start without a shell, in their own session, with stdin from /dev/null and
// no inherited descriptors beyond 0..2; failures give -17 with the system's text.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "CliFixture.h"
#include "common/TestUtil.h"

namespace {

// Waits (generously) until the file exists and is complete; children run on their own.
bool WaitForFile(const std::string& path, int minSize = 0)
{
  for (int i = 0; i < 1000; ++i) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && static_cast<int>(std::filesystem::file_size(path, ec)) >= minSize)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

bool WaitForNoChildren()
{
  for (int i = 0; i < 1000; ++i) {
    if (CLI_ReapChildren() == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace

TEST_F(CliTest, ExecStartsAProgramAndCollectsIt)
{
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "exec(\"/bin/true\")"), 0);
  EXPECT_STREQ(g_CliErrorText, "");
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "exec( \"true\" + \"\" )"), 0);  // PATH search
  EXPECT_TRUE(WaitForNoChildren());
}

TEST_F(CliTest, ExecOfAMissingProgramFailsWithTheSystemText)
{
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "exec(\"/no/such/program-xyz arg\")"), CLI_ERR_EXEC_FAILED);
  EXPECT_STREQ(g_CliErrorText, std::strerror(ENOENT));
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "exec(\"no-such-program-xyz\")"), CLI_ERR_EXEC_FAILED);
  EXPECT_STREQ(g_CliErrorText, std::strerror(ENOENT));
  ASSERT_FALSE(messages().empty());
  EXPECT_EQ(messages().back().line.substr(9), "exec failed in macro line");
}

TEST_F(CliTest, ExecSyntax)
{
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "exec (\"/bin/true\")"), CLI_ERR_ARG_MISSING);
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "exec(\"/bin/true\""), CLI_ERR_PARENTHESIS);
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "exec(/bin/true)"), CLI_ERR_STRING_EXPECTED);
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "exec(\"  \")"), CLI_ERR_EXEC_FAILED);
  EXPECT_STREQ(g_CliErrorText, "empty command line");
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "exec(\"echo 'open\")"), CLI_ERR_EXEC_FAILED);
  EXPECT_STREQ(g_CliErrorText, "unterminated quote in command line");
}

TEST_F(CliTest, CommandLineSplitting)
{
  const struct {
    const char* line;
    std::vector<std::string> args;
  } table[] = {
      {"a b  c", {"a", "b", "c"}},
      {"  lead trail  ", {"lead", "trail"}},
      {"touch 'a;b c'", {"touch", "a;b c"}},
      {"x \"it's\" 'say \"hi\"'", {"x", "it's", "say \"hi\""}},
      {"pre'fix x'post", {"prefix xpost"}},
      {"echo $HOME `id` *", {"echo", "$HOME", "`id`", "*"}},
      {"e ''", {"e", ""}},
  };
  for (const auto& t : table) {
    std::vector<std::string> args;
    std::string error;
    EXPECT_TRUE(CLI_SplitCommandLine(t.line, &args, &error)) << t.line;
    EXPECT_EQ(args, t.args) << t.line;
  }
}

TEST_F(CliTest, ExecPassesAQuotedArgumentUnexpanded)
{
  vt_test::TempDir dir;
  // With a shell, ';' would end the command and '$HOME' would expand. Here touch gets one
  // argument and creates exactly that file.
  const std::string name = "a;b $HOME c";
  const std::string macro = "exec(\"/usr/bin/touch '" + dir.file(name) + "'\")";
  ASSERT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, macro.c_str()), 0) << g_CliErrorText;
  ASSERT_TRUE(WaitForFile(dir.file(name)));
  EXPECT_TRUE(WaitForNoChildren());
  int count = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_EQ(e.path().filename().string(), name);
    ++count;
  }
  EXPECT_EQ(count, 1);
}

TEST_F(CliTest, ExecChildEnvironment)
{
  vt_test::TempDir dir;
  // A descriptor of ours without close-on-exec must not reach the child.
  const int leak = fcntl(open("/dev/null", O_RDONLY), F_DUPFD, 57);
  ASSERT_GE(leak, 57);
  const std::string d = dir.path().string();
  const std::string script = "cd " + d + "; echo $$ > pid; cat /proc/self/stat > stat; " +
                             "readlink /proc/self/fd/0 > stdin; ls /proc/self/fd > fds; echo done > done";
  const std::string macro = "exec(\"/bin/sh -c '" + script + "'\")";
  ASSERT_LT(macro.size(), 250u);
  ASSERT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, macro.c_str()), 0) << g_CliErrorText;
  ASSERT_TRUE(WaitForFile(d + "/done", 5));
  close(leak);
  EXPECT_TRUE(WaitForNoChildren());

  std::istringstream fds(vt_test::ReadWholeFile(d + "/fds"));
  for (std::string fd; fds >> fd;) EXPECT_NE(fd, std::to_string(leak));
  EXPECT_EQ(vt_test::ReadWholeFile(d + "/stdin"), "/dev/null\n");
  // /proc/<pid>/stat: pid (comm) state ppid pgrp session ... - the shell leads its own session.
  const std::string shellPid = vt_test::ReadWholeFile(d + "/pid");
  std::string stat = vt_test::ReadWholeFile(d + "/stat");
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string state, ppid, pgrp, session;
  fields >> state >> ppid >> pgrp >> session;
  EXPECT_EQ(session + "\n", shellPid);
  EXPECT_NE(std::to_string(getsid(0)) + "\n", shellPid);
}

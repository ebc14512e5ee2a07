// The command line m=, u=, t= and the instance locks.
#include <gtest/gtest.h>

#include <memory>

#include "common/TestUtil.h"
#include "mainwin/CommandLine.h"
#include "mainwin/InstanceLock.h"

TEST(CommandLine, SwitchesAndIgnoredArguments)
{
  struct Case {
    std::vector<std::string> args;
    std::optional<std::string> machine, user, caption;
  };
  const std::string tooLong = "u=" + std::string(254, 'a');  // 256 characters
  const Case cases[] = {
      {{"m=lab.ini", "u=lab.ini"}, "lab.ini", "lab.ini", {}},
      {{"t=Test"}, {}, {}, {}},  // 4 characters: ignored
      {{"t=Tests"}, {}, {}, "Tests"},
      {{"x=foo", "m", "m=", "M=file", "mu=x", ""}, {}, {}, {}},
      {{"u=a.ini", "u=b.ini"}, {}, "b.ini", {}},  // the later one wins
      {{tooLong, "u=" + std::string(253, 'b')}, {}, std::string(253, 'b'), {}},
      {{"m=x"}, "x", {}, {}},  // 3 characters is enough
  };
  for (const Case& c : cases) {
    const CommandLineSettings s = ParseCommandLineArgs(c.args);
    EXPECT_EQ(s.machineFile, c.machine) << c.args[0];
    EXPECT_EQ(s.userFile, c.user) << c.args[0];
    EXPECT_EQ(s.caption, c.caption) << c.args[0];
  }
}

TEST(InstanceLocks, NumbersInstancesAndFreesOnRelease)
{
  vt_test::TempDir dir;
  auto first = std::make_unique<CInstanceLocks>();
  CInstanceLocks second, third, fourth;
  EXPECT_EQ(first->Acquire(dir.path().string()), 0);
  EXPECT_EQ(second.Acquire(dir.path().string()), 1);
  EXPECT_EQ(third.Acquire(dir.path().string()), 2);
  EXPECT_EQ(fourth.Acquire(dir.path().string()), 2);  // shares the third's number
  first.reset();                                     // the first instance ends
  CInstanceLocks next;
  EXPECT_EQ(next.Acquire(dir.path().string()), 0);
}

TEST(InstanceLocks, UnusableDirectoryCountsAsFirst)
{
  CInstanceLocks locks;
  EXPECT_EQ(locks.Acquire("/nonexistent/dir/for/locks"), 0);
}

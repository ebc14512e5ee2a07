// The two scripts a new user starts with, run.sh and test.sh, on a copy of the scripts whose
// tools (cmake, ctest, apt-get, dpkg-query, ...) are stand-ins that write down how they were
// called: the job limit (-j N, --jobs=N, CMAKE_BUILD_PARALLEL_LEVEL) reaches every build and
// test.sh's CTest, without it the defaults stay (Ninja's, one test per core), a bad limit stops
// before anything is installed or built, and run.sh installs the URL handler that help needs.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "common/TestUtil.h"

namespace {

namespace fs = std::filesystem;

void WriteScript(const fs::path& path, const std::string& body)
{
  vt_test::WriteWholeFile(path.string(), "#!/bin/bash\n" + body);
  fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
}

class ScriptsFixture : public ::testing::Test {
protected:
  void SetUp() override
  {
    tree = fs::canonical(dir.path()) / "src";
    const fs::path source(VT_SOURCE_DIR);
    fs::create_directories(tree / "scripts" / "ci.d");
    for (const char* f : {"run.sh", "test.sh"}) fs::copy_file(source / f, tree / f);
    for (const char* f : {"setup.sh", "jobs.sh", "packages.txt", "packages-bench.txt",
                          "packages-test.txt"})
      fs::copy_file(source / "scripts" / f, tree / "scripts" / f);
    // One check of scripts/ci.d that reports the limit the builds of the checks inherit.
    WriteScript(tree / "scripts" / "ci.d" / "10-limit.sh",
                "echo \"ci.d limit=${CMAKE_BUILD_PARALLEL_LEVEL:-none}\" >>\"$VT_LOG\"\n");
    fs::create_directories(tree / "build" / "release" / "app");
    WriteScript(tree / "build" / "release" / "app" / "vartumo",
                "echo \"vartumo $*\" >>\"$VT_LOG\"\n");
    bin = fs::canonical(dir.path()) / "bin";
    fs::create_directories(bin);
    for (const char* tool : {"cmake", "ctest", "apt-get"})
      WriteScript(bin / tool, std::string("echo \"") + tool + " $*\" >>\"$VT_LOG\"\n");
    WriteScript(bin / "nproc", "echo 6\n");
    WriteScript(bin / "dpkg-query", "exit 1\n");  // nothing is installed
    WriteScript(bin / "locale", "echo de_DE.utf8\n");
    WriteScript(bin / "sudo", "exec \"$@\"\n");
    fs::create_directories(dir.path() / "home");
  }

  // Runs the script with a clean environment; returns its exit status and leaves the calls in
  // `log`.
  int Run(const std::string& script, const std::string& args, const std::string& env)
  {
    const std::string logPath = dir.file("calls.log");
    vt_test::WriteWholeFile(logPath, "");
    const std::string cmd = "env -i PATH=" + bin.string() + ":/usr/bin:/bin HOME=" +
                            dir.file("home") + " VARTUMO_HOME=" + dir.file("home") +
                            " VT_LOG=" + logPath + " " + env + " bash " +
                            (tree / script).string() + " " + args + " >" + dir.file("out.txt") +
                            " 2>&1";
    const int status = std::system(cmd.c_str());
    log = vt_test::ReadWholeFile(logPath);
    output = vt_test::ReadWholeFile(dir.file("out.txt"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  bool Logged(const std::string& line) const
  {
    std::istringstream in(log);
    for (std::string l; std::getline(in, l);)
      if (l == line) return true;
    return false;
  }

  vt_test::TempDir dir;
  fs::path tree, bin;
  std::string log, output;
};

TEST_F(ScriptsFixture, JobLimitReachesEveryBuildAndTheTestRunner)
{
  struct Case {
    const char* script;
    const char* args;
    const char* env;
    std::vector<std::string> expected;  // whole lines of the log, %s = the copied source tree
  };
  const Case cases[] = {
      // test.sh without a limit: Ninja's default for the builds, one test per core.
      {"test.sh", "", "",
       {"cmake --build %s/build/test", "ci.d limit=none"}},
      {"test.sh", "-j 2", "",
       {"cmake --build %s/build/test --parallel 2", "ci.d limit=2"}},
      {"test.sh", "-j3", "", {"cmake --build %s/build/test --parallel 3", "ci.d limit=3"}},
      {"test.sh", "--jobs=5", "", {"cmake --build %s/build/test --parallel 5", "ci.d limit=5"}},
      {"test.sh", "", "CMAKE_BUILD_PARALLEL_LEVEL=4",
       {"cmake --build %s/build/test --parallel 4", "ci.d limit=4"}},
      {"test.sh", "-j 1", "CMAKE_BUILD_PARALLEL_LEVEL=4",
       {"cmake --build %s/build/test --parallel 1", "ci.d limit=1"}},
      {"run.sh", "", "", {"cmake --build %s/build/release", "vartumo "}},
      {"run.sh", "-j 2 m=lab.ini t=Lab-receiver", "",
       {"cmake --build %s/build/release --parallel 2", "vartumo m=lab.ini t=Lab-receiver"}},
      {"run.sh", "u=x.ini", "CMAKE_BUILD_PARALLEL_LEVEL=3",
       {"cmake --build %s/build/release --parallel 3", "vartumo u=x.ini"}},
  };
  const std::string ctestDefault = "-j6";
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.script) + " " + c.args + " " + c.env);
    ASSERT_EQ(Run(c.script, c.args, c.env), 0) << output;
    for (std::string line : c.expected) {
      const size_t at = line.find("%s");
      if (at != std::string::npos) line.replace(at, 2, tree.string());
      EXPECT_TRUE(Logged(line)) << "missing: " << line << "\nlog:\n" << log;
    }
    if (std::string(c.script) == "test.sh") {
      // CTest runs as many tests at once as the limit allows, one per core without one.
      std::string jobs = ctestDefault;
      const std::string build = c.expected[0];
      const size_t p = build.find("--parallel ");
      if (p != std::string::npos) jobs = "-j" + build.substr(p + 11);
      const size_t ctest = log.find("ctest ");
      ASSERT_NE(ctest, std::string::npos) << log;
      const std::string ctestLine = log.substr(ctest, log.find('\n', ctest) - ctest);
      EXPECT_NE(ctestLine.find(" " + jobs + " "), std::string::npos) << ctestLine;
    }
  }
}

TEST_F(ScriptsFixture, BadJobLimitStopsBeforeInstallingOrBuilding)
{
  struct Case {
    const char* script;
    const char* args;
    const char* env;
  };
  const Case cases[] = {
      {"test.sh", "-j 0", ""},         {"test.sh", "-j two", ""},
      {"test.sh", "-j", ""},           {"test.sh", "", "CMAKE_BUILD_PARALLEL_LEVEL=x"},
      {"test.sh", "extra", ""},        {"run.sh", "-j 0", ""},
      {"run.sh", "--jobs=-1", ""},     {"run.sh", "-j", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.script) + " " + c.args + " " + c.env);
    EXPECT_EQ(Run(c.script, c.args, c.env), 2) << output;
    EXPECT_EQ(log, "");
    EXPECT_FALSE(output.empty());
  }
}

// Help opens its pages through xdg-open: run.sh installs it with what building and running
// need (and test.sh, which installs everything, too).
TEST_F(ScriptsFixture, RunInstallsTheUrlHandlerOfHelp)
{
  for (const char* script : {"run.sh", "test.sh"}) {
    SCOPED_TRACE(script);
    ASSERT_EQ(Run(script, "", ""), 0) << output;
    const size_t install = log.find("apt-get install ");
    ASSERT_NE(install, std::string::npos) << log;
    const std::string line = log.substr(install, log.find('\n', install) - install) + " ";
    EXPECT_NE(line.find(" xdg-utils "), std::string::npos) << line;
    EXPECT_NE(line.find(" qt6-base-dev "), std::string::npos) << line;
  }
}

}  // namespace

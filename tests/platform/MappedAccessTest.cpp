// Guarded copies into and out of a file mapping whose file another program cuts short.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/TestUtil.h"
#include "platform/MappedAccess.h"

namespace {

class MappedAccessTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    const std::string path = dir.file("m.bin");
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, kSize), 0);
    void* p = ::mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ASSERT_NE(p, MAP_FAILED);
    map = static_cast<unsigned char*>(p);
  }
  void TearDown() override
  {
    if (map) ::munmap(map, kSize);
    if (fd >= 0) ::close(fd);
  }

  static constexpr size_t kSize = 4 * 65536;  // whole pages whatever the page size
  vt_test::TempDir dir;
  int fd = -1;
  unsigned char* map = nullptr;
};

// Reads, writes and zero fills inside the file work; beyond the end of the file cut short they
// fail (no SIGBUS), also across the new end, and again on the next access.
TEST_F(MappedAccessTest, CopiesFailInsteadOfFaultingBeyondTheEndOfAFileCutShort)
{
  std::vector<unsigned char> buf(1000, 0xAB);
  ASSERT_TRUE(MappedAccess_Copy(map + 10, buf.data(), buf.size(), map, kSize));
  std::vector<unsigned char> back(1000, 0);
  ASSERT_TRUE(MappedAccess_Copy(back.data(), map + 10, back.size(), map, kSize));
  EXPECT_EQ(back, buf);

  ASSERT_EQ(::ftruncate(fd, kSize / 2), 0);
  struct Case {
    size_t offset;
    bool read;  // else write (zero fill for odd offsets)
    bool ok;
  } cases[] = {{10, true, true},           {kSize / 2 - 1000, false, true},
               {kSize / 2 + 8, true, false}, {kSize / 2 + 9, false, false},
               {kSize / 2 - 500, true, false}, {kSize - 1000, false, false},
               {kSize - 1001, false, false}, {kSize / 2 + 4096, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offset);
    bool ok;
    if (c.read)
      ok = MappedAccess_Copy(back.data(), map + c.offset, back.size(), map, kSize);
    else
      ok = MappedAccess_Copy(map + c.offset, c.offset % 2 ? nullptr : buf.data(), buf.size(), map,
                             kSize);
    EXPECT_EQ(ok, c.ok);
  }
  // The part still inside the file is as written, after all those faults.
  std::fill(back.begin(), back.end(), 0);
  ASSERT_TRUE(MappedAccess_Copy(back.data(), map + 10, back.size(), map, kSize));
  EXPECT_EQ(back, buf);
}

// Only the guarded copy is caught: a fault elsewhere, with the guard installed, still ends the
// program as it did before (the previous handler or the default action).
TEST_F(MappedAccessTest, AFaultOutsideAGuardedCopyStillEndsTheProgram)
{
  std::vector<unsigned char> buf(16, 1);
  ASSERT_TRUE(MappedAccess_Prepare());
  ASSERT_EQ(::ftruncate(fd, 0), 0);
  EXPECT_FALSE(MappedAccess_Copy(buf.data(), map, buf.size(), map, kSize));
  volatile unsigned char* p = map + kSize / 2;
  EXPECT_DEATH(
      {
        *p = 1;
        std::fprintf(stderr, "survived\n");
      },
      "");
  // A guarded copy whose region does not cover the faulting address is not caught either.
  EXPECT_DEATH(
      {
        MappedAccess_Copy(buf.data(), map, buf.size(), map + kSize, kSize);
        std::fprintf(stderr, "survived\n");
      },
      "");
}

// A handler installed later by someone else is replaced again when the next mapping is made.
// (In a child process: the handlers of this one stay as they are.)
TEST_F(MappedAccessTest, PrepareInstallsTheGuardAgainAfterAnotherHandlerTookOver)
{
  ASSERT_TRUE(MappedAccess_Prepare());
  EXPECT_EXIT(
      {
        struct sigaction other {};
        other.sa_handler = SIG_DFL;
        ::sigaction(SIGBUS, &other, nullptr);
        const bool prepared = MappedAccess_Prepare();
        (void)!::ftruncate(fd, 0);
        unsigned char b = 0;
        const bool copied = MappedAccess_Copy(&b, map, 1, map, kSize);
        std::_Exit(prepared && !copied ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// A SIGBUS that was ignored before the guard came stays ignored for every SIGBUS that is not a
// fault inside a guarded copy: sent by kill(), raise() or sigqueue() the process goes on, and the
// guard still catches the next fault in a copy. A real fault outside a copy ends the process all
// the same, as the kernel does for a fault whose signal is ignored. (In child processes: the
// signal dispositions of this one stay as they are.)
TEST_F(MappedAccessTest, AnIgnoredSigbusStaysIgnoredOutsideAGuardedCopy)
{
  EXPECT_EXIT(
      {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGBUS, &ignore, nullptr);
        if (!MappedAccess_Prepare()) std::_Exit(2);
        ::kill(::getpid(), SIGBUS);
        ::raise(SIGBUS);
        union sigval value {};
        ::sigqueue(::getpid(), SIGBUS, value);
        unsigned char b = 0;
        const bool inFile = MappedAccess_Copy(&b, map, 1, map, kSize);
        (void)!::ftruncate(fd, 0);
        const bool copied = MappedAccess_Copy(&b, map, 1, map, kSize);
        ::kill(::getpid(), SIGBUS);
        struct sigaction now {};
        ::sigaction(SIGBUS, nullptr, &now);
        const bool stillGuarded = (now.sa_flags & SA_SIGINFO) != 0;
        std::_Exit(inFile && !copied && stillGuarded ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_DEATH(
      {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGBUS, &ignore, nullptr);
        MappedAccess_Prepare();
        (void)!::ftruncate(fd, 0);
        volatile unsigned char* p = map + kSize / 2;
        *p = 1;
        std::fprintf(stderr, "survived\n");
      },
      "");
}

}  // namespace

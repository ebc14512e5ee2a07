// Serial keying lines through a pseudo-terminal and a fake ioctl back end; the PC speaker
// through a fake tone device.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/TestUtil.h"
#include "engine/DebugU1.h"
#include "engine/MachineConfig.h"
#include "engine/PortIO.h"
#include "interp/CliCommands.h"
#include "platform/SerialLines.h"
#include "platform/Speaker.h"

namespace {

// A pseudo-terminal pair; the slave's name stands in for a serial device.
struct Pty {
  int master = -1;
  std::string slave;
  Pty()
  {
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0) slave = ::ptsname(master);
  }
  ~Pty()
  {
    if (master >= 0) ::close(master);
  }
};

// Fake modem lines: the state a real port has after open (both raised), changed by the
// modem-control ioctls; every request is logged.
struct FakeLines {
  static inline int state = 0;
  static inline std::vector<unsigned long> log;
  static int Ioctl(int fd, unsigned long request, void* arg)
  {
    log.push_back(request);
    if (request == TIOCMBIS) state |= *static_cast<int*>(arg);
    else if (request == TIOCMBIC) state &= ~*static_cast<int*>(arg);
    else if (request == TIOCSBRK) state |= 0x10000;
    else if (request == TIOCCBRK) state &= ~0x10000;
    else return ::ioctl(fd, request, arg);
    return 0;
  }
};
constexpr int kBreak = 0x10000;

class PortIOTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_FALSE(m_pty.slave.empty());
    setenv("VARTUMO_COM2", m_pty.slave.c_str(), 1);
    FakeLines::state = TIOCM_RTS | TIOCM_DTR;  // Linux raises both when a port is opened
    FakeLines::log.clear();
    SerialLines_SetIoctlHook(FakeLines::Ioctl);
    MachineConfig.PttPortNumber = 2;
  }
  void TearDown() override
  {
    ComPort_CloseIfOpen();
    SerialLines_SetIoctlHook(nullptr);
    unsetenv("VARTUMO_COM2");
  }
  Pty m_pty;
};

TEST_F(PortIOTest, OpenTakesThePortExclusivelyAndDropsRtsAndDtrAtOnce)
{
  ASSERT_TRUE(ComPort_Open());
  ASSERT_GE(FakeLines::log.size(), 2u);
  EXPECT_EQ(FakeLines::log[0], static_cast<unsigned long>(TIOCMBIC)) << "lines dropped first";
  EXPECT_EQ(FakeLines::state, 0);
  int excl = 0;
  ASSERT_EQ(::ioctl(g_ComPortHandle, TIOCGEXCL, &excl), 0);
  EXPECT_EQ(excl, 1);

  // Keying by line number: 1 TXD, 2 RTS, 3 DTR; others nothing. Each keeps the other lines.
  struct Case { int line; int bit; };
  for (Case c : {Case{1, kBreak}, Case{2, TIOCM_RTS}, Case{3, TIOCM_DTR}, Case{0, 0}, Case{4, 0}}) {
    SCOPED_TRACE(c.line);
    MachineConfig.PttLineNr = c.line;
    FakeLines::state = TIOCM_CD;  // an unrelated line that must stay
    ComPort_SetKeyingOutput(true);
    EXPECT_EQ(FakeLines::state, TIOCM_CD | c.bit);
    ComPort_SetKeyingOutput(false);
    EXPECT_EQ(FakeLines::state, TIOCM_CD);
  }
  FakeLines::state = TIOCM_RTS | TIOCM_DTR | kBreak;
  EXPECT_TRUE(ComPort_Close());
  EXPECT_EQ(FakeLines::state, 0) << "closing leaves no line keyed";
  EXPECT_EQ(g_ComPortHandle, -1);
  EXPECT_FALSE(ComPort_Close());
}

TEST_F(PortIOTest, PortNumbersDevicesAndFailuresAreReportedNotPretended)
{
  EXPECT_EQ(SerialLines_DeviceName(2), m_pty.slave);
  EXPECT_EQ(SerialLines_DeviceName(1), getenv("VARTUMO_COM1") ? getenv("VARTUMO_COM1") : "/dev/ttyS0");
  EXPECT_EQ(SerialLines_DeviceName(4), getenv("VARTUMO_COM4") ? getenv("VARTUMO_COM4") : "/dev/ttyS3");
  EXPECT_EQ(SerialLines_DeviceName(5), "");

  ASSERT_TRUE(ComPort_Open());
  MachineConfig.PttPortNumber = 0;  // no port: closes the open one
  EXPECT_FALSE(ComPort_Open());
  EXPECT_EQ(g_ComPortHandle, -1);
  EXPECT_EQ(g_ComPortBaseAddress, 0);
  EXPECT_FALSE(ComPort_SetRTS(true));
  MachineConfig.PttPortNumber = -1;
  EXPECT_FALSE(ComPort_Open());

  // A port that cannot be opened: the setters say so instead of claiming success.
  vt_test::TempDir dir;
  vt_test::WriteWholeFile(dir.file("notatty"), "x");
  setenv("VARTUMO_COM3", dir.file("notatty").c_str(), 1);
  MachineConfig.PttPortNumber = 3;
  EXPECT_FALSE(ComPort_Open());
  EXPECT_EQ(errno, ENOTTY);
  EXPECT_FALSE(ComPort_SetDTR(true));
  EXPECT_FALSE(ComPort_SetTXD(true));
  unsetenv("VARTUMO_COM3");
}

// The system's own ioctl, with the modem-control calls counted.
struct CountedLines {
  static inline int modemCalls = 0;
  static int Ioctl(int fd, unsigned long request, void* arg)
  {
    if (request == TIOCMBIS || request == TIOCMBIC) ++modemCalls;
    return ::ioctl(fd, request, arg);
  }
};

// A port that cannot key: a pseudo-terminal answers every modem-control call with ENOTTY. The
// first failure of the opened port is said on the Errors page with the port's name and the
// system's reason, once; keying goes on being tried. Opening the port again says it again, and
// a port whose lines work says nothing.
TEST_F(PortIOTest, ALineThatCannotBeSetIsSaidOnceWithThePortAndTheReason)
{
  SerialLines_SetIoctlHook(CountedLines::Ioctl);
  std::vector<std::string> said;
  SetDebugSink([&](const std::string& line) {
    if (line.find(m_pty.slave) != std::string::npos) said.push_back(line);
  });
  MachineConfig.PttLineNr = 2;  // RTS
  ASSERT_TRUE(ComPort_Open());
  CountedLines::modemCalls = 0;
  for (int i = 0; i < 3; ++i) {
    ComPort_SetKeyingOutput(true);
    ComPort_SetKeyingOutput(false);
  }
  EXPECT_EQ(CountedLines::modemCalls, 6) << "every keying is tried";
  EXPECT_FALSE(ComPort_SetDTR(true)) << "a refused line is not reported as set";
  ASSERT_EQ(said.size(), 1u);
  EXPECT_NE(said[0].find("COM2"), std::string::npos) << said[0];
  EXPECT_NE(said[0].find("RTS"), std::string::npos) << said[0];
  EXPECT_NE(said[0].find(std::strerror(ENOTTY)), std::string::npos) << said[0];

  ASSERT_TRUE(ComPort_Open());
  EXPECT_FALSE(ComPort_SetDTR(true));
  EXPECT_FALSE(ComPort_SetRTS(true));
  ASSERT_EQ(said.size(), 2u);
  EXPECT_NE(said[1].find("DTR"), std::string::npos) << said[1];

  SerialLines_SetIoctlHook(FakeLines::Ioctl);
  ASSERT_TRUE(ComPort_Open());
  EXPECT_TRUE(ComPort_SetRTS(true));
  EXPECT_TRUE(ComPort_SetRTS(false));
  EXPECT_EQ(said.size(), 2u);
  SetDebugSink(nullptr);
}

TEST(SerialLines, BreakOnAPseudoTerminal)
{
  Pty pty;
  ASSERT_FALSE(pty.slave.empty());
  const int fd = SerialLines_Open(pty.slave);
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(SerialLines_SetBreak(fd, true));
  EXPECT_TRUE(SerialLines_SetBreak(fd, false));
  EXPECT_TRUE(SerialLines_Close(fd));
  EXPECT_FALSE(SerialLines_Close(-1));
  EXPECT_FALSE(SerialLines_SetBreak(-1, true));
}

// ---- Speaker

std::vector<input_event> ReadEvents(const std::string& path)
{
  const std::string bytes = vt_test::ReadWholeFile(path);
  std::vector<input_event> out(bytes.size() / sizeof(input_event));
  if (!out.empty()) std::memcpy(out.data(), bytes.data(), out.size() * sizeof(input_event));
  return out;
}

TEST(Speaker, TonesReachTheToneDeviceAndExitSilencesIt)
{
  vt_test::TempDir dir;
  const std::string dev = dir.file("event-spkr");
  vt_test::WriteWholeFile(dev, "");
  ASSERT_TRUE(Speaker_OpenDevice(dev.c_str(), SPEAKER_EVENT_DEVICE));
  CLI_SetSpeakerToneFunc(SpeakerTone);  // as the program's start-up does
  ASSERT_EQ(CLI_ExecuteMacro(2, "sound 1000"), 0);
  SpeakerTone(-5);
  std::vector<input_event> ev = ReadEvents(dev);
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[0].type, EV_SND);
  EXPECT_EQ(ev[0].code, SND_TONE);
  EXPECT_EQ(ev[0].value, 1000);
  EXPECT_EQ(ev[1].value, 0);
  Speaker_Close();

  // A program that ends while the speaker sounds leaves it silent: by exit, quick_exit or a
  // fatal signal.
  for (int how = 0; how < 3; ++how) {
    SCOPED_TRACE(how);
    const std::string path = dir.file("spkr" + std::to_string(how));
    vt_test::WriteWholeFile(path, "");
    const pid_t pid = ::fork();
    if (pid == 0) {
      Speaker_OpenDevice(path.c_str(), SPEAKER_EVENT_DEVICE);
      Speaker_Tone(880);
      if (how == 0) std::exit(0);
      if (how == 1) std::quick_exit(0);
      ::raise(SIGTERM);
      ::_exit(3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    if (how == 2) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    }
    ev = ReadEvents(path);
    ASSERT_FALSE(ev.empty());
    EXPECT_EQ(ev.front().value, 880);
    EXPECT_EQ(ev.back().value, 0);
  }
}

}  // namespace

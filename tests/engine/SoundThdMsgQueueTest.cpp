// The audio thread's message queue, the first-error record and the error code texts.
#include "engine/SoundErrorCodes.h"
#include "engine/SoundThdMsgQueue.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

class SoundThdMsgQueueTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ResetSoundThdMessageQueue();
    ClearFirstSoundError();
  }
  void TearDown() override { SetUp(); }

  static std::string Get(int maxLen = SOUND_THD_MSG_LEN)
  {
    char buf[SOUND_THD_MSG_LEN + 8];
    if (!GetSoundThdMessage(buf, maxLen)) return "<none>";
    return buf;
  }
};

TEST_F(SoundThdMsgQueueTest, HoldsElevenTextsInOrder)
{
  for (int i = 0; i < 11; ++i) EXPECT_TRUE(PutSoundThdMessage(("msg " + std::to_string(i)).c_str()));
  EXPECT_FALSE(PutSoundThdMessage("the twelfth is dropped"));
  for (int i = 0; i < 11; ++i) EXPECT_EQ(Get(), "msg " + std::to_string(i));
  char buf[16] = "untouched";
  EXPECT_FALSE(GetSoundThdMessage(buf, sizeof buf));
  EXPECT_STREQ(buf, "");  // empty queue: empty text
  // Wrapping around the ring many times keeps the order.
  for (int i = 0; i < 40; ++i) {
    EXPECT_TRUE(PutSoundThdMessage(std::to_string(i).c_str()));
    if (i % 3 == 2) {
      EXPECT_EQ(Get(), std::to_string(i - 2));
      EXPECT_EQ(Get(), std::to_string(i - 1));
      EXPECT_EQ(Get(), std::to_string(i));
    }
  }
}

TEST_F(SoundThdMsgQueueTest, CutsLongTextsAndShortReads)
{
  const std::string longText(300, 'a');
  EXPECT_TRUE(PutSoundThdMessage(longText.c_str()));
  EXPECT_EQ(Get(), std::string(255, 'a'));

  EXPECT_TRUE(PutSoundThdMessage("0123456789abcdef"));
  char buf[8] = "keep";
  EXPECT_FALSE(GetSoundThdMessage(buf, 0));  // no room: the queue is not touched
  EXPECT_STREQ(buf, "keep");
  EXPECT_EQ(Get(10), "012345678");  // maxLen 10: nine characters and the terminator
  EXPECT_EQ(Get(), "<none>");

  EXPECT_TRUE(PrintfSoundThdMessage("Sound input opened, DevID=%d", -1));
  EXPECT_EQ(Get(), "Sound input opened, DevID=-1");
}

TEST_F(SoundThdMsgQueueTest, ErrorsCarryTheirSuffixAndTheFirstErrorRecord)
{
  PutSoundThdError(0, " in SoundInRead", 1);  // code 0: nothing
  EXPECT_EQ(Get(), "<none>");
  EXPECT_EQ(g_FirstSoundErrorCode.load(), 0);

  PutSoundThdError(2113, " in SoundInRead", 0);
  EXPECT_EQ(Get(), "timed out waiting for input buffers in SoundInRead");
  EXPECT_EQ(g_FirstSoundErrorCode.load(), 0);  // not for the status line

  PutSoundThdError(32, " in SoundInOpen", 1);
  PutSoundThdError(2, " in SoundOutOpen", 1);  // first error pending: queued, record kept
  PutSoundThdError(7, nullptr, 0);
  EXPECT_EQ(Get(), "unsupported wave format in SoundInOpen");
  EXPECT_EQ(Get(), "device ID out of range in SoundOutOpen");
  EXPECT_EQ(Get(), "memory allocation error");

  char text[SOUND_THD_MSG_LEN];
  EXPECT_EQ(TakeFirstSoundError(text, sizeof text), 32);
  EXPECT_STREQ(text, "unsupported wave format in SoundInOpen");
  EXPECT_EQ(TakeFirstSoundError(text, sizeof text), 0);  // shown once

  PutSoundThdError(32, " in SoundInOpen", 1);  // same code again: not shown a second time
  EXPECT_EQ(g_FirstSoundErrorCode.load(), 0);
  PutSoundThdError(2, " in SoundOutOpen", 1);  // another code is shown
  EXPECT_EQ(TakeFirstSoundError(text, sizeof text), 2);
  EXPECT_STREQ(text, "device ID out of range in SoundOutOpen");
  PutSoundThdError(32, " in SoundInOpen", 1);  // and then the first code may come back
  EXPECT_EQ(TakeFirstSoundError(text, sizeof text), 32);

  // Full queue: the error is dropped and does not reach the status line either.
  ResetSoundThdMessageQueue();
  for (int i = 0; i < 11; ++i) PutSoundThdMessage("x");
  PutSoundThdError(2112, " in SoundInRead", 1);
  EXPECT_EQ(g_FirstSoundErrorCode.load(), 0);
}

TEST_F(SoundThdMsgQueueTest, TwoWritersAndOneReaderLoseNothing)
{
  // The audio thread and the GUI both write (thread termination); every text must arrive
  // whole, once, and in each writer's order. Writers retry when the queue is full.
  constexpr int kPerWriter = 3000;
  auto writer = [](char id) {
    for (int i = 0; i < kPerWriter; ++i) {
      const std::string text = std::string(1, id) + std::to_string(i) + std::string(200, id);
      while (!PutSoundThdMessage(text.c_str())) std::this_thread::yield();
    }
  };
  std::thread a(writer, 'a'), b(writer, 'b');
  int next[2] = {0, 0};
  int received = 0;
  while (received < 2 * kPerWriter) {
    char buf[SOUND_THD_MSG_LEN];
    if (!GetSoundThdMessage(buf, sizeof buf)) {
      std::this_thread::yield();
      continue;
    }
    ++received;
    const std::string text = buf;
    ASSERT_TRUE(text[0] == 'a' || text[0] == 'b') << text;
    const int w = text[0] - 'a';
    const std::string expected = std::string(1, text[0]) + std::to_string(next[w]) + std::string(200, text[0]);
    ASSERT_EQ(text, expected);
    ++next[w];
  }
  a.join();
  b.join();
  EXPECT_EQ(next[0], kPerWriter);
  EXPECT_EQ(next[1], kPerWriter);
}

TEST(SoundErrorCodes, EveryCodeHasItsText)
{
  struct Case {
    int code;
    const char* text;
  } cases[] = {
      {0, "no error"},
      {1, "unspecified MMSYS error"},
      {2, "device ID out of range"},
      {3, "driver failed enable"},
      {4, "device already allocated"},
      {5, "device handle is invalid"},
      {6, "no device driver present"},
      {7, "memory allocation error"},
      {8, "function isn't supported"},
      {9, "error value out of range"},
      {10, "invalid flag passed"},
      {11, "invalid parameter passed"},
      {12, "handle being used"},
      {20, "driver does not call DriverCallback"},
      {32, "unsupported wave format"},
      {33, "still something playing"},
      {34, "header not prepared"},
      {35, "device is synchronous"},
      {2100, "Memory error"},
      {2101, "can't open wave file for input"},
      {2102, "file is not a RIFF wave type"},
      {2103, "invalid wave file"},
      {2104, "no data in file"},
      {2105, "not a supported data type"},
      {2106, "error reading data from file"},
      {2107, "tried to read and file is not open"},
      {2108, "can't open wave file for output"},
      {2109, "error writing to wave file"},
      {2110, "tried to write and file is not open"},
      {2111, "tried to read and soundcard is not open"},
      {2112, "input buffers overflowed"},
      {2113, "timed out waiting for input buffers"},
      {2114, "tried to write and soundcard is not open"},
      {2115, "output buffers underflowed"},
      {2116, "timed out waiting for output buffers"},
      {2117, "word at odd address"},
      {2118, "can't start the pipe server thread"},
      {2119, "sound device lost"},
      {13, "unknown error #13"},
      {36, "unknown error #36"},
      {2120, "unknown error #2120"},
      {-2147483647 - 1, "unknown error #-2147483648"},
  };
  for (const Case& c : cases) EXPECT_STREQ(ErrorCodeToString(c.code), c.text) << c.code;
}

}  // namespace

// The sound-card object over a fake back end that completes buffers on command.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "engine/CSound.h"
#include "engine/SoundThdMsgQueue.h"
#include "engine/FakeWaveBackend.h"

namespace {

WAVEFORMATEX Pcm(int channels, int bits, uint32_t rate = 44100) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = static_cast<uint16_t>(channels);
  f.wBitsPerSample = static_cast<uint16_t>(bits);
  f.nSamplesPerSec = rate;
  f.nBlockAlign = static_cast<uint16_t>(channels * bits / 8);
  f.nAvgBytesPerSec = f.nBlockAlign * rate;
  return f;
}

class CSoundTest : public ::testing::Test {
protected:
  CFakeWaveBackend fake;
  std::unique_ptr<CSound> snd = std::make_unique<CSound>();
  void TearDown() override {
    fake.autoPlay = true;  // let a close play out what is still queued
    if (reader.joinable()) reader.join();
    if (writer.joinable()) writer.join();
    snd.reset();
  }

  // Opens input and output with a one-minute wait and starts a reader and a writer that block
  // in it; returns once both are inside their waits.
  void StartBlockedReaderAndWriter(WAVEFORMATEX& f) {
    snd->WaitTimeoutMs = 60000;
    ASSERT_EQ(snd->InOpen(0, &f, 256, 0, true), 0);
    ASSERT_EQ(snd->OutOpen(0, &f, 256, 0, true), 0);
    reader = std::thread([this] {
      int16_t l[256], r[256];
      readResult = snd->InRead(l, r, 256);
    });
    writer = std::thread([this] {
      int16_t l[256] = {}, r[256] = {};
      int rc = 0;
      for (int i = 0; i < 3 && rc >= 0; ++i) rc = snd->OutWrite(l, r, 256);
      writeResult = rc;
    });
    auto waiting = [&] {
      std::lock_guard<CCriticalSection> lock(snd->Lock);
      return snd->InWaiting != 0 && snd->OutWaiting != 0;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!waiting() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(waiting());
  }

  std::thread reader, writer;
  std::atomic<int> readResult{1}, writeResult{1};
};

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

}  // namespace

TEST_F(CSoundTest, BufferSizeLimitIs16384BytesBothWays) {
  struct Case {
    int channels, bits, samples, expect;
  } cases[] = {
      {2, 16, 4096, 0},     // exactly 16,384 bytes
      {2, 16, 4097, 2100},  // 16,388 bytes
      {1, 16, 8192, 0},
      {1, 16, 8193, 2100},
      {2, 8, 8192, 0},
      {1, 8, 16385, 2100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.channels << "ch " << c.bits << "bit " << c.samples);
    WAVEFORMATEX f = Pcm(c.channels, c.bits);
    EXPECT_EQ(snd->InOpen(0, &f, c.samples, 0, false), c.expect);
    EXPECT_EQ(snd->IsInputOpen(), c.expect == 0 ? 1 : 0);
    EXPECT_EQ(snd->OutOpen(0, &f, c.samples, 0, false), c.expect);
    EXPECT_EQ(snd->IsOutputOpen(), c.expect == 0 ? 1 : 0);
    snd->InClose();
    snd->OutClose();
    EXPECT_EQ(fake.in, nullptr) << "a refused open leaves no device open";
    EXPECT_EQ(fake.out, nullptr);
  }
}

TEST_F(CSoundTest, OpenErrorsAndBadFormatAreReturned) {
  WAVEFORMATEX f = Pcm(2, 16);
  fake.failOpen = MMSYSERR_ALLOCATED;
  EXPECT_EQ(snd->InOpen(0, &f, 4096, 0, false), MMSYSERR_ALLOCATED);
  EXPECT_EQ(snd->OutOpen(0, &f, 4096, 0, false), MMSYSERR_ALLOCATED);
  EXPECT_FALSE(snd->IsInputOpen());
  fake.failOpen = 0;
  WAVEFORMATEX bad = Pcm(2, 16);
  bad.wBitsPerSample = 24;
  bad.nBlockAlign = 6;
  EXPECT_EQ(snd->InOpen(0, &bad, 1024, 0, false), WAVERR_BADFORMAT);
  EXPECT_EQ(snd->InRead(nullptr, nullptr, 0), -1);
  EXPECT_EQ(snd->InErrorCode, 2111);
  int16_t s[4] = {};
  EXPECT_EQ(snd->OutWrite(s, s, 4), -1);
  EXPECT_EQ(snd->OutErrorCode, 2114);
}

TEST_F(CSoundTest, InputConvertsEveryFormat) {
  // Bytes of each buffer: byte i = i * 7 + 3 (mod 256).
  auto fill = [](int, uint32_t i) { return static_cast<char>(i * 7 + 3); };
  struct Case {
    int channels, bits;
  } cases[] = {{2, 16}, {1, 16}, {2, 8}, {1, 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.channels << "ch " << c.bits << "bit");
    WAVEFORMATEX f = Pcm(c.channels, c.bits);
    ASSERT_EQ(snd->InOpen(0, &f, 256, 0, true), 0);
    ASSERT_EQ(fake.CompleteInput(1, fill), 1);
    std::vector<int16_t> l(256), r(256);
    ASSERT_EQ(snd->InRead(l.data(), r.data(), 256), 256);
    for (int k = 0; k < 256; ++k) {
      auto byte = [&](int j) { return static_cast<unsigned char>(j * 7 + 3); };
      int fb = c.channels * c.bits / 8;
      int16_t el, er;
      if (c.bits == 16) {
        el = static_cast<int16_t>(byte(k * fb) | (byte(k * fb + 1) << 8));
        er = c.channels == 2 ? static_cast<int16_t>(byte(k * fb + 2) | (byte(k * fb + 3) << 8)) : el;
      } else {
        el = static_cast<int16_t>((byte(k * fb) - 128) * 256);
        er = c.channels == 2 ? static_cast<int16_t>((byte(k * fb + 1) - 128) * 256) : el;
      }
      ASSERT_EQ(l[k], el) << k;
      ASSERT_EQ(r[k], er) << k;
    }
    snd->InClose();
  }
}

TEST_F(CSoundTest, ReadsAcrossBufferEndsAndHandsBuffersBackInOrder) {
  WAVEFORMATEX f = Pcm(1, 16);
  ASSERT_EQ(snd->InOpen(0, &f, 100, 0, true), 0);
  // Sample value = completion number * 1000 + frame index.
  auto fill = [](int n, uint32_t i) {
    int16_t v = static_cast<int16_t>(n * 1000 + i / 2);
    return static_cast<char>(i % 2 ? (v >> 8) : (v & 0xFF));
  };
  ASSERT_EQ(fake.CompleteInput(3, fill), 3);
  std::vector<int16_t> l(70), r(70);
  std::vector<int16_t> got;
  for (int k = 0; k < 4; ++k) {  // 280 frames: crosses buffer ends at 100 and 200
    snd->InErrorCode = 0;
    ASSERT_EQ(snd->InRead(l.data(), r.data(), 70), 70) << k;
    got.insert(got.end(), l.begin(), l.end());
  }
  for (int i = 0; i < 280; ++i) ASSERT_EQ(got[i], (i / 100) * 1000 + i % 100) << i;
  // Two buffers consumed and handed back; the third is being read.
  EXPECT_EQ(fake.Queued(true), 2u);
  EXPECT_EQ(snd->InReadIndex, 2);
}

TEST_F(CSoundTest, OddByteOffsetReportsAndReadGoesOn) {
  WAVEFORMATEX f = Pcm(1, 16);
  ASSERT_EQ(snd->InOpen(0, &f, 64, 0, true), 0);
  fake.CompleteInput(2);
  snd->InOffset = 1;  // 16-bit words no longer at even addresses
  int16_t l[40], r[40];
  EXPECT_EQ(snd->InRead(l, r, 40), 40);
  EXPECT_EQ(snd->InErrorCode, 2117);
  EXPECT_TRUE(snd->IsInputOpen());
  // The rest of the buffer (63 bytes = 31 whole frames from offset 1) ends the buffer; the
  // next read goes on in the next buffer.
  EXPECT_EQ(snd->InRead(l, r, 40), 40);
  EXPECT_EQ(snd->InReadIndex, 1);
}

// Three full buffers are no loss by themselves (the device keeps what comes meanwhile in its
// own ring); an overflow is what the device reports as lost.
TEST_F(CSoundTest, FullBuffersAloneAreNoOverflow) {
  WAVEFORMATEX f = Pcm(2, 16);
  ASSERT_EQ(snd->InOpen(0, &f, 512, 0, true), 0);
  snd->WaitTimeoutMs = 100;
  std::vector<int16_t> l(512), r(512);
  for (int round = 0; round < 4; ++round) {
    ASSERT_EQ(fake.CompleteInput(3), 3);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(snd->InRead(l.data(), r.data(), 512), 512);
  }
  EXPECT_EQ(snd->InOverflows, 0);
  EXPECT_EQ(snd->InErrorCode, 0);
  EXPECT_EQ(fake.Queued(true), 3u);
}

TEST_F(CSoundTest, OverflowIsReportedOnceAndTheFilledBuffersAreRead) {
  WAVEFORMATEX f = Pcm(2, 16);
  ASSERT_EQ(snd->InOpen(0, &f, 512, 0, true), 0);
  snd->WaitTimeoutMs = 100;
  // The reader is slower than the device: all three buffers fill up and the device loses
  // what comes next.
  ASSERT_EQ(fake.CompleteInput(3), 3);
  fake.inOwner->Notify(WIM_OVERRUN, 0);
  EXPECT_EQ(snd->InOverflows, 1);
  std::vector<int16_t> l(512), r(512);
  ASSERT_EQ(snd->InRead(l.data(), r.data(), 512), 512);
  EXPECT_EQ(snd->InErrorCode, 2112);
  snd->InErrorCode = 0;  // the audio thread queues and clears it
  // The two other filled buffers are read at once (no wait, no time-out), in order.
  ASSERT_EQ(snd->InRead(l.data(), r.data(), 512), 512);
  EXPECT_EQ(l[0], static_cast<int16_t>(0x0101));
  ASSERT_EQ(snd->InRead(l.data(), r.data(), 512), 512);
  EXPECT_EQ(l[0], static_cast<int16_t>(0x0202));
  EXPECT_EQ(snd->InErrorCode, 0) << "reported once";
  EXPECT_EQ(fake.Queued(true), 3u) << "all buffers back on the device";
  // Normal operation again.
  ASSERT_EQ(fake.CompleteInput(1), 1);
  ASSERT_EQ(snd->InRead(l.data(), r.data(), 512), 512);
  EXPECT_EQ(l[0], static_cast<int16_t>(0x0303));
  EXPECT_EQ(snd->InOverflows, 1);
  EXPECT_TRUE(snd->IsInputOpen());
}

TEST_F(CSoundTest, TimeOutsCloseTheDevice) {
  WAVEFORMATEX f = Pcm(2, 16);
  snd->WaitTimeoutMs = 50;
  ASSERT_EQ(snd->InOpen(0, &f, 256, 0, true), 0);
  int16_t l[256], r[256];
  EXPECT_EQ(snd->InRead(l, r, 256), -1);
  EXPECT_EQ(snd->InErrorCode, 2113);
  EXPECT_FALSE(snd->IsInputOpen());
  EXPECT_EQ(fake.in, nullptr);

  ASSERT_EQ(snd->OutOpen(0, &f, 256, 0, true), 0);
  EXPECT_EQ(snd->OutWrite(l, r, 256), 256);
  EXPECT_EQ(snd->OutWrite(l, r, 256), 256);
  // Third buffer queued: all three are out and none comes back.
  EXPECT_EQ(snd->OutWrite(l, r, 256), -1);
  EXPECT_EQ(snd->OutErrorCode, 2116);
  EXPECT_FALSE(snd->IsOutputOpen());
  EXPECT_EQ(fake.out, nullptr);
}

TEST_F(CSoundTest, OutputStartsOnlyOnceTwoBuffersAreQueued) {
  WAVEFORMATEX f = Pcm(2, 16);
  ASSERT_EQ(snd->OutOpen(0, &f, 4096, 0, false), 0);
  int16_t l[4096] = {}, r[4096] = {};
  ASSERT_EQ(snd->OutWrite(l, r, 4096), 4096);
  EXPECT_EQ(fake.Log(false), (std::vector<std::string>{"open", "pause", "reset", "write 16384"}));
  ASSERT_EQ(snd->OutWrite(l, r, 4096), 4096);
  EXPECT_EQ(fake.Log(false), (std::vector<std::string>{"open", "pause", "reset", "write 16384",
                                                       "write 16384", "restart"}));
}

TEST_F(CSoundTest, OutputConvertsAndSplitsAtTheBufferEnd) {
  struct Case {
    int channels, bits;
  } cases[] = {{2, 16}, {1, 16}, {2, 8}, {1, 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.channels << "ch " << c.bits << "bit");
    fake.played.clear();
    WAVEFORMATEX f = Pcm(c.channels, c.bits);
    ASSERT_EQ(snd->OutOpen(0, &f, 100, 0, true), 0);
    fake.autoPlay = true;
    // 250 frames: two full buffers and 50 frames in the third; one call crosses both ends.
    std::vector<int16_t> l(250), r(250);
    for (int i = 0; i < 250; ++i) {
      l[i] = static_cast<int16_t>(i * 263 - 32768);
      r[i] = static_cast<int16_t>(32767 - i * 131);
    }
    l[0] = -32768;  // lowest value must not wrap to the top in 8 bits
    ASSERT_EQ(snd->OutWrite(l.data(), r.data(), 250), 250);
    EXPECT_EQ(snd->OutOffset, 50 * c.channels * c.bits / 8);
    snd->OutClose();  // plays the partial buffer with its real length
    EXPECT_EQ(snd->OutErrorCode, 0);
    const int fb = c.channels * c.bits / 8;
    ASSERT_EQ(fake.played.size(), size_t(250 * fb));
    for (int i = 0; i < 250; ++i) {
      const unsigned char* p = reinterpret_cast<const unsigned char*>(fake.played.data()) + i * fb;
      if (c.bits == 16) {
        ASSERT_EQ(static_cast<int16_t>(p[0] | (p[1] << 8)), l[i]) << i;
        if (c.channels == 2) {
          ASSERT_EQ(static_cast<int16_t>(p[2] | (p[3] << 8)), r[i]) << i;
        }
      } else {
        auto to8 = [](int v) { return std::max(0, v + 32767) >> 8; };
        ASSERT_EQ(p[0], to8(l[i])) << i;
        if (c.channels == 2) {
          ASSERT_EQ(p[1], to8(r[i])) << i;
        }
      }
    }
    if (c.bits == 8) {
      EXPECT_EQ(reinterpret_cast<const unsigned char*>(fake.played.data())[0], 0);
    }
    fake.autoPlay = false;
  }
}

TEST_F(CSoundTest, UnderflowIsReportedOnceThenCleared) {
  WAVEFORMATEX f = Pcm(2, 16);
  ASSERT_EQ(snd->OutOpen(0, &f, 128, 0, true), 0);
  int16_t l[128] = {}, r[128] = {};
  ASSERT_EQ(snd->OutWrite(l, r, 128), 128);
  ASSERT_EQ(snd->OutWrite(l, r, 128), 128);
  // The device plays both and finds nothing more queued.
  ASSERT_EQ(fake.CompleteOutput(2), 2);
  EXPECT_EQ(snd->OutUnderflows, 1);
  EXPECT_EQ(snd->OutWrite(l, r, 128), 128);
  EXPECT_EQ(snd->OutErrorCode, 2115);
  snd->OutErrorCode = 0;
  fake.CompleteOutput(1);
  EXPECT_EQ(snd->OutUnderflows, 2);
  EXPECT_EQ(snd->OutWrite(l, r, 128), 128);
  EXPECT_EQ(snd->OutErrorCode, 2115) << "a new underflow is reported again";
  snd->OutErrorCode = 0;
  EXPECT_EQ(snd->OutWrite(l, r, 128), 128);
  EXPECT_EQ(snd->OutErrorCode, 0) << "the old one is not reported on every later write";
}

TEST_F(CSoundTest, CloseWakesABlockedReaderAndWriterBeforeTheDeviceGoes) {
  WAVEFORMATEX f = Pcm(2, 16);
  // Without the wake-up the two would sleep for a minute (and ASan would catch a caller
  // that touches the device after it was closed).
  ASSERT_NO_FATAL_FAILURE(StartBlockedReaderAndWriter(f));
  auto t0 = Clock::now();
  snd->InClose();
  fake.autoPlay = true;  // the device plays what is queued once the close restarts it
  snd->OutClose();
  reader.join();
  writer.join();
  EXPECT_LT(Seconds(t0), 10.0);
  EXPECT_EQ(readResult, -1);
  EXPECT_EQ(writeResult, -1);
  EXPECT_EQ(fake.in, nullptr);
  EXPECT_EQ(fake.out, nullptr);
}

TEST_F(CSoundTest, WakeWaitersEndsBlockedCallsAtOnceAndKeepsTheDevicesOpen) {
  WAVEFORMATEX f = Pcm(2, 16);
  // Without the wake-up both calls would sleep for a minute.
  ASSERT_NO_FATAL_FAILURE(StartBlockedReaderAndWriter(f));
  auto t0 = Clock::now();
  snd->WakeWaiters();
  reader.join();
  writer.join();
  EXPECT_LT(Seconds(t0), 5.0);  // far below the minute's wait
  EXPECT_EQ(readResult, -1);
  EXPECT_EQ(writeResult, -1);
  EXPECT_TRUE(snd->WakeRequested());
  // Not a failure of the devices: no code, both still open, and later calls return at once.
  EXPECT_EQ(snd->InErrorCode, 0);
  EXPECT_EQ(snd->OutErrorCode, 0);
  EXPECT_TRUE(snd->IsInputOpen());
  EXPECT_TRUE(snd->IsOutputOpen());
  EXPECT_NE(fake.in, nullptr);
  int16_t l[256] = {}, r[256] = {};
  t0 = Clock::now();
  EXPECT_EQ(snd->InRead(l, r, 256), -1);
  EXPECT_EQ(snd->OutWrite(l, r, 256), -1);
  EXPECT_LT(Seconds(t0), 5.0);
  // Reopening the input ends the request for it: a filled buffer is read again.
  ASSERT_EQ(snd->InOpen(0, &f, 256, 0, true), 0);
  ASSERT_EQ(fake.CompleteInput(1), 1);
  EXPECT_EQ(snd->InRead(l, r, 256), 256);
  fake.autoPlay = true;
}

TEST_F(CSoundTest, DeviceFailureEndsAWaitWithItsCode) {
  WAVEFORMATEX f = Pcm(2, 16);
  snd->WaitTimeoutMs = 60000;
  ASSERT_EQ(snd->InOpen(0, &f, 256, 0, true), 0);
  std::thread unplug([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    fake.inOwner->Notify(WIM_ERROR, MMSYSERR_NODRIVER);
  });
  int16_t l[256], r[256];
  auto t0 = Clock::now();
  EXPECT_EQ(snd->InRead(l, r, 256), -1);
  unplug.join();
  EXPECT_LT(Seconds(t0), 10.0);
  EXPECT_EQ(snd->InErrorCode, MMSYSERR_NODRIVER);
  EXPECT_FALSE(snd->IsInputOpen());
}

TEST_F(CSoundTest, SampleLimitsAndZeroLengthWriteClose) {
  WAVEFORMATEX f = Pcm(1, 16);
  ASSERT_EQ(snd->InOpen(0, &f, 100, 150, true), 0);
  fake.CompleteInput(2);
  int16_t l[100] = {}, r[100];
  EXPECT_EQ(snd->InRead(l, r, 100), 100);
  EXPECT_EQ(snd->InRead(l, r, 100), 0);
  EXPECT_FALSE(snd->IsInputOpen());

  ASSERT_EQ(snd->OutOpen(0, &f, 100, 0, true), 0);
  fake.autoPlay = true;
  EXPECT_EQ(snd->OutWrite(l, r, 0), 0);
  EXPECT_FALSE(snd->IsOutputOpen());
  ASSERT_EQ(snd->OutOpen(0, &f, 100, 200, true), 0);
  EXPECT_EQ(snd->OutWrite(l, r, 100), 100);
  EXPECT_EQ(snd->OutWrite(l, r, 100), 0);
  EXPECT_FALSE(snd->IsOutputOpen());
}

TEST_F(CSoundTest, ClosingAPausedOutputPlaysWhatIsQueuedWithoutStalling) {
  WAVEFORMATEX f = Pcm(2, 16);
  ASSERT_EQ(snd->OutOpen(0, &f, 256, 0, false), 0);
  fake.autoPlay = true;
  int16_t l[256] = {}, r[256] = {};
  ASSERT_EQ(snd->OutWrite(l, r, 256), 256);  // one full buffer, device still paused
  auto t0 = Clock::now();
  snd->OutClose();
  EXPECT_LT(Seconds(t0), 1.5);
  EXPECT_EQ(snd->OutErrorCode, 0) << "no time-out waiting for a paused device";
  EXPECT_EQ(fake.played.size(), 256u * 4);
}

TEST_F(CSoundTest, DefaultDeviceFallbackIsAnnounced) {
  char text[256];
  while (GetSoundThdMessage(text, 255)) {
  }
  WAVEFORMATEX f = Pcm(2, 16);
  ASSERT_EQ(snd->InOpen(-1, &f, 256, 0, false), 0);
  EXPECT_FALSE(GetSoundThdMessage(text, 255)) << "the default device itself is no news";
  snd->InClose();
  fake.defaultIsLoopback = true;
  ASSERT_EQ(snd->InOpen(-1, &f, 256, 0, false), 0);
  ASSERT_TRUE(GetSoundThdMessage(text, 255));
  EXPECT_NE(std::strstr(text, "Loop-back (no sound card)"), nullptr) << text;
  ASSERT_EQ(snd->OutOpen(-1, &f, 256, 0, false), 0);
  ASSERT_TRUE(GetSoundThdMessage(text, 255));
  EXPECT_NE(std::strstr(text, "output"), nullptr) << text;
}

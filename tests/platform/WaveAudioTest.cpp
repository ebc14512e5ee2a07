// The wave-audio service over its system back end: the loop-back device (always there) and
// ALSA on its null PCM through a test-only ALSA configuration (no sound card needed).
#include <gtest/gtest.h>

#include <alsa/asoundlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/TestUtil.h"
#include "platform/WaveAudio.h"

namespace {

WAVEFORMATEX Pcm(int channels, int bits, uint32_t rate) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = static_cast<uint16_t>(channels);
  f.wBitsPerSample = static_cast<uint16_t>(bits);
  f.nSamplesPerSec = rate;
  f.nBlockAlign = static_cast<uint16_t>(channels * bits / 8);
  f.nAvgBytesPerSec = f.nBlockAlign * rate;
  return f;
}

// Points ALSA at a test configuration (read afresh on the next ALSA call).
void UseAlsaConfig(const char* file) {
  std::string path = vt_test::TestDataDir() + "/platform/data/" + file;
  setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
  snd_config_update_free_global();
}

// Records the buffers that come back.
struct Returned {
  std::mutex mutex;
  std::condition_variable cond;
  std::vector<WAVEHDR*> buffers;
  std::vector<std::thread::id> threads;
  std::vector<int> otherMessages;

  static void Callback(WaveDeviceHandle*, int msg, void* instance, uintptr_t param) {
    auto* self = static_cast<Returned*>(instance);
    std::lock_guard<std::mutex> lock(self->mutex);
    if (msg == WIM_DATA || msg == WOM_DONE) {
      self->buffers.push_back(reinterpret_cast<WAVEHDR*>(param));
      self->threads.push_back(std::this_thread::get_id());
    } else {
      self->otherMessages.push_back(msg);
    }
    self->cond.notify_all();
  }
  bool WaitFor(size_t n, int ms = 10000) {
    std::unique_lock<std::mutex> lock(mutex);
    return cond.wait_for(lock, std::chrono::milliseconds(ms), [&] { return buffers.size() >= n; });
  }
};

int LoopbackId(bool input) { return (input ? waveInGetNumDevs() : waveOutGetNumDevs()) - 1; }

using Clock = std::chrono::steady_clock;

}  // namespace

TEST(WaveAudio, LoopbackIsListedLastAfterTheAlsaDefault) {
  for (bool input : {true, false}) {
    const int n = input ? waveInGetNumDevs() : waveOutGetNumDevs();
    ASSERT_GE(n, 2);
    const int loop = n - 1;
    EXPECT_STREQ(input ? waveInGetDeviceName(loop) : waveOutGetDeviceName(loop), WAVE_LOOPBACK_NAME);
    EXPECT_TRUE(waveIsLoopbackDevice(input, loop));
    EXPECT_FALSE(waveIsLoopbackDevice(input, 0));
    EXPECT_EQ(std::string(input ? waveInGetDeviceName(0) : waveOutGetDeviceName(0)).rfind("default", 0), 0u);
    WAVEINCAPSA caps{};
    ASSERT_EQ(input ? waveInGetDevCapsA(loop, &caps) : waveOutGetDevCapsA(loop, &caps), 0);
    EXPECT_STREQ(caps.szPname, WAVE_LOOPBACK_NAME);
    EXPECT_TRUE(caps.dwFormats & WAVE_FORMAT_4M16);
    EXPECT_EQ(input ? waveInGetDevCapsA(n, &caps) : waveOutGetDevCapsA(n, &caps), MMSYSERR_BADDEVICEID);
  }
}

TEST(WaveAudio, RefusedCallsGiveTheirCodes) {
  const int loop = LoopbackId(true);
  Returned r;
  struct FormatCase {
    int channels, bits;
    uint32_t rate;
    uint16_t tag;
  } formats[] = {{2, 24, 44100, 1}, {3, 16, 44100, 1}, {2, 16, 192001, 1}, {2, 16, 0, 1}, {2, 16, 48000, 3}};
  for (const auto& c : formats) {
    WAVEFORMATEX f = Pcm(c.channels, c.bits, c.rate);
    f.wFormatTag = c.tag;
    HWAVEIN h = nullptr;
    EXPECT_EQ(waveInOpen(&h, loop, &f, &Returned::Callback, &r), WAVERR_BADFORMAT) << c.channels << " " << c.bits << " " << c.rate;
    EXPECT_EQ(h, nullptr);
  }
  WAVEFORMATEX f = Pcm(2, 16, 192000);  // the top rate is accepted
  HWAVEIN h = nullptr;
  ASSERT_EQ(waveInOpen(&h, loop, &f, &Returned::Callback, &r), 0);
  HWAVEIN second = nullptr;
  EXPECT_EQ(waveInOpen(&second, loop, &f, &Returned::Callback, &r), MMSYSERR_ALLOCATED);
  EXPECT_EQ(waveInOpen(&second, loop + 1, &f, &Returned::Callback, &r), MMSYSERR_BADDEVICEID);
  std::vector<char> data(400);
  WAVEHDR hdr{};
  hdr.lpData = data.data();
  hdr.dwBufferLength = 400;
  EXPECT_EQ(waveInAddBuffer(h, &hdr), WAVERR_UNPREPARED);
  hdr.dwBufferLength = 402;  // not whole frames
  EXPECT_EQ(waveInPrepareHeader(h, &hdr), MMSYSERR_INVALPARAM);
  hdr.dwBufferLength = 400;
  ASSERT_EQ(waveInPrepareHeader(h, &hdr), 0);
  ASSERT_EQ(waveInAddBuffer(h, &hdr), 0);
  EXPECT_EQ(waveInAddBuffer(h, &hdr), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveInUnprepareHeader(h, &hdr), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveInClose(h), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveInReset(h), 0);
  EXPECT_EQ(waveInUnprepareHeader(h, &hdr), 0);
  EXPECT_EQ(waveInClose(h), 0);
  EXPECT_EQ(waveInStart(nullptr), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveOutWrite(nullptr, &hdr), MMSYSERR_INVALHANDLE);
}

TEST(WaveAudio, QueuedBuffersComeBackOnceInOrderOnTheServiceThread) {
  const int loop = LoopbackId(false);
  WAVEFORMATEX f = Pcm(1, 16, 8000);
  Returned r;
  HWAVEOUT h = nullptr;
  ASSERT_EQ(waveOutOpen(&h, loop, &f, &Returned::Callback, &r), 0);
  constexpr int N = 6;
  std::vector<std::vector<char>> data(N, std::vector<char>(160));  // 80 frames = 10 ms each
  WAVEHDR hdr[N]{};
  auto t0 = Clock::now();
  for (int i = 0; i < N; ++i) {
    hdr[i].lpData = data[i].data();
    hdr[i].dwBufferLength = 160;
    ASSERT_EQ(waveOutPrepareHeader(h, &hdr[i]), 0);
    ASSERT_EQ(waveOutWrite(h, &hdr[i]), 0);
  }
  ASSERT_TRUE(r.WaitFor(N));
  const double elapsed = std::chrono::duration<double>(Clock::now() - t0).count();
  EXPECT_GE(elapsed, 0.97 * N * 0.010) << "played faster than the nominal rate";
  ASSERT_EQ(r.buffers.size(), size_t(N));
  for (int i = 0; i < N; ++i) {
    EXPECT_EQ(r.buffers[i], &hdr[i]);
    EXPECT_NE(r.threads[i], std::this_thread::get_id());
    EXPECT_TRUE(hdr[i].dwFlags & WHDR_DONE);
    EXPECT_FALSE(hdr[i].dwFlags & WHDR_INQUEUE);
    EXPECT_EQ(waveOutUnprepareHeader(h, &hdr[i]), 0);
  }
  EXPECT_EQ(waveOutClose(h), 0);
  EXPECT_EQ(r.buffers.size(), size_t(N)) << "nothing comes back twice";
}

TEST(WaveAudio, ResetReturnsEveryQueuedBufferBeforeItReturns) {
  for (bool input : {true, false}) {
    SCOPED_TRACE(input ? "input" : "output");
    WAVEFORMATEX f = Pcm(2, 16, 11025);
    Returned r;
    WaveDeviceHandle* h = nullptr;
    ASSERT_EQ(input ? waveInOpen(&h, LoopbackId(true), &f, &Returned::Callback, &r)
                    : waveOutOpen(&h, LoopbackId(false), &f, &Returned::Callback, &r), 0);
    if (!input) {
      ASSERT_EQ(waveOutPause(h), 0);  // nothing plays; input is not started
    }
    constexpr int N = 4;
    std::vector<std::vector<char>> data(N, std::vector<char>(4096));
    WAVEHDR hdr[N]{};
    for (int i = 0; i < N; ++i) {
      hdr[i].lpData = data[i].data();
      hdr[i].dwBufferLength = 4096;
      ASSERT_EQ(input ? waveInPrepareHeader(h, &hdr[i]) : waveOutPrepareHeader(h, &hdr[i]), 0);
      ASSERT_EQ(input ? waveInAddBuffer(h, &hdr[i]) : waveOutWrite(h, &hdr[i]), 0);
    }
    EXPECT_EQ(input ? waveInReset(h) : waveOutReset(h), 0);
    {
      std::lock_guard<std::mutex> lock(r.mutex);
      ASSERT_EQ(r.buffers.size(), size_t(N));
      for (int i = 0; i < N; ++i) EXPECT_EQ(r.buffers[i], &hdr[i]);
    }
    if (input) {
      for (const WAVEHDR& x : hdr) EXPECT_EQ(x.dwBytesRecorded, 0u);
    }
    for (WAVEHDR& x : hdr) EXPECT_EQ(input ? waveInUnprepareHeader(h, &x) : waveOutUnprepareHeader(h, &x), 0);
    EXPECT_EQ(input ? waveInClose(h) : waveOutClose(h), 0);
  }
}

TEST(WaveAudio, AlsaNullDeviceOpensReadsWritesAndCloses) {
  UseAlsaConfig("alsa-null.conf");
  ASSERT_EQ(waveInGetNumDevs(), 2);  // "default" (the null PCM) and the loop-back device
  ASSERT_EQ(waveOutGetNumDevs(), 2);
  EXPECT_STREQ(waveInGetDeviceName(0), "default: Null test device");
  EXPECT_STREQ(waveOutGetDeviceName(-1), "default: Null test device");
  // A device that is there answers a probe, both ways; a bad format is refused before.
  const WAVEFORMATEX probe = Pcm(2, 16, 48000);
  EXPECT_EQ(waveInProbe(WAVE_MAPPER, &probe), 0);
  EXPECT_EQ(waveOutProbe(0, &probe), 0);
  WAVEFORMATEX bad = probe;
  bad.wBitsPerSample = 12;
  EXPECT_EQ(waveInProbe(0, &bad), WAVERR_BADFORMAT);

  for (bool input : {true, false}) {
    SCOPED_TRACE(input ? "input" : "output");
    WAVEFORMATEX f = Pcm(2, 16, 48000);
    Returned r;
    WaveDeviceHandle* h = nullptr;
    // The default device is ALSA's own default here: no fall-back to the loop-back device.
    ASSERT_EQ(input ? waveInOpen(&h, WAVE_MAPPER, &f, &Returned::Callback, &r)
                    : waveOutOpen(&h, WAVE_MAPPER, &f, &Returned::Callback, &r), 0);
    int id = -5;
    ASSERT_EQ(input ? waveInGetID(h, &id) : waveOutGetID(h, &id), 0);
    EXPECT_EQ(id, 0);
    constexpr int N = 3;
    std::vector<std::vector<char>> data(N, std::vector<char>(4096 * 4, 'x'));
    WAVEHDR hdr[N]{};
    for (int i = 0; i < N; ++i) {
      hdr[i].lpData = data[i].data();
      hdr[i].dwBufferLength = 4096 * 4;
      ASSERT_EQ(input ? waveInPrepareHeader(h, &hdr[i]) : waveOutPrepareHeader(h, &hdr[i]), 0);
      ASSERT_EQ(input ? waveInAddBuffer(h, &hdr[i]) : waveOutWrite(h, &hdr[i]), 0);
    }
    if (input) {
      ASSERT_EQ(waveInStart(h), 0);
    }
    ASSERT_TRUE(r.WaitFor(N));
    for (int i = 0; i < N; ++i) {
      EXPECT_EQ(r.buffers[i], &hdr[i]);
      if (input) {
        EXPECT_EQ(hdr[i].dwBytesRecorded, 4096u * 4);
      }
    }
    EXPECT_EQ(input ? waveInReset(h) : waveOutReset(h), 0);
    for (WAVEHDR& x : hdr) EXPECT_EQ(input ? waveInUnprepareHeader(h, &x) : waveOutUnprepareHeader(h, &x), 0);
    EXPECT_EQ(input ? waveInClose(h) : waveOutClose(h), 0);
    std::lock_guard<std::mutex> lock(r.mutex);
    EXPECT_TRUE(r.otherMessages.empty() || r.otherMessages[0] == WIM_OVERRUN ||
                r.otherMessages[0] == WOM_UNDERRUN);
  }
}

TEST(WaveAudio, NoSoundCardMakesTheDefaultDeviceFallBackToLoopback) {
  UseAlsaConfig("alsa-nocard.conf");
  const int loopIn = LoopbackId(true);
  WAVEFORMATEX f = Pcm(1, 16, 44100);
  Returned r;
  HWAVEIN h = nullptr;
  // The ALSA default device by its number: reported as missing, no fall-back.
  EXPECT_EQ(waveInOpen(&h, 0, &f, &Returned::Callback, &r), MMSYSERR_NODRIVER);
  EXPECT_EQ(h, nullptr);
  ASSERT_EQ(waveInOpen(&h, WAVE_MAPPER, &f, &Returned::Callback, &r), 0);
  int id = -5;
  ASSERT_EQ(waveInGetID(h, &id), 0);
  EXPECT_EQ(id, loopIn);
  EXPECT_TRUE(waveIsLoopbackDevice(true, id));
  EXPECT_EQ(waveInClose(h), 0);
  // A probe asks for the device itself: the default device does not fall back.
  EXPECT_EQ(waveInProbe(WAVE_MAPPER, &f), MMSYSERR_NODRIVER);
  EXPECT_EQ(waveOutProbe(WAVE_MAPPER, &f), MMSYSERR_NODRIVER);
  EXPECT_EQ(waveInProbe(0, &f), MMSYSERR_NODRIVER);
}

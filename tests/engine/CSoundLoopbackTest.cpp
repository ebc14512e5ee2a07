// The sound-card object end to end on the built-in loop-back device (no sound card needed):
// what is written comes back bit-exact, at the nominal rate of real time; and on ALSA's null
// PCM.
#include <gtest/gtest.h>

#include <alsa/asoundlib.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <memory>
#include <vector>

#include "common/TestUtil.h"
#include "engine/CSound.h"

TEST(CSoundLoopback, WrittenSignalComesBackBitExactAtTheNominalRate) {
  const int loop = waveOutGetNumDevs() - 1;
  ASSERT_TRUE(waveIsLoopbackDevice(false, loop));
  ASSERT_TRUE(waveIsLoopbackDevice(true, waveInGetNumDevs() - 1));

  constexpr int RATE = 48000, BLOCK = 4096, TONE_BLOCKS = 8, EXTRA = 5, AHEAD = 2;
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = 2;
  f.wBitsPerSample = 16;
  f.nSamplesPerSec = RATE;
  f.nBlockAlign = 4;
  f.nAvgBytesPerSec = 4 * RATE;

  auto snd = std::make_unique<CSound>();
  ASSERT_EQ(snd->OutOpen(loop, &f, BLOCK, 0, false), 0);
  ASSERT_EQ(snd->InOpen(waveInGetNumDevs() - 1, &f, BLOCK, 0, false), 0);

  // A signal without zeros, different on both channels, so that its start is unmistakable.
  const int total = TONE_BLOCKS * BLOCK;
  std::vector<int16_t> toneL(total), toneR(total);
  for (int i = 0; i < total; ++i) {
    toneL[i] = static_cast<int16_t>(1 + (i * 7919) % 30000);
    toneR[i] = static_cast<int16_t>(-1 - (int64_t(i) * 104729) % 30000);
  }
  std::vector<int16_t> silence(BLOCK, 0), inL(BLOCK), inR(BLOCK);
  std::vector<int16_t> gotL, gotR;

  const auto t0 = std::chrono::steady_clock::now();
  snd->Start();
  const int blocks = TONE_BLOCKS + EXTRA;
  // The output runs AHEAD blocks in front of the input, as the audio thread's does, so that a
  // late pass of this thread does not leave a gap in what is played.
  for (int b = 0; b < blocks + AHEAD; ++b) {
    if (b < blocks) {
      const int16_t* l = b < TONE_BLOCKS ? &toneL[b * BLOCK] : silence.data();
      const int16_t* r = b < TONE_BLOCKS ? &toneR[b * BLOCK] : silence.data();
      ASSERT_EQ(snd->OutWrite(l, r, BLOCK), BLOCK) << "block " << b << " error " << snd->OutErrorCode;
    }
    if (b < AHEAD) continue;
    ASSERT_EQ(snd->InRead(inL.data(), inR.data(), BLOCK), BLOCK) << "block " << b << " error " << snd->InErrorCode;
    gotL.insert(gotL.end(), inL.begin(), inL.end());
    gotR.insert(gotR.end(), inR.begin(), inR.end());
  }
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const double nominal = double(blocks) * BLOCK / RATE;
  // Never faster than the clock (deadline-paced); the upper bound leaves room for a busy machine.
  EXPECT_GE(elapsed, 0.97 * nominal);
  EXPECT_LE(elapsed, 1.5 * nominal);

  size_t start = 0;
  while (start < gotL.size() && gotL[start] == 0) ++start;
  ASSERT_LE(start + total, gotL.size()) << "the signal did not come back whole";
  for (int i = 0; i < total; ++i) {
    ASSERT_EQ(gotL[start + i], toneL[i]) << i;
    ASSERT_EQ(gotR[start + i], toneR[i]) << i;
  }
  snd->InClose();
  snd->OutClose();
  EXPECT_EQ(snd->InOverflows, 0);
}

TEST(CSoundAlsa, NullDeviceThroughATestConfiguration) {
  // ALSA's null PCM as the default device: playback discards, capture delivers silence at
  // once (not paced), so reads find their buffers filled.
  const std::string conf = vt_test::TestDataDir() + "/platform/data/alsa-null.conf";
  setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
  snd_config_update_free_global();
  ASSERT_EQ(waveInGetNumDevs(), 2);
  ASSERT_EQ(waveOutGetNumDevs(), 2);

  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = 2;
  f.wBitsPerSample = 16;
  f.nSamplesPerSec = 44100;
  f.nBlockAlign = 4;
  f.nAvgBytesPerSec = 4 * 44100;
  auto snd = std::make_unique<CSound>();
  ASSERT_EQ(snd->InOpen(0, &f, 4096, 0, false), 0);
  ASSERT_EQ(snd->OutOpen(0, &f, 4096, 0, false), 0);
  snd->Start();
  std::vector<int16_t> l(4096), r(4096);
  for (int b = 0; b < 5; ++b) {
    ASSERT_EQ(snd->InRead(l.data(), r.data(), 4096), 4096) << snd->InErrorCode;
    ASSERT_EQ(snd->OutWrite(l.data(), r.data(), 4096), 4096) << snd->OutErrorCode;
  }
  ASSERT_EQ(snd->OutWrite(l.data(), r.data(), 100), 100);  // a partial buffer for the close
  // The unpaced null device runs dry between writes (2115, as the audio thread would have
  // queued it); the close itself must not add an error.
  snd->OutErrorCode = 0;
  snd->OutClose();
  EXPECT_EQ(snd->OutErrorCode, 0);
  snd->InClose();
  EXPECT_FALSE(snd->IsInputOpen());
  EXPECT_FALSE(snd->IsOutputOpen());
}

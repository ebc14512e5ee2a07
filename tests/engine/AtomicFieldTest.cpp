// Fields shared between the GUI and the audio thread.
#include <gtest/gtest.h>

#include <thread>

#include "engine/AtomicField.h"
#include "engine/SndConfig.h"

namespace {

TEST(AtomicFieldTest, ReadModifyWritesFromTwoThreadsLoseNoUpdate)
{
  // Each thread toggles its own bit of one mask and counts. A lost toggle would leave its bit
  // with the wrong parity for good, a lost increment would show in the count.
  AtomicField<int> mask = 0;
  AtomicField<int> count = 0;
  auto work = [&](int bit, int times) {
    for (int i = 0; i < times; ++i) {
      mask ^= bit;
      ++count;
    }
  };
  std::thread a(work, 1, 100000);  // even: bit 1 ends clear
  std::thread b(work, 2, 100001);  // odd: bit 2 ends set
  a.join();
  b.join();
  EXPECT_EQ(mask, 2);
  EXPECT_EQ(count, 200001);
}

TEST(AtomicFieldTest, RecordsCopyFieldByField)
{
  SineGenSettings a;
  a.SinFreq = 1234.5;
  a.Enabled = true;
  a.Wave = 3;
  SineGenSettings b = a;
  a.SinFreq = 1.0;
  EXPECT_EQ(b.SinFreq, 1234.5);
  EXPECT_TRUE(b.Enabled);
  EXPECT_EQ(b.Wave, 3);
  AtomicField<double> g = 2.0;
  g *= 1.5;
  g += 0.25;
  EXPECT_EQ(g, 3.25);
  AtomicField<int> n = 5;
  EXPECT_EQ(n++, 5);
  EXPECT_EQ(--n, 5);
}

}  // namespace

// The plot history: file layout, ring, reopening, damaged and foreign files, a killed writer.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/TestUtil.h"
#include "engine/DebugU1.h"
#include "interp/PlotData.h"

namespace {

uint32_t U32At(const std::string& bytes, size_t offset)
{
  uint32_t v;
  std::memcpy(&v, bytes.data() + offset, 4);
  return v;
}

double DoubleAt(const std::string& bytes, size_t offset)
{
  double v;
  std::memcpy(&v, bytes.data() + offset, 8);
  return v;
}

class PlotDataTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    for (int i = 0; i < WATCH_MAX_CHANNELS; ++i) {
      std::snprintf(wl.Titles[i], sizeof wl.Titles[i], "Chn%d", i);
      wl.Pens[i].ScaleMin = -10.0 * i;
      wl.Pens[i].ScaleMax = 10.0 * i;
    }
    SetDebugSink([this](const std::string& line) { lines.push_back(line); });
    lines.clear();
  }
  void TearDown() override
  {
    PlotData_FreeMemory(&pd);
    PlotData_CloseFile(&pd);
    SetDebugSink(nullptr);
  }
  bool Logged(const std::string& part) const
  {
    for (const auto& l : lines)
      if (l.find(part) != std::string::npos) return true;
    return false;
  }
  // A record whose values tell the step and the channel apart.
  static T_PlotDataRecord Sample(int step)
  {
    T_PlotDataRecord r;
    PlotData_ClearRecord(&r);
    r.Time = 1.0e9 + step;
    for (int c = 0; c < PLOT_MAX_CHANNELS; ++c) r.Channel[c] = {step - c * 0.5, step + c * 0.5, step + 0.25};
    return r;
  }

  vt_test::TempDir dir;
  T_WatchList wl;
  T_PlotData pd;
  std::vector<std::string> lines;
};

TEST_F(PlotDataTest, NewFileHasTheHeaderAndSizeOfItsCounts)
{
  const std::string path = dir.file("p.tmp");
  ASSERT_TRUE(PlotData_OpenFile(&pd, &wl, path.c_str(), 2000, 6, 1));
  const uint32_t dataOffset = 96 + 200 * 6 + 1024;
  EXPECT_EQ(pd.State, PLOT_STATE_FILE);
  EXPECT_EQ(pd.RecordStride, 8u + 24u * 6u);
  EXPECT_EQ(pd.ChannelInfo[5].FileOffset, 96u + 200u * 5u);
  EXPECT_STREQ(pd.ChannelInfo[3].ShortName, "Chn3");
  EXPECT_EQ(pd.ChannelInfo[3].ScaleMax, 30.0);
  EXPECT_EQ(pd.ChannelInfo[6].ChannelNumber, 0u);  // beyond the count: all zero
  PlotData_CloseFile(&pd);

  const std::string bytes = vt_test::ReadWholeFile(path);
  ASSERT_EQ(bytes.size(), dataOffset + 488u * 2000u);
  EXPECT_EQ(bytes.size(), 978320u);
  EXPECT_EQ(U32At(bytes, 0), 96u);
  EXPECT_EQ(U32At(bytes, 4), 96u);
  EXPECT_EQ(std::string(bytes.data() + 8, 64), std::string("T_PlotFileHeader") + std::string(48, '\0'));
  EXPECT_EQ(U32At(bytes, 72), dataOffset);
  EXPECT_EQ(U32At(bytes, 76), 488u);
  EXPECT_EQ(U32At(bytes, 80), 2000u);
  EXPECT_EQ(U32At(bytes, 84), 6u);
  EXPECT_EQ(U32At(bytes, 88), 0u);
  EXPECT_EQ(U32At(bytes, 92), 0u);
  EXPECT_EQ(bytes.find_first_not_of('\0', 96), std::string::npos);  // reserved area and records
  EXPECT_EQ(PlotData_CalcFileSize(2000, 6), 306320);
}

TEST_F(PlotDataTest, OpenClampsRecordAndChannelCounts)
{
  struct Case {
    int records, channels;
    uint32_t wantRecords, wantChannels;
    bool limitedMessage;
  } cases[] = {
      {10, 6, 100, 6, false},
      {500, 0, 500, 1, false},
      {500, 25, 500, 20, true},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(n);
    lines.clear();
    const std::string path = dir.file("c" + std::to_string(n++) + ".tmp");
    ASSERT_TRUE(PlotData_OpenFile(&pd, &wl, path.c_str(), c.records, c.channels, 1));
    EXPECT_EQ(pd.Header.MaxRecords, c.wantRecords);
    EXPECT_EQ(pd.Header.Channels, c.wantChannels);
    EXPECT_EQ(Logged("Number of plotter channels limited from 25 to 20 ."), c.limitedMessage);
    PlotData_CloseFile(&pd);
    EXPECT_EQ(std::filesystem::file_size(path), 96u + 200u * c.wantChannels + 1024u + 488u * c.wantRecords);
  }
}

TEST_F(PlotDataTest, IndicesInTheFileAreCurrentWithoutAClose)
{
  const std::string path = dir.file("p.tmp");
  ASSERT_TRUE(PlotData_OpenFile(&pd, &wl, path.c_str(), 100, 3, 1));
  for (int i = 1; i <= 3; ++i) {
    T_PlotDataRecord r = Sample(i);
    ASSERT_TRUE(PlotData_StoreRecord(&pd, &r));
  }
  const std::string bytes = vt_test::ReadWholeFile(path);  // the plot data are still open
  EXPECT_EQ(U32At(bytes, 88), 3u);
  EXPECT_EQ(U32At(bytes, 92), 3u);
  const size_t slot3 = 96 + 600 + 1024 + 3 * (8 + 24 * 3);
  EXPECT_EQ(DoubleAt(bytes, slot3), 1.0e9 + 3);
  EXPECT_EQ(DoubleAt(bytes, slot3 + 8 + 24 * 2 + 8), 3 + 1.0);  // channel 2's maximum
}

TEST_F(PlotDataTest, RingWrapsAndIndexFromAgeFollowsIt)
{
  const std::string path = dir.file("p.tmp");
  ASSERT_TRUE(PlotData_OpenFile(&pd, &wl, path.c_str(), 100, 2, 1));
  EXPECT_EQ(PlotData_IndexFromAge(&pd, 0), 0);  // HighestIndex 0
  for (int i = 1; i <= 103; ++i) {
    T_PlotDataRecord r = Sample(i);
    PlotData_StoreRecord(&pd, &r);
    if (i == 5) {  // first pass: slots 1..5
      EXPECT_EQ(PlotData_IndexFromAge(&pd, 0), 5);
      EXPECT_EQ(PlotData_IndexFromAge(&pd, 4), 1);
      EXPECT_EQ(PlotData_IndexFromAge(&pd, 10), 1);
    }
  }
  // 103 stores from WriteIndex 0: slots 1..99, then 0, 1, 2, 3.
  EXPECT_EQ(pd.Header.WriteIndex, 3u);
  EXPECT_EQ(pd.Header.HighestIndex, 99u);
  struct Case {
    int age, index;
  } cases[] = {{0, 3}, {3, 0}, {4, 99}, {98, 5}, {99, 4}, {500, 4}, {-5, 3}};
  for (const Case& c : cases) EXPECT_EQ(PlotData_IndexFromAge(&pd, c.age), c.index) << c.age;
  T_PlotDataRecord r;
  ASSERT_TRUE(PlotData_GetRecord(&pd, PlotData_IndexFromAge(&pd, 0), &r));
  EXPECT_EQ(r.Time, 1.0e9 + 103);
  ASSERT_TRUE(PlotData_GetRecord(&pd, PlotData_IndexFromAge(&pd, 98), &r));
  EXPECT_EQ(r.Time, 1.0e9 + 5);
}

TEST_F(PlotDataTest, KilledWriterLeavesEveryRecordAndIndex)
{
  const std::string path = dir.file("killed.tmp");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    T_PlotData own;
    if (!PlotData_OpenFile(&own, &wl, path.c_str(), 100, 4, 1)) _exit(1);
    for (int i = 1; i <= 130; ++i) {
      T_PlotDataRecord r = Sample(i);
      PlotData_StoreRecord(&own, &r);
    }
    const char c = 'x';
    if (write(ready[1], &c, 1) != 1) _exit(2);
    for (;;) pause();
  }
  close(ready[1]);
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  close(ready[0]);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));

  ASSERT_TRUE(PlotData_OpenFile(&pd, &wl, path.c_str(), 100, 4, 1));
  EXPECT_FALSE(Logged("corrected"));
  EXPECT_EQ(pd.Header.WriteIndex, 30u);
  EXPECT_EQ(pd.Header.HighestIndex, 99u);
  for (int age = 0; age < 100; ++age) {
    T_PlotDataRecord r;
    ASSERT_TRUE(PlotData_GetRecord(&pd, PlotData_IndexFromAge(&pd, age), &r));
    const T_PlotDataRecord want = Sample(130 - age);
    EXPECT_EQ(std::memcmp(&r, &want, 8 + 24 * 4), 0) << age;
  }
}

TEST_F(PlotDataTest, ReopenKeepsTheFilesChannelsAndOnlyGrows)
{
  const std::string path = dir.file("p.plt");
  ASSERT_TRUE(PlotData_OpenFile(&pd, &wl, path.c_str(), 200, 10, 1));
  T_PlotDataRecord r = Sample(7);
  PlotData_StoreRecord(&pd, &r);
  PlotData_CloseFile(&pd);
  const uint32_t dataOffset = 96 + 2000 + 1024;

  ASSERT_TRUE(PlotData_OpenFile(&pd, &wl, path.c_str(), 300, 6, 1));
  EXPECT_EQ(pd.Header.Channels, 10u);
  EXPECT_EQ(pd.RecordStride, 248u);
  EXPECT_EQ(pd.Header.MaxRecords, 300u);
  EXPECT_EQ(pd.Header.WriteIndex, 1u);
  // The grown count is in the file at once, before any store or close.
  EXPECT_EQ(U32At(vt_test::ReadWholeFile(path), 80), 300u);
  T_PlotDataRecord back;
  ASSERT_TRUE(PlotData_GetRecord(&pd, 1, &back));
  EXPECT_EQ(back.Channel[9].Max, r.Channel[9].Max);
  PlotData_CloseFile(&pd);
  EXPECT_EQ(std::filesystem::file_size(path), dataOffset + 488u * 300u);

  ASSERT_TRUE(PlotData_OpenFile(&pd, &wl, path.c_str(), 100, 6, 1));
  EXPECT_EQ(pd.Header.MaxRecords, 300u);
  PlotData_CloseFile(&pd);
  EXPECT_EQ(std::filesystem::file_size(path), dataOffset + 488u * 300u);
}

TEST_F(PlotDataTest, DamagedHeaderIsCorrectedWithAWarning)
{
  struct Case {
    const char* what;
    size_t offset;
    uint32_t value;
  } cases[] = {
      {"header length", 0, 72},
      {"structure size", 4, 0},
      {"no channels", 84, 0},
      {"21 channels", 84, 21},
      {"data offset", 72, 96 + 200 * 4 + 1023},
      {"record size", 76, 152},
      {"no records", 80, 0},
      {"mapping of 2^31 bytes", 80, (0x80000000u - (96 + 800 + 1024)) / 488 + 1},
      {"write index above the highest", 92, 20},
      {"highest index not below the count", 88, 150},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.file(std::string("d") + std::to_string(c.offset) + "_" + std::to_string(c.value));
    ASSERT_TRUE(PlotData_OpenFile(&pd, &wl, path.c_str(), 150, 4, 1));
    for (int i = 0; i < 10; ++i) {
      T_PlotDataRecord r = Sample(i);
      PlotData_StoreRecord(&pd, &r);
    }
    PlotData_CloseFile(&pd);
    std::string bytes = vt_test::ReadWholeFile(path);
    std::memcpy(bytes.data() + c.offset, &c.value, 4);
    vt_test::WriteWholeFile(path, bytes);

    lines.clear();
    ASSERT_TRUE(PlotData_OpenFile(&pd, &wl, path.c_str(), 120, 3, 1));
    EXPECT_TRUE(Logged("Invalid plot file header had to be corrected !"));
    EXPECT_EQ(pd.Header.Channels, 3u);
    EXPECT_EQ(pd.Header.MaxRecords, 120u);
    EXPECT_EQ(pd.Header.DataOffset, 96u + 600u + 1024u);
    EXPECT_EQ(pd.Header.WriteIndex, 0u);
    EXPECT_EQ(pd.Header.HighestIndex, 0u);
    // Without a store the damaged header stays in the file.
    PlotData_CloseFile(&pd);
    EXPECT_EQ(vt_test::ReadWholeFile(path).substr(0, 96), bytes.substr(0, 96));
  }
}

TEST_F(PlotDataTest, CorrectedHeaderReachesTheFileWithTheFirstStore)
{
  const std::string path = dir.file("p.tmp");
  ASSERT_TRUE(PlotData_OpenFile(&pd, &wl, path.c_str(), 150, 4, 1));
  PlotData_CloseFile(&pd);
  std::string bytes = vt_test::ReadWholeFile(path);
  bytes[76] = 1;  // record size
  vt_test::WriteWholeFile(path, bytes);
  ASSERT_TRUE(PlotData_OpenFile(&pd, &wl, path.c_str(), 150, 4, 1));
  T_PlotDataRecord r = Sample(1);
  PlotData_StoreRecord(&pd, &r);
  T_PlotFileHeader inFile;
  std::memcpy(&inFile, vt_test::ReadWholeFile(path).data(), sizeof inFile);
  EXPECT_EQ(std::memcmp(&inFile, &pd.Header, sizeof inFile), 0);
  EXPECT_EQ(inFile.RecordSize, 488u);
}

TEST_F(PlotDataTest, ForeignFileIsRefusedAndLeftAsItWas)
{
  std::string shortHeader = "T_PlotFileHeader";
  std::string wrongCase(96 + 1024, '\0');
  T_PlotFileHeader h;
  PlotData_InitFileHeader(&h, 100, 1);
  h.Magic[0] = 't';
  std::memcpy(wrongCase.data(), &h, sizeof h);
  std::string binary;
  for (int i = 0; i < 5000; ++i) binary += static_cast<char>(i * 37 % 251);
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"50 bytes", std::string(50, 'x')},
      {"magic alone", shortHeader},
      {"magic in lower case", wrongCase},
      {"binary", binary},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.file("foreign" + std::to_string(n++) + ".tmp");
    vt_test::WriteWholeFile(path, c.bytes);
    lines.clear();
    EXPECT_FALSE(PlotData_OpenFile(&pd, &wl, path.c_str(), 2000, 6, 1));
    EXPECT_EQ(pd.State, PLOT_STATE_CLOSED);
    EXPECT_EQ(pd.FileHandle, -1);
    EXPECT_EQ(pd.Data, nullptr);
    EXPECT_TRUE(Logged("\"" + path + "\""));
    EXPECT_EQ(vt_test::ReadWholeFile(path), c.bytes);
    // The fallback of the caller: the history lives in memory.
    PlotData_AllocMemory(&pd, 100);
    EXPECT_EQ(pd.State, PLOT_STATE_MEMORY);
    PlotData_FreeMemory(&pd);
  }
}

TEST_F(PlotDataTest, SecondOpenOfALockedFileFails)
{
  const std::string path = dir.file("p.tmp");
  ASSERT_TRUE(PlotData_OpenFile(&pd, &wl, path.c_str(), 100, 2, 1));
  T_PlotData second;
  EXPECT_FALSE(PlotData_OpenFile(&second, &wl, path.c_str(), 100, 2, 1));
  EXPECT_EQ(second.State, PLOT_STATE_CLOSED);
  EXPECT_EQ(second.FileHandle, -1);
  EXPECT_TRUE(Logged("Can't create \"" + path + "\", Windoze says \""));
  EXPECT_FALSE(Logged("Windoze says \"\""));
  PlotData_CloseFile(&pd);
  EXPECT_TRUE(PlotData_OpenFile(&second, &wl, path.c_str(), 100, 2, 1));
  PlotData_CloseFile(&second);
}

TEST_F(PlotDataTest, MemoryBufferAndEmptyRing)
{
  pd.Header.Channels = 2;
  PlotData_AllocMemory(&pd, 150);
  ASSERT_EQ(pd.State, PLOT_STATE_MEMORY);
  EXPECT_EQ(pd.Header.MaxRecords, 150u);
  EXPECT_EQ(pd.RecordStride, 56u);
  T_PlotDataRecord r = Sample(3);
  ASSERT_TRUE(PlotData_StoreRecord(&pd, &r));
  T_PlotDataRecord back = Sample(99);
  ASSERT_TRUE(PlotData_GetRecord(&pd, 1, &back));
  EXPECT_EQ(back.Channel[1].Max, r.Channel[1].Max);
  EXPECT_EQ(back.Channel[2].Max, Sample(99).Channel[2].Max);  // beyond Channels: untouched
  ASSERT_TRUE(PlotData_GetRecord(&pd, 2, &back));
  EXPECT_EQ(back.Time, 0.0);
  // Outside the ring: a cleared record and no write.
  for (int index : {-1, 150, INT_MAX}) {
    back = Sample(5);
    EXPECT_FALSE(PlotData_GetRecord(&pd, index, &back));
    EXPECT_EQ(back.Time, 0.0);
    EXPECT_FALSE(PlotData_PutRecord(&pd, index, &r));
  }
  // A block that cannot be had leaves nothing open and no ring.
  PlotData_AllocMemory(&pd, INT_MAX);
  EXPECT_EQ(pd.State, PLOT_STATE_CLOSED);
  EXPECT_EQ(pd.Header.MaxRecords, 0u);
  pd.HeaderDirty = 0;
  const uint32_t writeIndex = pd.Header.WriteIndex;
  EXPECT_FALSE(PlotData_StoreRecord(&pd, &r));
  EXPECT_EQ(pd.Header.WriteIndex, writeIndex);
  EXPECT_EQ(pd.HeaderDirty, 0);
  EXPECT_EQ(PlotData_IndexFromAge(&pd, 0), 0);
  PlotData_FreeMemory(&pd);
  EXPECT_EQ(pd.Data, nullptr);
}

TEST_F(PlotDataTest, ClampInt)
{
  struct Case {
    int v, lo, hi, want;
  } cases[] = {{5, 1, 20, 5}, {0, 1, 20, 1}, {99, 1, 20, 20}, {INT_MIN, 100, 10000, 100}};
  for (const Case& c : cases) {
    int v = c.v;
    Plot_ClampInt(&v, c.lo, c.hi);
    EXPECT_EQ(v, c.want);
  }
}

// A mapped file cut short by another program: no access may touch a page beyond its new end
// (SIGBUS). The buffer goes on in memory with the same ring, the whole records still in the file
// and the rest cleared; a store and a close work; the file is not written again.
TEST_F(PlotDataTest, ShrunkFileGoesOnInMemory)
{
  const uint32_t dataOffset = 96 + 200 * 2 + 1024;
  const uint32_t stride = 8 + 24 * 2;
  struct Case {
    off_t size;
    int keptRecords;  // slots 0.. whose contents survive
  } cases[] = {{0, 0}, {50, 0}, {dataOffset, 0}, {dataOffset + 3 * stride + 10, 3}, {dataOffset + 488 * 100 - 1, 100}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const std::string path = dir.file("s" + std::to_string(c.size) + ".tmp");
    ASSERT_TRUE(PlotData_OpenFile(&pd, &wl, path.c_str(), 100, 2, 1));
    for (int i = 1; i <= 5; ++i) {
      const T_PlotDataRecord r = Sample(i);
      ASSERT_TRUE(PlotData_StoreRecord(&pd, &r));
    }
    ASSERT_EQ(truncate(path.c_str(), c.size), 0);
    lines.clear();

    // The timer tick finds it (reading slot 2 need not fault: it may still be inside the file).
    EXPECT_FALSE(PlotData_CheckMapping(&pd));
    T_PlotDataRecord got;
    ASSERT_TRUE(PlotData_GetRecord(&pd, 2, &got));
    EXPECT_EQ(pd.State, PLOT_STATE_MEMORY);
    EXPECT_TRUE(Logged("The plot file shrank to " + std::to_string(c.size) + " bytes while in use"));
    EXPECT_EQ(pd.Header.MaxRecords, 100u);
    EXPECT_EQ(pd.Header.WriteIndex, 5u);
    EXPECT_EQ(pd.Header.HighestIndex, 5u);
    EXPECT_EQ(pd.RecordStride, stride);
    EXPECT_EQ(got.Time, c.keptRecords > 2 ? 1.0e9 + 2 : 0.0);
    EXPECT_EQ(got.Channel[1].Max, c.keptRecords > 2 ? 2.5 : 0.0);
    ASSERT_TRUE(PlotData_GetRecord(&pd, 4, &got));
    EXPECT_EQ(got.Time, c.keptRecords > 4 ? 1.0e9 + 4 : 0.0);

    const T_PlotDataRecord r = Sample(6);
    EXPECT_TRUE(PlotData_StoreRecord(&pd, &r));
    ASSERT_TRUE(PlotData_GetRecord(&pd, 6, &got));
    EXPECT_EQ(got.Time, 1.0e9 + 6);
    EXPECT_EQ(lines.size(), 1u);  // reported once
    PlotData_CloseFile(&pd);
    PlotData_FreeMemory(&pd);
    EXPECT_EQ(pd.State, PLOT_STATE_CLOSED);
    EXPECT_EQ(std::filesystem::file_size(path), static_cast<uintmax_t>(c.size));
  }
  // Stores and closes check as well, not only reads.
  const std::string path = dir.file("store.tmp");
  ASSERT_TRUE(PlotData_OpenFile(&pd, &wl, path.c_str(), 100, 2, 1));
  const T_PlotDataRecord r = Sample(1);
  ASSERT_TRUE(PlotData_StoreRecord(&pd, &r));
  ASSERT_EQ(truncate(path.c_str(), 0), 0);
  EXPECT_TRUE(PlotData_StoreRecord(&pd, &r));
  EXPECT_EQ(pd.State, PLOT_STATE_MEMORY);
  PlotData_FreeMemory(&pd);
  ASSERT_TRUE(PlotData_OpenFile(&pd, &wl, path.c_str(), 100, 2, 1));
  ASSERT_TRUE(PlotData_StoreRecord(&pd, &r));
  ASSERT_EQ(truncate(path.c_str(), 40), 0);
  PlotData_CloseFile(&pd);
  EXPECT_EQ(pd.State, PLOT_STATE_CLOSED);
  EXPECT_EQ(std::filesystem::file_size(path), 40u);
}

// Storing and reading records costs no system call: the size of the file is checked at open, on
// a fault and by the caller's timer tick (PlotData_CheckMapping), never per record. A file cut
// short where no record access faults goes on being written until the tick finds it shorter;
// then the history goes on in memory with every record stored so far, reported as before.
TEST_F(PlotDataTest, RecordsAreStoredWithoutASizeCheckTheTickFindsTheFileCutShort)
{
  const std::string path = dir.file("p.tmp");
  ASSERT_TRUE(PlotData_OpenFile(&pd, &wl, path.c_str(), 2000, 2, 1));
  const uint32_t dataOffset = 96 + 200 * 2 + 1024;
  const uint32_t stride = 8 + 24 * 2;
  const off_t full = static_cast<off_t>(std::filesystem::file_size(path));
  // The file is sized for 20-channel records: the cut leaves the header and every record of 2
  // channels inside the file, so no access faults.
  const off_t cut = full - 100;
  ASSERT_EQ(truncate(path.c_str(), cut), 0);
  lines.clear();

  const long long checks = PlotData_SizeChecks();
  for (int i = 1; i <= 1000; ++i) {
    const T_PlotDataRecord r = Sample(i);
    ASSERT_TRUE(PlotData_StoreRecord(&pd, &r));
    ASSERT_TRUE(PlotData_PutRecord(&pd, i, &r));
    T_PlotDataRecord got;
    ASSERT_TRUE(PlotData_GetRecord(&pd, PlotData_IndexFromAge(&pd, 0), &got));
    ASSERT_EQ(got.Time, r.Time);
  }
  EXPECT_EQ(PlotData_SizeChecks(), checks);
  EXPECT_EQ(pd.State, PLOT_STATE_FILE);
  EXPECT_TRUE(lines.empty());
  const std::string bytes = vt_test::ReadWholeFile(path);
  ASSERT_EQ(bytes.size(), static_cast<size_t>(cut));
  EXPECT_EQ(U32At(bytes, 92), 1000u);
  EXPECT_EQ(DoubleAt(bytes, dataOffset + 1000 * stride), 1.0e9 + 1000);

  // The tick: one size check, and the history goes on in memory with all of it.
  EXPECT_FALSE(PlotData_CheckMapping(&pd));
  EXPECT_EQ(PlotData_SizeChecks(), checks + 1);
  EXPECT_EQ(pd.State, PLOT_STATE_MEMORY);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(Logged("The plot file shrank to " + std::to_string(cut) + " bytes while in use")) << lines[0];
  EXPECT_TRUE(Logged("(2000 records kept)")) << lines[0];
  EXPECT_EQ(pd.Header.WriteIndex, 1000u);
  for (int i = 1; i <= 1000; ++i) {
    T_PlotDataRecord got;
    ASSERT_TRUE(PlotData_GetRecord(&pd, i, &got));
    EXPECT_EQ(got.Time, 1.0e9 + i);
    EXPECT_EQ(got.Channel[1].Max, i + 0.5);
  }
  EXPECT_TRUE(PlotData_CheckMapping(&pd));  // in memory: nothing to check
  EXPECT_EQ(PlotData_SizeChecks(), checks + 1);
}

// A file cut short where the next access faults needs no tick: the guard catches the fault, the
// size is checked then, and it is reported with the file's new size as by the tick.
TEST_F(PlotDataTest, AFileCutShortIsCaughtByTheFaultOfTheNextAccess)
{
  struct Case {
    const char* what;
    int access;  // 0 store, 1 put, 2 get
  } cases[] = {{"store", 0}, {"put", 1}, {"get", 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.file(std::string(c.what) + ".tmp");
    ASSERT_TRUE(PlotData_OpenFile(&pd, &wl, path.c_str(), 100, 2, 1));
    for (int i = 1; i <= 5; ++i) {
      const T_PlotDataRecord r = Sample(i);
      ASSERT_TRUE(PlotData_StoreRecord(&pd, &r));
    }
    ASSERT_EQ(truncate(path.c_str(), 0), 0);
    lines.clear();
    const long long checks = PlotData_SizeChecks();
    const T_PlotDataRecord r = Sample(6);
    T_PlotDataRecord got;
    bool ok = false;
    if (c.access == 0) ok = PlotData_StoreRecord(&pd, &r);
    if (c.access == 1) ok = PlotData_PutRecord(&pd, 6, &r);
    if (c.access == 2) ok = PlotData_GetRecord(&pd, 3, &got);
    EXPECT_TRUE(ok);
    EXPECT_EQ(pd.State, PLOT_STATE_MEMORY);
    EXPECT_EQ(PlotData_SizeChecks(), checks + 1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(Logged("The plot file shrank to 0 bytes while in use; the plot history goes on in memory (0 records kept).")) << lines[0];
    if (c.access != 2) {
      ASSERT_TRUE(PlotData_GetRecord(&pd, 6, &got));
      EXPECT_EQ(got.Time, 1.0e9 + 6);
    }
    PlotData_FreeMemory(&pd);
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
  }
}

// Another program cuts the plot file short and restores it, over and over, while records are
// stored and read: whatever the moment (also between the size check and the access), no access
// faults. The history goes on in memory with its ring, reported once, and what is stored from
// then on reads back. Many rounds, each with a fresh file, so that the cut falls into every
// window at least once.
TEST_F(PlotDataTest, FileCutShortAndRestoredWhileRecordsAreStoredNeverFaults)
{
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    const std::string path = dir.file("race" + std::to_string(round) + ".tmp");
    ASSERT_TRUE(PlotData_OpenFile(&pd, &wl, path.c_str(), 100, 2, 1));
    const off_t full = static_cast<off_t>(std::filesystem::file_size(path));
    const int other = open(path.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(other, 0);
    lines.clear();
    std::atomic<bool> stop{false};
    std::thread cutter([&stop, other, full] {
      while (!stop.load()) {
        if (ftruncate(other, 0) != 0 || ftruncate(other, full) != 0) break;
      }
    });
    uint32_t stored = 0;
    for (int i = 0; i < 200000 && pd.State == PLOT_STATE_FILE; ++i) {
      const T_PlotDataRecord r = Sample(i + 1);
      PlotData_StoreRecord(&pd, &r);
      ++stored;
      T_PlotDataRecord got;
      PlotData_GetRecord(&pd, static_cast<int>(pd.Header.WriteIndex), &got);
      PlotData_GetRecord(&pd, PlotData_IndexFromAge(&pd, 50), &got);
    }
    stop = true;
    cutter.join();
    close(other);

    ASSERT_EQ(pd.State, PLOT_STATE_MEMORY);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].find("while in use; the plot history goes on in memory") != std::string::npos)
        << lines[0];
    EXPECT_EQ(pd.Header.MaxRecords, 100u);
    EXPECT_EQ(pd.Header.WriteIndex, stored % 100);
    for (int k = 1; k <= 120; ++k) {
      const T_PlotDataRecord r = Sample(1000 + k);
      ASSERT_TRUE(PlotData_StoreRecord(&pd, &r));
      T_PlotDataRecord got;
      ASSERT_TRUE(PlotData_GetRecord(&pd, static_cast<int>(pd.Header.WriteIndex), &got));
      EXPECT_EQ(got.Time, r.Time);
      EXPECT_EQ(got.Channel[1].Max, r.Channel[1].Max);
    }
    EXPECT_EQ(pd.Header.WriteIndex, (stored + 120) % 100);
    EXPECT_EQ(pd.Header.HighestIndex, 99u);
    PlotData_FreeMemory(&pd);
  }
}

}  // namespace

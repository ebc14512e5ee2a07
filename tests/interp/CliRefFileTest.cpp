// The reference-spectrum file: exact text written, read back, and hostile input.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "CliFixture.h"
#include "common/TestUtil.h"

namespace {

std::unique_ptr<SpectrumBuffer> NewSpectrum()
{
  auto sb = std::make_unique<SpectrumBuffer>();
  CLI_InitSpectrumBuffer(sb.get());
  return sb;
}

}  // namespace

TEST_F(CliTest, ReferenceFileIsWrittenExactlyAndReadBack)
{
  vt_test::TempDir dir;
  const std::string path = dir.file("ref1.ref");
  auto sb = NewSpectrum();
  sb->time = 1765375200.25;
  sb->bin_width_hz = 10.7666015625;
  sb->offset_hz = -2756.25;
  sb->nr_of_bins = 4;
  sb->scale_unit = 4;
  sb->scale_factor = 0.01;
  sb->scale_offset = -3.5;
  sb->avrg_count = 7;
  sb->bins[0] = -32768;
  sb->bins[1] = 32767;
  sb->bins[2] = 0;
  sb->bins[3] = -12;
  sb->bins[4] = 555;  // beyond nr_of_bins: not written
  ASSERT_TRUE(CLI_SaveSpectrumFile(path.c_str(), sb.get()));
  const std::string expected =
      "; Saved by Vartumo\r\n"
      "; Original filename: \"" + path + "\"\r\n"
      "time=1765375200.250000\r\n"
      "bin_width_hz=10.766602\r\n"
      "offset_hz=-2756.250000\r\n"
      "nr_of_bins=4\r\n"
      "scale_unit=4\r\n"
      "scale_factor=0.010000\r\n"
      "scale_offset=-3.500000\r\n"
      "avrg_count=7\r\n"
      "array=\r\n"
      "-32768\r\n"
      "32767\r\n"
      "0\r\n"
      "-12\r\n"
      "end\r\n";
  EXPECT_EQ(vt_test::ReadWholeFile(path), expected);

  auto back = NewSpectrum();
  back->bins[4] = 99;
  ASSERT_TRUE(CLI_LoadSpectrumFile(path.c_str(), back.get()));
  EXPECT_EQ(back->structSize, 65600);
  EXPECT_EQ(back->time, 1765375200.25);
  EXPECT_NEAR(back->bin_width_hz, 10.7666015625, 5e-7);  // six decimals
  EXPECT_EQ(back->offset_hz, -2756.25);
  EXPECT_EQ(back->nr_of_bins, 4);
  EXPECT_EQ(back->scale_unit, 4);
  EXPECT_EQ(back->scale_factor, 0.01);
  EXPECT_EQ(back->scale_offset, -3.5);
  EXPECT_EQ(back->avrg_count, 7);
  EXPECT_EQ(back->bins[0], -32768);
  EXPECT_EQ(back->bins[1], 32767);
  EXPECT_EQ(back->bins[2], 0);
  EXPECT_EQ(back->bins[3], -12);
  EXPECT_EQ(back->bins[4], 99);  // not read
}

TEST_F(CliTest, ReferenceFileFullSizeRoundTrip)
{
  vt_test::TempDir dir;
  const std::string path = dir.file("full.ref");
  auto sb = NewSpectrum();
  sb->nr_of_bins = SPECTRUM_MAX_BINS;
  sb->bin_width_hz = 0.5;
  for (int i = 0; i < SPECTRUM_MAX_BINS; ++i) sb->bins[i] = static_cast<int16_t>(i * 7919 % 65536 - 32768);
  ASSERT_TRUE(CLI_SaveSpectrumFile(path.c_str(), sb.get()));
  auto back = NewSpectrum();
  ASSERT_TRUE(CLI_LoadSpectrumFile(path.c_str(), back.get()));
  EXPECT_EQ(std::memcmp(back.get(), sb.get(), sizeof(SpectrumBuffer)), 0);
}

TEST_F(CliTest, ReferenceFileReadingRules)
{
  vt_test::TempDir dir;
  const struct {
    const char* name;
    std::string text;
    int nrOfBins;
    double time;
    double width;
    std::vector<int> bins;  // expected first bins
  } table[] = {
      // LF-only lines read like CR LF ones.
      {"lf", "time=5\nbin_width_hz=2.5\nnr_of_bins=3\narray=\n1\n-2\n3\nend\n", 3, 5, 2.5, {1, -2, 3, 0}},
      // A blank between key and '=' makes the value 0; comments and unknown lines are ignored.
      {"blank", "; comment\ntime =5\nfoo=3\nTIME=7\nnr_of_bins=2\narray\n4\n5\n", 2, 0, 1.0, {4, 5, 0}},
      // Number syntax of the interpreter; empty bin lines leave the bin alone.
      {"syntax", "nr_of_bins=$4\r\narray=\r\n$10\r\n\r\n%11\r\n -7.9\r\n", 4, 0, 1.0, {16, 0, 3, -7}},
      // Oversized bin counts are clamped to the record, bins to 16 bits.
      {"clamp", "nr_of_bins=99999\narray=\n40000\n-99999\n1e30\n", 32768, 0, 1.0, {32767, -32768, 32767, 0}},
      {"negative", "nr_of_bins=-20\narray=\n5\n", 0, 0, 1.0, {0}},
      // Fewer bins than announced: the file just ends ("end" reads as 0).
      {"short", "nr_of_bins=5\narray=\n9\n8\nend\n", 5, 0, 1.0, {9, 8, 0, 0}},
      // No "array" line: only the header is taken.
      {"noarray", "time=12\nnr_of_bins=2\n5\n6\n", 2, 12, 1.0, {0, 0}},
      // Ten empty lines end the header before "array".
      {"empty10", "time=1\n\n\n\n\n\n\n\n\n\n\ntime=2\narray=\n5\n", 0, 1, 1.0, {0}},
      {"empty9", "time=1\n\n\n\n\n\n\n\n\n\ntime=2\nnr_of_bins=1\narray=\n5\n", 1, 2, 1.0, {5}},
      // A line longer than 299 characters continues as the next line.
      {"long", "nr_of_bins=1\n; " + std::string(297, 'x') + "array=\n7\n", 1, 0, 1.0, {7}},
  };
  for (const auto& t : table) {
    SCOPED_TRACE(t.name);
    const std::string path = dir.file(std::string(t.name) + ".ref");
    vt_test::WriteWholeFile(path, t.text);
    auto sb = NewSpectrum();
    ASSERT_TRUE(CLI_LoadSpectrumFile(path.c_str(), sb.get()));
    EXPECT_EQ(sb->nr_of_bins, t.nrOfBins);
    EXPECT_EQ(sb->time, t.time);
    EXPECT_EQ(sb->bin_width_hz, t.width);
    for (size_t i = 0; i < t.bins.size(); ++i) {
      EXPECT_EQ(sb->bins[i], t.bins[i]) << i;
    }
  }
}

TEST_F(CliTest, ReferenceFileFailures)
{
  vt_test::TempDir dir;
  auto sb = NewSpectrum();
  sb->time = 42;
  EXPECT_FALSE(CLI_LoadSpectrumFile(dir.file("missing.ref").c_str(), sb.get()));
  EXPECT_EQ(sb->time, 42);  // unchanged
  EXPECT_FALSE(CLI_SaveSpectrumFile(dir.file("no/such/dir/x.ref").c_str(), sb.get()));
  EXPECT_FALSE(CLI_LoadSpectrumFile(nullptr, sb.get()));
  // A full device: the write fails and is reported, not taken as saved.
  if (access("/dev/full", W_OK) == 0) {
    EXPECT_FALSE(CLI_SaveSpectrumFile("/dev/full", sb.get()));
  }
}

TEST_F(CliTest, BufferedReaderLines)
{
  vt_test::TempDir dir;
  const std::string path = dir.file("lines.txt");
  vt_test::WriteWholeFile(path, std::string("ab\r\ncd\nef\rgh\r\n\r\n\x01z") + std::string(600, 'q'));
  CliFileReader rd;
  CLI_FileReaderInit(&rd);
  char line[11];
  EXPECT_EQ(CLI_FileReadLine(&rd, 10, line), -1);  // no file
  rd.handle = open(path.c_str(), O_RDONLY);
  ASSERT_GE(rd.handle, 0);
  std::vector<std::string> lines;
  for (int n; (n = CLI_FileReadLine(&rd, 10, line)) > 0 || !rd.eof;) lines.emplace_back(line, n);
  close(rd.handle);
  ASSERT_GE(lines.size(), 7u);
  EXPECT_EQ(lines[0], "ab");
  EXPECT_EQ(lines[1], "cd");
  EXPECT_EQ(lines[2], "ef");
  EXPECT_EQ(lines[3], "gh");
  EXPECT_EQ(lines[4], "");
  EXPECT_EQ(lines[5], "\x01zqqqqqqqq");  // control characters are kept; 10 per line
  std::string rest;
  for (size_t i = 6; i < lines.size(); ++i) {
    EXPECT_LE(lines[i].size(), 10u);
    rest += lines[i];
  }
  EXPECT_EQ(rest, std::string(592, 'q'));
  EXPECT_EQ(CLI_WriteString(-1, "x"), 0);
}

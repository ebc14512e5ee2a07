// The wave-file object: files it writes are checked with sox's soxi, files sox makes are read
// back sample-exact, and hand-made files cover the chunk walk and the refused headers.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/TestUtil.h"
#include "engine/C_WaveIO.h"

namespace {

using vt_test::WriteWholeFile;

std::string Le16(unsigned v) { return std::string{char(v & 0xFF), char((v >> 8) & 0xFF)}; }
std::string Le32(uint32_t v) {
  return std::string{char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char((v >> 24) & 0xFF)};
}
// One chunk; `declared` overrides the size field; an odd chunk gets its pad byte.
std::string Chunk(const std::string& id, const std::string& payload, int64_t declared = -1, bool pad = true) {
  std::string c = id + Le32(declared >= 0 ? uint32_t(declared) : uint32_t(payload.size())) + payload;
  if (pad && payload.size() % 2) c += '\0';
  return c;
}
std::string Fmt(unsigned tag, unsigned channels, uint32_t rate, unsigned blockAlign, unsigned bits) {
  return Le16(tag) + Le16(channels) + Le32(rate) + Le32(rate * blockAlign) + Le16(blockAlign) + Le16(bits);
}
std::string Riff(const std::string& body, const char* form = "WAVE") {
  return "RIFF" + Le32(uint32_t(body.size() + 4)) + form + body;
}
std::string Pcm16(const std::vector<int16_t>& v) {
  std::string s;
  for (int16_t x : v) s += Le16(uint16_t(x));
  return s;
}

// Output of a shell command (sox's tools), trailing white space removed.
std::string Shell(const std::string& cmd) {
  std::string out;
  FILE* p = popen((cmd + " 2>&1").c_str(), "r");
  if (!p) return "popen failed";
  char buf[256];
  while (fgets(buf, sizeof buf, p)) out += buf;
  int rc = pclose(p);
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  if (rc != 0) out = "exit " + std::to_string(rc) + ": " + out;
  return out;
}

uint32_t Field32(const std::string& bytes, size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

}  // namespace

TEST(C_WaveIO, WrittenFilesAreWhatSoxSeesAndReadBackExactly) {
  vt_test::TempDir dir;
  struct Case {
    int bits, channels;
    double rate;
    uint32_t headerRate;
    int frames;
  } cases[] = {
      {16, 2, 44100, 44100, 1000},  // data 4,000, RIFF size 4,036, length 4,044
      {16, 2, 48000, 48000, 0},     // empty: 44 bytes, RIFF size 36
      {16, 1, 192000, 192000, 777},
      {8, 1, 8000, 8000, 1001},     // odd data chunk: followed by a pad byte
      {8, 2, 44100.4, 44100, 300},
      {16, 1, 5512, 5512, 64},
      // The header holds whole Hz: the nearest, ties to the even one (11,025 / 2 is "5512").
      {16, 1, 5512.5, 5512, 64},
      {16, 1, 5513.5, 5514, 64},
      {16, 1, 11025.6, 11026, 64},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bit " << c.channels << " ch " << c.rate << " Hz");
    const std::string file = dir.file("w.wav");
    const int blockAlign = c.channels * c.bits / 8;
    std::string data;
    for (int i = 0; i < c.frames * blockAlign; ++i) data += char((i * 37 + 11) & 0xFF);
    C_WaveIO w;
    ASSERT_EQ(w.OutOpen(file.c_str(), C_WaveIO::FORMAT_RIFF, c.bits, c.channels, c.rate), 1);
    // In uneven pieces, whole frames each.
    size_t at = 0;
    for (int piece = 1; at < data.size(); ++piece) {
      size_t n = std::min(data.size() - at, size_t(piece * 7 * blockAlign));
      ASSERT_EQ(w.WriteSamples(data.data() + at, int(n)), int(n / blockAlign));
      at += n;
    }
    ASSERT_EQ(w.CloseFile(), 1);

    const std::string bytes = vt_test::ReadWholeFile(file);
    const size_t pad = data.size() % 2;
    ASSERT_EQ(bytes.size(), 44 + data.size() + pad);
    EXPECT_EQ(Field32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(Field32(bytes, 40), data.size());
    EXPECT_EQ(Field32(bytes, 24), c.headerRate);

    EXPECT_EQ(Shell("soxi -r '" + file + "'"), std::to_string(c.headerRate));
    EXPECT_EQ(Shell("soxi -c '" + file + "'"), std::to_string(c.channels));
    EXPECT_EQ(Shell("soxi -b '" + file + "'"), std::to_string(c.bits));
    EXPECT_EQ(Shell("soxi -s '" + file + "'"), std::to_string(c.frames));
    EXPECT_NE(Shell("sox --i '" + file + "'").find(c.bits == 8 ? "Unsigned Integer PCM" : "Signed Integer PCM"),
              std::string::npos);

    C_WaveIO r;
    ASSERT_EQ(r.InOpen(file.c_str()), 1) << r.GetErrorText();
    EXPECT_EQ(r.GetSampleRate(), c.headerRate);
    EXPECT_EQ(r.GetNrChannels(), c.channels);
    EXPECT_EQ(r.GetBitsPerSample(), c.bits);
    EXPECT_EQ(r.GetDataSize(), int64_t(data.size()));
    std::string back(data.size() + 100, '\0');
    int got = data.empty() ? -1 : r.ReadRawBlocks(back.data(), int(back.size()));
    EXPECT_EQ(got, data.empty() ? -1 : c.frames);
    back.resize(data.size());
    EXPECT_EQ(back, data) << "written and read back differ";
    EXPECT_EQ(r.ReadRawBlocks(back.data(), 16), -1) << "the pad byte is not a sample";
    r.CloseFile();
  }
}

TEST(C_WaveIO, RawFilesHoldOnlyTheSamples) {
  vt_test::TempDir dir;
  C_WaveIO w;
  const std::string file = dir.file("w.raw");
  ASSERT_EQ(w.OutOpen(file.c_str(), C_WaveIO::FORMAT_RAW, 16, 2, 11025), 1);
  std::vector<int16_t> v(4000);
  for (size_t i = 0; i < v.size(); ++i) v[i] = int16_t(i * 13 - 20000);
  EXPECT_EQ(w.WriteSamples(v.data(), 8000), 2000);
  EXPECT_EQ(w.GetCurrentFileOffset(), 8000);
  EXPECT_EQ(w.CloseFile(), 1);
  EXPECT_EQ(vt_test::ReadWholeFile(file), Pcm16(v));
}

TEST(C_WaveIO, SoxMadeFilesReadBackSampleExact) {
  vt_test::TempDir dir;
  struct Case {
    int bits, channels, rate;
  } cases[] = {{16, 1, 8000}, {16, 2, 48000}, {8, 1, 11025}, {8, 2, 44100}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bit " << c.channels << " ch");
    const std::string wav = dir.file("s.wav"), raw = dir.file("s.raw");
    const std::string enc = c.bits == 16 ? "signed-integer" : "unsigned-integer";
    std::string synth = " synth 0.2 sine 440";
    if (c.channels == 2) synth += " sine 1234";
    ASSERT_EQ(Shell("sox -D -n -r " + std::to_string(c.rate) + " -c " + std::to_string(c.channels) +
                  " -b " + std::to_string(c.bits) + " -e " + enc + " '" + wav + "'" + synth + " gain -0.5"), "");
    ASSERT_EQ(Shell("sox -D '" + wav + "' -t raw '" + raw + "'"), "");
    const std::string samples = vt_test::ReadWholeFile(raw);
    const int blockAlign = c.channels * c.bits / 8;
    const int frames = int(samples.size()) / blockAlign;
    ASSERT_GT(frames, 1000);

    C_WaveIO r;
    ASSERT_EQ(r.InOpen(wav.c_str()), 1) << r.GetErrorText();
    EXPECT_EQ(r.GetSampleRate(), c.rate);
    for (int ch = 0; ch < c.channels; ++ch) {
      ASSERT_EQ(r.WindToSampleIndex(0), 1);
      std::vector<double> got;
      std::vector<double> block(1000);
      int n;
      while ((n = r.ReadSampleBlocks(ch, 1000, block.data())) > 0) got.insert(got.end(), block.begin(), block.begin() + n);
      ASSERT_EQ(int(got.size()), frames);
      for (int i = 0; i < frames; ++i) {
        const auto* p = reinterpret_cast<const unsigned char*>(samples.data()) + i * blockAlign;
        double expect = c.bits == 16 ? double(int16_t(p[2 * ch] | (p[2 * ch + 1] << 8)))
                                     : (double(p[ch]) - 127.0) * 258.00787401574803;
        ASSERT_EQ(got[i], expect) << "frame " << i;
      }
    }
  }
}

TEST(C_WaveIO, ChunkWalkAndSampleConversion) {
  vt_test::TempDir dir;
  const std::string file = dir.file("c.wav");
  const std::string fmt16m = Chunk("fmt ", Fmt(1, 1, 8000, 2, 16));
  const std::vector<int16_t> v = {100, -200, 300, -32768, 32767};

  // An 18-byte format chunk (cbSize) and an odd-sized LIST chunk with its pad byte before the
  // data; a chunk after the data is never read as samples.
  std::string odd = "INFOISFT" + Le32(5) + "abcde";  // 17 bytes
  WriteWholeFile(file, Riff(Chunk("fmt ", Fmt(1, 1, 8000, 2, 16) + Le16(0)) + Chunk("LIST", odd) +
                            Chunk("data", Pcm16(v)) + Chunk("LIST", "trailing chunk bytes")));
  C_WaveIO r;
  ASSERT_EQ(r.InOpen(file.c_str()), 1) << r.GetErrorText();
  EXPECT_EQ(r.GetDataSize(), 10);
  double d[16];
  EXPECT_EQ(r.ReadSampleBlocks(1, 16, d), 5) << "a channel the file lacks reads channel 0";
  for (int i = 0; i < 5; ++i) EXPECT_EQ(d[i], v[i]);
  EXPECT_EQ(r.ReadSampleBlocks(0, 16, d), -1);
  EXPECT_EQ(r.GetCurrentSampleIndex(), 5);
  EXPECT_EQ(r.WindToSampleIndex(5), 0) << "the position equal to the data size is refused";
  EXPECT_EQ(r.WindToSampleIndex(-1), 0);
  EXPECT_EQ(r.WindToSampleIndex(3), 1);
  EXPECT_EQ(r.GetCurrentSampleIndex(), 3);
  EXPECT_EQ(r.ReadSampleBlocks(0, 16, d), 2);
  EXPECT_EQ(d[0], -32768);
  EXPECT_EQ(d[1], 32767);
  r.CloseFile();
  EXPECT_EQ(r.GetCurrentSampleIndex(), -1);

  // 8 bit: zero point 127.
  WriteWholeFile(file, Riff(Chunk("fmt ", Fmt(1, 2, 8000, 2, 8)) + Chunk("data", std::string{char(127), char(128), char(0), char(255)})));
  ASSERT_EQ(r.InOpen(file.c_str()), 1);
  EXPECT_EQ(r.ReadSampleBlocks(0, 4, d), 2);
  EXPECT_EQ(d[0], 0.0);
  EXPECT_EQ(d[1], -32767.0);
  ASSERT_EQ(r.WindToSampleIndex(0), 1);
  EXPECT_EQ(r.ReadSampleBlocks(1, 4, d), 2);
  EXPECT_EQ(d[0], 258.00787401574803);
  EXPECT_EQ(d[1], 128 * 258.00787401574803);  // about 33,025

  // A 16-bit file whose header declares block align 1 reads with channels x 2.
  WriteWholeFile(file, Riff(Chunk("fmt ", Fmt(1, 2, 8000, 1, 16)) + Chunk("data", Pcm16({1, 2, 3, 4}))));
  ASSERT_EQ(r.InOpen(file.c_str()), 1);
  EXPECT_EQ(r.ReadSampleBlocks(1, 4, d), 2);
  EXPECT_EQ(d[0], 2);
  EXPECT_EQ(d[1], 4);

  // Frames shorter than the channel count needs (stereo, block align 2) are refused.
  WriteWholeFile(file, Riff(Chunk("fmt ", Fmt(1, 2, 8000, 2, 16)) + Chunk("data", Pcm16({7, 8, 9}))));
  EXPECT_EQ(r.InOpen(file.c_str()), 0);
  EXPECT_STREQ(r.GetErrorText(), "bad BlockAlign");
  EXPECT_EQ(r.ReadSampleBlocks(1, 4, d), -1);
  r.CloseFile();
}

// The block align must be channels x whole bytes per sample: readers step from frame to frame
// by it but find channel c at c x bytes per sample, so any other value makes them read the
// wrong samples or beyond the frame (and beyond the buffer on the last one).
TEST(C_WaveIO, BlockAlignMustMatchChannelsAndBits) {
  vt_test::TempDir dir;
  const std::string data = Chunk("data", Pcm16({1, 2, 3, 4, 5, 6, 7, 8}));  // 16 bytes
  const struct {
    unsigned channels, bits, blockAlign;
    int frames;  // frames of the 16 data bytes; 0: refused with "bad BlockAlign"
  } cases[] = {
      {2, 16, 2, 0},  // half a frame: channel 1 lies beyond it
      {2, 16, 3, 0},
      {1, 16, 4, 0},  // every other sample skipped
      {1, 16, 3, 0},
      {2, 8, 1, 0},
      {2, 8, 3, 0},
      {2, 8, 4, 0},
      {1, 8, 2, 0},
      {1, 12, 1, 0},  // 12 bits take 2 bytes
      {2, 0, 2, 0},   // no bits: no frame size
      {1, 0, 1, 0},
      {2, 16, 4, 4},
      {1, 16, 2, 8},
      {2, 8, 2, 8},
      {1, 8, 1, 16},
      {2, 12, 4, 4},
      {2, 16, 1, 4},  // 16 bits with block align 1: taken as channels x 2
      {1, 16, 1, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.channels << " channels, " << c.bits << " bits, block align "
                                    << c.blockAlign);
    const std::string file = dir.file("align.wav");
    WriteWholeFile(file, Riff(Chunk("fmt ", Fmt(1, c.channels, 8000, c.blockAlign, c.bits)) + data));
    C_WaveIO r;
    const int opened = r.InOpen(file.c_str());
    if (c.frames == 0) {
      EXPECT_EQ(opened, 0);
      EXPECT_STREQ(r.GetErrorText(), "bad BlockAlign");
      EXPECT_FALSE(r.IsOpenForRead());
      continue;
    }
    ASSERT_EQ(opened, 1) << r.GetErrorText();
    std::vector<char> buf(64);
    EXPECT_EQ(r.ReadRawBlocks(buf.data(), 64), c.frames);
    r.CloseFile();
  }
}

TEST(C_WaveIO, BrokenFilesGiveTheirErrorText) {
  vt_test::TempDir dir;
  const std::string fmt = Chunk("fmt ", Fmt(1, 2, 44100, 4, 16));
  const std::string data = Chunk("data", Pcm16({1, 2, 3, 4}));
  struct Case {
    const char* what;
    std::string bytes;
    const char* error;  // nullptr: opens
    int frames;         // frames readable when it opens
  } cases[] = {
      {"empty file", "", "bad header size", 0},
      {"cut inside the RIFF header", std::string("RIFF\x10\0\0\0WA", 10), "bad header size", 0},
      {"not RIFF", "RIFX" + Le32(40) + "WAVE" + fmt + data, "no RIFF id", 0},
      {"not WAVE", Riff(fmt + data, "AVI "), "no WAVE id", 0},
      {"neither: the later message wins", "RIFX" + Le32(40) + "AVI " + fmt + data, "no WAVE id", 0},
      {"cut inside a chunk header", Riff(fmt + "da"), "bad header size", 0},
      {"no data chunk", Riff(fmt), "bad header size", 0},
      {"cut inside the format", Riff(std::string("fmt ") + Le32(16) + "\1\0\2\0"), "other 'open' error", 0},
      {"chunk larger than the file", Riff(fmt + Chunk("LIST", "ab", 1000000) + data), "bad header size", 0},
      {"short format chunk is skipped", Riff(Chunk("fmt ", "abcd") + data), "bad BlockAlign", 0},
      {"float samples", Riff(Chunk("fmt ", Fmt(3, 2, 44100, 8, 32)) + data), "bad BitsPerSample", 0},
      {"format tag 2", Riff(Chunk("fmt ", Fmt(2, 2, 44100, 4, 16)) + data), "bad FormatTag", 0},
      {"3 channels", Riff(Chunk("fmt ", Fmt(1, 3, 44100, 4, 16)) + data), "bad NrChannels", 0},
      {"rate 0", Riff(Chunk("fmt ", Fmt(1, 2, 0, 4, 16)) + data), "bad SamplesRate", 0},
      {"rate above 192 kHz", Riff(Chunk("fmt ", Fmt(1, 2, 192001, 4, 16)) + data), "bad SamplesRate", 0},
      {"block align 0", Riff(Chunk("fmt ", Fmt(1, 2, 44100, 0, 16)) + data), "bad BlockAlign", 0},
      {"block align 6", Riff(Chunk("fmt ", Fmt(1, 2, 44100, 6, 24)) + data), "bad BitsPerSample", 0},
      {"24 bits", Riff(Chunk("fmt ", Fmt(1, 2, 44100, 4, 24)) + data), "bad BitsPerSample", 0},
      {"3 channels and 24 bits: last check wins", Riff(Chunk("fmt ", Fmt(1, 3, 44100, 4, 24)) + data), "bad BitsPerSample", 0},
      {"48 kHz is read", Riff(Chunk("fmt ", Fmt(1, 2, 48000, 4, 16)) + data), nullptr, 2},
      {"192 kHz is read", Riff(Chunk("fmt ", Fmt(1, 2, 192000, 4, 16)) + data), nullptr, 2},
      {"data chunk cut short", Riff(fmt + Chunk("data", Pcm16({1, 2, 3, 4, 5}), 4000, false)), nullptr, 2},
      {"data chunk cut inside its header", Riff(fmt + "data" + Le32(100).substr(0, 2)), "bad header size", 0},
      {"empty data chunk", Riff(fmt + Chunk("data", "")), nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = dir.file("b.wav");
    WriteWholeFile(file, c.bytes);
    C_WaveIO r;
    const int opened = r.InOpen(file.c_str());
    if (!c.error) {
      ASSERT_EQ(opened, 1) << r.GetErrorText();
      std::vector<char> buf(64);
      int frames = 0, n;
      while ((n = r.ReadRawBlocks(buf.data(), 64)) > 0) frames += n;
      EXPECT_EQ(frames, c.frames);
      EXPECT_EQ(r.ReadRawBlocks(buf.data(), 64), -1);
      r.CloseFile();
    } else {
      EXPECT_EQ(opened, 0);
      EXPECT_STREQ(r.GetErrorText(), c.error);
      EXPECT_FALSE(r.IsOpenForRead());
      EXPECT_EQ(r.FileHandle, -1);
    }
  }
  C_WaveIO r;
  EXPECT_EQ(r.InOpen(dir.file("missing.wav").c_str()), 0);
  EXPECT_STREQ(r.GetErrorText(), "_open failed");
  double d[4];
  EXPECT_EQ(r.ReadSampleBlocks(0, 4, d), -1);
  EXPECT_EQ(r.CloseFile(), 0);
}

TEST(C_WaveIO, RefusedWriteParametersCreateNoFile) {
  vt_test::TempDir dir;
  struct Case {
    int format, bits, channels;
    double rate;
  } cases[] = {{2, 24, 2, 44100}, {2, 16, 3, 44100}, {2, 16, 0, 44100}, {2, 16, 2, 192000.5},
               {2, 16, 2, 0.4},   {3, 16, 2, 44100}, {0, 8, 1, 8000},     {1, 12, 1, 8000},
               {2, 16, 2, -1},    {2, 16, 2, 1e300}};
  for (const Case& c : cases) {
    const std::string file = dir.file("r.wav");
    C_WaveIO w;
    EXPECT_EQ(w.OutOpen(file.c_str(), c.format, c.bits, c.channels, c.rate), 0)
        << c.format << " " << c.bits << " " << c.channels << " " << c.rate;
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_STREQ(w.GetErrorText(), "");
  }
  C_WaveIO w;
  EXPECT_EQ(w.WriteSamples("ab", 2), -1) << "no file open";
}

TEST(C_WaveIO, RiffFileIsNotWrittenPast4GB) {
  vt_test::TempDir dir;
  const std::string file = dir.file("big.wav");
  C_WaveIO w;
  ASSERT_EQ(w.OutOpen(file.c_str(), C_WaveIO::FORMAT_RIFF, 16, 2, 48000), 1);
  ASSERT_EQ(w.WriteSamples("abcdefgh", 8), 2);
  // Pretend the file has grown to just under the limit (the sizes are 64-bit; the file itself
  // stays small).
  const int64_t limitData = 0xFFFFFFFELL - 36;  // RIFF size = data + 36, and the data even
  w.DataSize = limitData - 4;
  w.CurrentOffset = w.DataStart + w.DataSize;
  ASSERT_EQ(lseek(w.FileHandle, w.CurrentOffset, SEEK_SET), w.CurrentOffset);
  EXPECT_EQ(w.WriteSamples("abcd", 4), 1) << "up to the limit is fine";
  EXPECT_EQ(w.WriteSamples("abcd", 4), -1) << "past the limit is refused";
  EXPECT_FALSE(w.IsOpenForWrite()) << "and the file is closed with its header";
  EXPECT_EQ(w.DataSize, limitData);
  int fd = ::open(file.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  unsigned char h[44];
  ASSERT_EQ(::read(fd, h, 44), 44);
  ::close(fd);
  const std::string hs(reinterpret_cast<char*>(h), 44);
  EXPECT_EQ(Field32(hs, 4), 0xFFFFFFFEu);
  EXPECT_EQ(Field32(hs, 40), uint32_t(limitData));
  std::filesystem::remove(file);
}

TEST(C_WaveIO, FailedWritesCloseTheFile) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  C_WaveIO w;
  EXPECT_EQ(w.OutOpen("/dev/full", C_WaveIO::FORMAT_RIFF, 16, 1, 8000), 0) << "header write fails";
  EXPECT_EQ(w.FileHandle, -1);
  ASSERT_EQ(w.OutOpen("/dev/full", C_WaveIO::FORMAT_RAW, 16, 1, 8000), 1);
  EXPECT_EQ(w.WriteSamples("abcd", 4), -1);
  EXPECT_FALSE(w.IsOpenForWrite());
  EXPECT_EQ(w.FileHandle, -1);
}

TEST(C_WaveIO, EveryTruncationOfAFileOpensOrFailsCleanly) {
  vt_test::TempDir dir;
  const std::string file = dir.file("t.wav");
  std::vector<int16_t> v(20);
  for (size_t i = 0; i < v.size(); ++i) v[i] = int16_t(1000 * i + 1);
  const std::string full = Riff(Chunk("fmt ", Fmt(1, 2, 48000, 4, 16) + Le16(0)) +
                                Chunk("LIST", "INFOICMT" + Le32(3) + "abc") + Chunk("data", Pcm16(v)));
  const size_t dataStart = full.size() - 40;
  for (size_t len = 0; len <= full.size(); ++len) {
    SCOPED_TRACE(len);
    WriteWholeFile(file, full.substr(0, len));
    C_WaveIO r;
    if (len < dataStart) {
      EXPECT_EQ(r.InOpen(file.c_str()), 0);
      EXPECT_STRNE(r.GetErrorText(), "");
      continue;
    }
    ASSERT_EQ(r.InOpen(file.c_str()), 1) << r.GetErrorText();
    double d[32];
    const int bytes = int(len - dataStart);
    const int expect = bytes / 4;  // whole frames that are there; a partial one reads as 0
    EXPECT_EQ(r.ReadSampleBlocks(1, 32, d), bytes == 0 ? -1 : expect);
    for (int i = 0; i < expect; ++i) EXPECT_EQ(d[i], v[2 * i + 1]);
    EXPECT_EQ(r.ReadSampleBlocks(1, 32, d), -1);
  }
}

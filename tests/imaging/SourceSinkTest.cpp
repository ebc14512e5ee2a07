// Data sources and sinks: end checks, progress, open errors, atomic file writes.
#include "ImgTestUtil.h"
#include "common/TestUtil.h"
#include "imaging/BmpEncoder.h"
#include "imaging/FileSink.h"
#include "imaging/FileSource.h"
#include "imaging/MemSource.h"
#include "imaging/WinBmp.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using img_test::CodeOf;
namespace fs = std::filesystem;

namespace {
struct Recorder : CProgressNotification {
  std::vector<double> parts;
  void OnProgress(double part) override { parts.push_back(part); }
};
}  // namespace

TEST(MemSource, ReadsUpToTheSizeAndNotOneByteMore)
{
  const std::string data = "0123456789";
  CMemSource src;
  ASSERT_EQ(src.OpenBlock(data.data(), 10), 0);
  EXPECT_STREQ(src.GetName(), "Mem");
  EXPECT_EQ(*src.ReadBytes(3), '0');
  EXPECT_EQ(*src.GetBufferPtr(1), '3');  // looking consumes nothing
  EXPECT_EQ(*src.ReadBytes(7), '3');
  std::string text;
  EXPECT_EQ(CodeOf([&] { src.ReadBytes(1); }, &text), 11);
  EXPECT_EQ(text, "End of file reached while decoding.\n");
  EXPECT_EQ(src.GetBytesRead(), 10);  // a refused read consumes nothing
  EXPECT_EQ(CodeOf([&] { src.ReadBytes(-1); }), 11);
}

TEST(FileSource, ReportsProgressAtEveryKilobyteAndOnClose)
{
  vt_test::TempDir dir;
  vt_test::WriteWholeFile(dir.file("a.bin"), std::string(3000, 'x'));
  Recorder rec;
  CFileSource src(&rec);
  ASSERT_EQ(src.OpenFile(dir.file("a.bin").c_str()), 0);
  EXPECT_EQ(src.GetSize(), 3000);
  for (int i = 0; i < 30; ++i) src.ReadBytes(100);
  ASSERT_EQ(rec.parts.size(), 2u);
  EXPECT_DOUBLE_EQ(rec.parts[0], 1100.0 / 3000);
  EXPECT_DOUBLE_EQ(rec.parts[1], 2100.0 / 3000);
  src.Close();
  ASSERT_EQ(rec.parts.size(), 3u);
  EXPECT_EQ(rec.parts[2], 1.0);
}

TEST(FileSource, OpenErrorCodes)
{
  vt_test::TempDir dir;
  vt_test::WriteWholeFile(dir.file("empty"), "");
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
  vt_test::WriteWholeFile(dir.file("plain"), "x");
  struct Case {
    std::string name;
    int code;
  } cases[] = {
      {dir.file("missing.bmp"), 4},
      {dir.file("nodir/missing.bmp"), 3},
      {dir.file("plain/below.bmp"), 3},  // a file where a directory should be
      {dir.file("empty"), 5},
      {dir.file("fifo"), 5},             // refused at once, never waits for a writer
      {dir.path().string(), 5},          // a directory
      {"/dev/zero", 5},                  // a device
  };
  for (const Case& c : cases) {
    CFileSource src;
    EXPECT_EQ(src.OpenFile(c.name.c_str()), c.code) << c.name;
  }
}

TEST(FileSource, HoldsItsOwnCopySoAShrinkingFileCannotHurt)
{
  vt_test::TempDir dir;
  const std::string name = dir.file("s.bin");
  vt_test::WriteWholeFile(name, std::string(5000, 'a'));
  CFileSource src;
  ASSERT_EQ(src.OpenFile(name.c_str()), 0);
  ASSERT_EQ(truncate(name.c_str(), 10), 0);
  const uint8_t* p = src.ReadBytes(5000);
  EXPECT_EQ(p[4999], 'a');
}

TEST(DataSink, AcceptsItsCapacityAndRefusesOneByteMore)
{
  std::vector<uint8_t> buf(8);
  CDataSink sink;
  sink.Open("x", buf.data(), 8);
  EXPECT_EQ(sink.WriteBytes(5, "abcde"), 5u);
  EXPECT_EQ(sink.WriteBytes(3, "fgh"), 3u);
  std::string text;
  EXPECT_EQ(CodeOf([&] { sink.WriteBytes(1, "i"); }, &text), 11);
  EXPECT_EQ(text, "Buffer overflow while encoding.\n");
  EXPECT_EQ(sink.GetCount(), 8u);
  EXPECT_EQ(std::string(buf.begin(), buf.end()), "abcdefgh");
}

TEST(FileSink, WritesOnCloseAndDiscardsWhenNotClosed)
{
  vt_test::TempDir dir;
  const std::string name = dir.file("out.bin");
  vt_test::WriteWholeFile(name, "old contents");
  {
    CFileSink sink;
    ASSERT_EQ(sink.OpenFile(name.c_str(), 4), 0);
    sink.WriteBytes(4, "new!");
    EXPECT_EQ(CodeOf([&] { sink.WriteBytes(1, "x"); }), 11);
    // Destroyed without Close (the encoder failed): the old file stays as it was.
  }
  EXPECT_EQ(vt_test::ReadWholeFile(name), "old contents");
  {
    CFileSink sink;
    ASSERT_EQ(sink.OpenFile(name.c_str(), 4), 0);
    sink.WriteBytes(4, "new!");
    sink.Close();
  }
  EXPECT_EQ(vt_test::ReadWholeFile(name), "new!");
  // No temporary file is left behind on either path.
  int files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1);
}

TEST(FileSink, MissingDirectoryGivesMinusOneAndNoFile)
{
  vt_test::TempDir dir;
  CFileSink sink;
  EXPECT_EQ(sink.OpenFile(dir.file("nodir/x.bmp").c_str(), 100), -1);
  EXPECT_FALSE(fs::exists(dir.path() / "nodir"));

  CWinBmp bmp;
  CBmpEncoder enc;
  std::string text;
  EXPECT_EQ(CodeOf([&] { enc.EncodeFile(dir.file("nodir/x.bmp").c_str(), &bmp); }, &text), -1);
  EXPECT_EQ(text, "Opening " + dir.file("nodir/x.bmp") + " failed");
}

TEST(FileSink, FailedFinalStepIsAnErrorNotSuccess)
{
  vt_test::TempDir dir;
  // The target is a directory: everything can be written but the rename fails.
  fs::create_directory(dir.path() / "target.bmp");
  CWinBmp bmp;
  CBmpEncoder enc;
  std::string text;
  EXPECT_EQ(CodeOf([&] { enc.EncodeFile(dir.file("target.bmp").c_str(), &bmp); }, &text), -1);
  EXPECT_EQ(text, "Writing " + dir.file("target.bmp") + " failed");
  int entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 1);  // the temporary file is gone
}

TEST(FileSink, ShortWriteIsAnErrorAndKeepsTheOldFile)
{
  vt_test::TempDir dir;
  const std::string name = dir.file("big.bmp");
  vt_test::WriteWholeFile(name, "precious");
  CWinBmp bmp;
  bmp.Create(100, 100, 32, 0);  // about 30 kB of BMP
  CBmpEncoder enc;

  // Limit the size of files this process may write, so the write comes up short.
  struct rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit lim = old;
  lim.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lim), 0);
  const int code = CodeOf([&] { enc.EncodeFile(name.c_str(), &bmp); });
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(code, -1);
  EXPECT_EQ(vt_test::ReadWholeFile(name), "precious");
  int entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 1);
}

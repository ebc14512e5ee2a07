// Saving pictures as BMP or JPEG by the file name's extension; the QImage adaptor.
#include "common/TestUtil.h"
#include "imaging/BmpDecoder.h"
#include "imaging/WinBmp.h"
#include "imaging/forms/QtWinBmp.h"
#include "imaging/forms/SaveImage.h"

#include <QImage>

#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

namespace {

struct LogCapture {
  std::vector<std::pair<int, std::string>> lines;
  LogCapture()
  {
    SetImageFileLog([this](int level, const std::string& text) { lines.emplace_back(level, text); });
  }
  ~LogCapture() { SetImageFileLog(nullptr); }
};

QImage TestImage()
{
  QImage img(5, 3, QImage::Format_ARGB32);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) img.setPixel(x, y, qRgba(40 * x, 80 * y, 200, 255));
  img.setPixel(4, 2, qRgba(0, 0, 0, 0));  // transparent
  return img;
}

}  // namespace

TEST(QtWinBmp, QImageToBitmapIsOpaque32BppAndBack)
{
  CWinBmp bmp;
  CreateFromQImage(bmp, TestImage());
  ASSERT_EQ(bmp.GetBitsPerPixel(), 32);
  ASSERT_EQ(bmp.GetSize(), std::make_pair(5, 3));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) ASSERT_EQ(bmp.GetLineArray()[y][4 * x + 3], 255);
  const uint8_t* p = bmp.GetLineArray()[1] + 4 * 2;
  EXPECT_EQ(p[0], 200);  // blue
  EXPECT_EQ(p[1], 80);   // green
  EXPECT_EQ(p[2], 80);   // red
  const QImage back = WinBmpToQImage(bmp);
  EXPECT_EQ(back.pixel(2, 1), qRgb(80, 80, 200));

  // Palette bitmaps are expanded through their table.
  CWinBmp grey;
  grey.Create(2, 1, 8, 0);
  grey.GetLineArray()[0][1] = 77;
  EXPECT_EQ(WinBmpToQImage(grey).pixel(1, 0), qRgb(77, 77, 77));
}

TEST(SaveImage, ChoosesTheEncoderByExtension)
{
  vt_test::TempDir dir;
  LogCapture log;
  const std::string bmp = dir.file("pic.BMP"), jpg = dir.file("pic.JPEG"), jpg2 = dir.file("pic.jpg");
  EXPECT_EQ(SaveBitmapToImageFile(bmp.c_str(), TestImage()), 1);
  EXPECT_EQ(SaveBitmapToImageFile(jpg.c_str(), TestImage()), 1);
  EXPECT_EQ(SaveBitmapToImageFile(jpg2.c_str(), TestImage()), 1);
  EXPECT_TRUE(log.lines.empty());
  EXPECT_EQ(vt_test::ReadWholeFile(jpg).substr(0, 3), "\xFF\xD8\xFF");
  EXPECT_EQ(vt_test::ReadWholeFile(bmp).substr(0, 2), "BM");

  CWinBmp back;
  CBmpDecoder().DecodeFile(bmp.c_str(), &back, 32);
  const uint8_t* p = back.GetLineArray()[2] + 4 * 3;
  EXPECT_EQ(p[0], 200);
  EXPECT_EQ(p[1], 160);
  EXPECT_EQ(p[2], 120);
}

TEST(SaveImage, RefusedNamesAndFailuresAreLoggedAndWriteNothing)
{
  vt_test::TempDir dir;
  std::filesystem::create_directory(dir.path() / "dir.d");
  struct Case {
    std::string name;
    std::string message;
  } cases[] = {
      {dir.file("pic.png"), "Error encoding image: Extension \".png\" unknown/unsupported !"},
      {dir.file("dir.d/noext"), "Error: No extension in \"" + dir.file("dir.d/noext") + "\""},
      {dir.file("nodir/pic.bmp"), "Error #-1 encoding BMP: Opening " + dir.file("nodir/pic.bmp") + " failed"},
      {dir.file("nodir/pic.jpg"), "Error #-1 encoding JPEG: Opening " + dir.file("nodir/pic.jpg") + " failed"},
  };
  for (const Case& c : cases) {
    LogCapture log;
    EXPECT_EQ(SaveBitmapToImageFile(c.name.c_str(), TestImage()), 0) << c.name;
    ASSERT_EQ(log.lines.size(), 1u) << c.name;
    EXPECT_EQ(log.lines[0].first, 20);
    EXPECT_EQ(log.lines[0].second, c.message);
  }
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 1);  // only dir.d
}

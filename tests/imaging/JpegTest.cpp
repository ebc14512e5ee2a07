// JPEG through libjpeg, checked against the library's own tools: our encoder must write the
// same bytes as `cjpeg -dct float`, our decoder the same pixels as
// `djpeg -dct float -nosmooth`. The tools come with libjpeg-turbo-progs; without them these
// tests fail (they are part of the set-up).
#include "ImgTestUtil.h"
#include "common/TestUtil.h"
#include "imaging/AnyPicDecoder.h"
#include "imaging/ImageTrace.h"
#include "imaging/JPEGDecoder.h"
#include "imaging/JPEGEncoder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

using img_test::CodeOf;
using img_test::Px;

namespace {

bool HaveTool(const char* name)
{
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

void RunTool(const std::string& cmd)
{
  ASSERT_TRUE(HaveTool("cjpeg") && HaveTool("djpeg")) << "cjpeg/djpeg missing: install libjpeg-turbo-progs";
  std::system((cmd + " 2>/dev/null").c_str());
}

// A picture with gradients, edges and a little texture; odd size for partial MCUs.
void Fill(CWinBmp& bmp, int w, int h)
{
  bmp.Create(w, h, 32, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = bmp.GetLineArray()[y] + 4 * x;
      p[0] = static_cast<uint8_t>(x < w / 2 ? 255 - 6 * x : 20);    // blue
      p[1] = static_cast<uint8_t>((x * y * 13) & 0xFF);             // green
      p[2] = static_cast<uint8_t>(y * 255 / (h - 1));               // red
      p[3] = 255;
    }
}

// Binary PPM (P6) or PGM (P5) of width x height; channels 3 or 1.
struct Pnm {
  int width = 0, height = 0, channels = 0;
  std::string data;
};

Pnm ReadPnm(const std::string& file)
{
  Pnm p;
  const std::string s = vt_test::ReadWholeFile(file);
  std::istringstream in(s);
  std::string magic;
  int maxval = 0;
  in >> magic >> p.width >> p.height >> maxval;
  in.get();
  p.channels = magic == "P6" ? 3 : 1;
  p.data = s.substr(static_cast<size_t>(in.tellg()));
  return p;
}

std::string PpmOf(const CWinBmp& bmp)
{
  std::string s = "P6\n" + std::to_string(bmp.GetWidth()) + " " + std::to_string(bmp.GetHeight()) + "\n255\n";
  for (int y = 0; y < bmp.GetHeight(); ++y)
    for (int x = 0; x < bmp.GetWidth(); ++x) {
      const uint32_t v = Px(bmp, x, y);
      s += static_cast<char>(v >> 16);
      s += static_cast<char>(v >> 8);
      s += static_cast<char>(v);
    }
  return s;
}

// Our decoding equals djpeg's output pixel for pixel, alpha 255.
void ExpectSameAsDjpeg(const CWinBmp& bmp, const Pnm& ref)
{
  ASSERT_EQ(bmp.GetWidth(), ref.width);
  ASSERT_EQ(bmp.GetHeight(), ref.height);
  ASSERT_EQ(ref.data.size(), static_cast<size_t>(ref.width) * ref.height * ref.channels);
  int differing = 0;
  for (int y = 0; y < ref.height; ++y)
    for (int x = 0; x < ref.width; ++x) {
      const auto* r = reinterpret_cast<const uint8_t*>(ref.data.data()) + (y * ref.width + x) * ref.channels;
      uint32_t want = ref.channels == 3 ? (0xFFu << 24 | uint32_t{r[0]} << 16 | uint32_t{r[1]} << 8 | r[2])
                                        : (0xFFu << 24 | uint32_t{r[0]} * 0x010101u);
      if (Px(bmp, x, y) != want && differing++ < 5)
        ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << Px(bmp, x, y) << " != " << want;
    }
  EXPECT_EQ(differing, 0);
}

std::string Decode(const std::string& file, CWinBmp& bmp, int destBpp)
{
  CAnyPicDecoder dec;
  std::string text;
  const int code = CodeOf([&] { dec.DecodeFile(file.c_str(), &bmp, destBpp); }, &text);
  return code ? std::to_string(code) + ": " + text : "";
}

}  // namespace

TEST(Jpeg, EncodingIsByteIdenticalToCjpeg)
{
  vt_test::TempDir dir;
  CWinBmp bmp;
  Fill(bmp, 37, 23);
  vt_test::WriteWholeFile(dir.file("in.ppm"), PpmOf(bmp));
  CJPEGEncoder().EncodeFile(dir.file("ours.jpg").c_str(), &bmp);
  RunTool("cjpeg -dct float -outfile " + dir.file("ref.jpg") + " " + dir.file("in.ppm"));
  const std::string ours = vt_test::ReadWholeFile(dir.file("ours.jpg"));
  const std::string ref = vt_test::ReadWholeFile(dir.file("ref.jpg"));
  ASSERT_GT(ref.size(), 100u);
  EXPECT_TRUE(ours == ref) << "ours " << ours.size() << " bytes, cjpeg " << ref.size();
}

TEST(Jpeg, PaletteBitmapsAreExpandedThroughTheirColourTable)
{
  vt_test::TempDir dir;
  CWinBmp bmp;
  bmp.Create(19, 11, 8, 0);
  PaletteEntry table[256];
  for (int i = 0; i < 256; ++i)
    table[i] = PaletteEntry{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 7), 255};
  bmp.SetPalette(table);
  CWinBmp expanded;
  expanded.Create(19, 11, 32, 0);
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 19; ++x) {
      const uint8_t idx = static_cast<uint8_t>(x * 13 + y * 5);
      bmp.GetLineArray()[y][x] = idx;
      std::memcpy(expanded.GetLineArray()[y] + 4 * x, &table[idx], 4);
    }
  vt_test::WriteWholeFile(dir.file("in.ppm"), PpmOf(expanded));
  CJPEGEncoder().EncodeFile(dir.file("ours.jpg").c_str(), &bmp);
  RunTool("cjpeg -dct float -outfile " + dir.file("ref.jpg") + " " + dir.file("in.ppm"));
  EXPECT_TRUE(vt_test::ReadWholeFile(dir.file("ours.jpg")) == vt_test::ReadWholeFile(dir.file("ref.jpg")));
}

TEST(Jpeg, DecodingIsPixelIdenticalToDjpeg)
{
  vt_test::TempDir dir;
  CWinBmp src;
  Fill(src, 45, 29);
  vt_test::WriteWholeFile(dir.file("in.ppm"), PpmOf(src));
  struct Case {
    const char* name;
    const char* options;
  } cases[] = {{"base", ""}, {"prog", "-progressive"}, {"s444", "-sample 1x1"}, {"q95", "-quality 95"}};
  for (const Case& c : cases) {
    const std::string jpg = dir.file(std::string(c.name) + ".jpg");
    const std::string ppm = dir.file(std::string(c.name) + ".out.ppm");
    RunTool(std::string("cjpeg ") + c.options + " -outfile " + jpg + " " + dir.file("in.ppm"));
    RunTool("djpeg -dct float -nosmooth -pnm -outfile " + ppm + " " + jpg);
    for (int destBpp : {32, 8, 0}) {  // a colour JPEG is always 32 bpp
      CWinBmp bmp;
      ASSERT_EQ(Decode(jpg, bmp, destBpp), "") << c.name;
      ASSERT_EQ(bmp.GetBitsPerPixel(), 32) << c.name;
      ExpectSameAsDjpeg(bmp, ReadPnm(ppm));
    }
  }
}

TEST(Jpeg, GreyJpeg)
{
  vt_test::TempDir dir;
  CWinBmp src;
  Fill(src, 33, 17);
  vt_test::WriteWholeFile(dir.file("in.ppm"), PpmOf(src));
  RunTool("cjpeg -grayscale -outfile " + dir.file("g.jpg") + " " + dir.file("in.ppm"));
  RunTool("djpeg -dct float -nosmooth -pnm -outfile " + dir.file("g.pgm") + " " + dir.file("g.jpg"));
  const Pnm ref = ReadPnm(dir.file("g.pgm"));
  ASSERT_EQ(ref.channels, 1);

  CWinBmp b32;
  ASSERT_EQ(Decode(dir.file("g.jpg"), b32, 32), "");
  ExpectSameAsDjpeg(b32, ref);  // blue = green = red, alpha 255

  CWinBmp b8;
  ASSERT_EQ(Decode(dir.file("g.jpg"), b8, 0), "");
  ASSERT_EQ(b8.GetBitsPerPixel(), 8);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(b8.GetPalette()[i].Red, i);  // the grey table
  for (int y = 0; y < ref.height; ++y)
    for (int x = 0; x < ref.width; ++x)
      ASSERT_EQ(b8.GetLineArray()[y][x], static_cast<uint8_t>(ref.data[static_cast<size_t>(y * ref.width + x)]));
}

TEST(Jpeg, FileCutInsideTheScanDecodesWithAWarningInTheTrace)
{
  vt_test::TempDir dir;
  CWinBmp src;
  Fill(src, 64, 48);
  vt_test::WriteWholeFile(dir.file("in.ppm"), PpmOf(src));
  RunTool("cjpeg -outfile " + dir.file("full.jpg") + " " + dir.file("in.ppm"));
  const std::string full = vt_test::ReadWholeFile(dir.file("full.jpg"));
  ASSERT_GT(full.size(), 1000u);
  vt_test::WriteWholeFile(dir.file("cut.jpg"), full.substr(0, full.size() * 6 / 10));
  RunTool("djpeg -dct float -nosmooth -pnm -outfile " + dir.file("cut.ppm") + " " + dir.file("cut.jpg"));

  SetImageTraceFile(dir.file("trace.txt"));
  SetImageTraceLevel(1);
  CWinBmp bmp;
  const std::string result = Decode(dir.file("cut.jpg"), bmp, 32);
  SetImageTraceFile("");
  SetImageTraceLevel(0);
  ASSERT_EQ(result, "");
  ExpectSameAsDjpeg(bmp, ReadPnm(dir.file("cut.ppm")));  // the missing part is defined, not garbage
  EXPECT_NE(vt_test::ReadWholeFile(dir.file("trace.txt")).find("JPEG warning: Premature end of JPEG file"),
            std::string::npos);
}

TEST(Jpeg, ErrorsAreCode6AndTheDecoderStaysUsable)
{
  vt_test::TempDir dir;
  CWinBmp src;
  Fill(src, 16, 16);
  CJPEGEncoder().EncodeFile(dir.file("ok.jpg").c_str(), &src);
  const std::string good = vt_test::ReadWholeFile(dir.file("ok.jpg"));

  CJPEGDecoder dec;
  CWinBmp bmp;
  std::string bad = good;
  bad[3] = '\xC0';  // APP0 becomes a frame header with nonsense contents
  std::string text;
  EXPECT_EQ(CodeOf([&] { dec.DecodeMemory(bad.data(), static_cast<int64_t>(bad.size()), &bmp, 32); }, &text), 6);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(CodeOf([&] { dec.DecodeMemory("\xFF\xD8\xFF", 3, &bmp, 32); }), 6);
  EXPECT_EQ(CodeOf([&] { dec.DecodeMemory(good.data(), static_cast<int64_t>(good.size()), &bmp, 32); }), 0);
  EXPECT_EQ(bmp.GetWidth(), 16);
}

TEST(Jpeg, HugeDeclaredSizeIsRefusedBeforeDecoding)
{
  vt_test::TempDir dir;
  CWinBmp src;
  Fill(src, 16, 16);
  CJPEGEncoder().EncodeFile(dir.file("ok.jpg").c_str(), &src);
  std::string s = vt_test::ReadWholeFile(dir.file("ok.jpg"));
  const size_t sof = s.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  s[sof + 5] = s[sof + 7] = '\xEA';  // 60000 x 60000, within libjpeg's limits
  s[sof + 6] = s[sof + 8] = '\x60';
  CJPEGDecoder dec;
  CWinBmp bmp;
  EXPECT_EQ(CodeOf([&] { dec.DecodeMemory(s.data(), static_cast<int64_t>(s.size()), &bmp, 32); }), 10);
}

TEST(Jpeg, EncoderSinkOverflowIsCode11AndTheEncoderStaysUsable)
{
  class Enc : public CJPEGEncoder {
  public:
    using CJPEGEncoder::Encode;
  };
  CWinBmp bmp;
  Fill(bmp, 64, 64);
  Enc enc;
  std::vector<uint8_t> buf(1 << 16);
  CDataSink small;
  small.Open("s", buf.data(), 300);
  std::string text;
  EXPECT_EQ(CodeOf([&] { enc.Encode(&bmp, &small); }, &text), 11);
  EXPECT_EQ(text, "Buffer overflow while encoding.\n");
  CDataSink big;
  big.Open("b", buf.data(), buf.size());
  enc.Encode(&bmp, &big);
  ASSERT_GT(big.GetCount(), 300u);

  // 1 x 1 gives a complete JPEG.
  CWinBmp one;
  Fill(one, 1, 2);
  one.Create(1, 1, 32, 0);
  CDataSink s1;
  s1.Open("1", buf.data(), buf.size());
  enc.Encode(&one, &s1);
  ASSERT_GT(s1.GetCount(), 4u);
  EXPECT_EQ(buf[0], 0xFF);
  EXPECT_EQ(buf[1], 0xD8);
  EXPECT_EQ(buf[s1.GetCount() - 2], 0xFF);
  EXPECT_EQ(buf[s1.GetCount() - 1], 0xD9);
}

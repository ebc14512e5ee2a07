#include "imaging/JPEGEncoder.h"

#include "imaging/ImageTrace.h"
#include "imaging/JpegCommon.h"
#include "imaging/TextException.h"

#include <cstring>
#include <jerror.h>
#include <vector>

namespace {
constexpr size_t kChunk = 8192;
}

struct CJPEGEncoder::Impl {
  struct DestMgr {
    jpeg_destination_mgr pub;
    CDataSink* sink;
    JOCTET* buffer;
    // A sink error caught in a hook, raised again after libjpeg has been left.
    bool pending;
    int pendingCode;
    std::string pendingText;
  };

  jpeg_compress_struct cinfo{};
  JpegErrorMgr err{};
  DestMgr dest{};

  static bool WriteChunk(DestMgr* d, size_t n) noexcept
  {
    try {
      return d->sink->WriteBytes(n, d->buffer) == n;
    } catch (const CTextException& e) {
      d->pending = true;
      d->pendingCode = e.GetCode();
      d->pendingText = e.GetText();
      return false;
    }
  }
  static void InitDestination(j_compress_ptr cinfo)
  {
    auto* d = reinterpret_cast<DestMgr*>(cinfo->dest);
    d->buffer = static_cast<JOCTET*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, kChunk));
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = kChunk;
  }
  static boolean EmptyOutputBuffer(j_compress_ptr cinfo)
  {
    auto* d = reinterpret_cast<DestMgr*>(cinfo->dest);
    if (!WriteChunk(d, kChunk)) ERREXIT(cinfo, JERR_FILE_WRITE);
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = kChunk;
    return TRUE;
  }
  static void TermDestination(j_compress_ptr cinfo)
  {
    auto* d = reinterpret_cast<DestMgr*>(cinfo->dest);
    const size_t n = kChunk - d->pub.free_in_buffer;
    if (n > 0 && !WriteChunk(d, n)) ERREXIT(cinfo, JERR_FILE_WRITE);
  }

  // Guarded steps: false when libjpeg raised an error.
  static bool Start(Impl* d, const CJPEGEncoder* enc, int width, int height)
  {
    if (setjmp(d->err.jump)) return false;
    jpeg_compress_struct& c = d->cinfo;
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    // The bitmap's own layout: blue, green, red and a fourth byte that is ignored.
    c.input_components = 4;
    c.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&c);
    c.dct_method = JDCT_FLOAT;
    if (enc->Quality != 0) jpeg_set_quality(&c, enc->Quality, TRUE);
    c.optimize_coding = enc->OptimizeCoding ? TRUE : FALSE;
    c.smoothing_factor = enc->SmoothingFactor;
    if (enc->DensityX != 0 || enc->DensityY != 0) {
      c.density_unit = 1;
      c.X_density = static_cast<UINT16>(enc->DensityX);
      c.Y_density = static_cast<UINT16>(enc->DensityY);
    }
    jpeg_start_compress(&c, TRUE);
    return true;
  }
  // Rows top to bottom; bitmaps of 8 bpp or less are expanded through their colour table
  // into rowBuffer (4 x width bytes).
  static bool WriteRows(Impl* d, CBmp* bmp, uint8_t* rowBuffer)
  {
    if (setjmp(d->err.jump)) return false;
    const int width = bmp->GetWidth();
    const int bpp = bmp->GetBitsPerPixel();
    const PaletteEntry* pal = bmp->GetPalette();
    uint8_t** lines = bmp->GetLineArray();
    for (int y = 0; y < bmp->GetHeight(); ++y) {
      JSAMPROW row = lines[y];
      if (bpp <= 8) {
        const uint8_t* src = lines[y];
        for (int x = 0; x < width; ++x) {
          unsigned index;
          if (bpp == 8) index = src[x];
          else if (bpp == 4) index = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
          else index = (src[x >> 3] >> (7 - (x & 7))) & 1;
          std::memcpy(rowBuffer + 4 * x, &pal[index], 4);
        }
        row = rowBuffer;
      }
      jpeg_write_scanlines(&d->cinfo, &row, 1);
    }
    return true;
  }
  static bool Finish(Impl* d)
  {
    if (setjmp(d->err.jump)) return false;
    jpeg_finish_compress(&d->cinfo);
    return true;
  }
};

CJPEGEncoder::CJPEGEncoder() : m(std::make_unique<Impl>())
{
  JpegInitErrorMgr(m->err);
  m->cinfo.err = &m->err.pub;
  jpeg_create_compress(&m->cinfo);
  m->dest.pub.init_destination = Impl::InitDestination;
  m->dest.pub.empty_output_buffer = Impl::EmptyOutputBuffer;
  m->dest.pub.term_destination = Impl::TermDestination;
}

CJPEGEncoder::~CJPEGEncoder()
{
  jpeg_destroy_compress(&m->cinfo);
}

void CJPEGEncoder::Encode(CBmp* bmp, CDataSink* sink)
{
  const int bpp = bmp->GetBitsPerPixel();
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 32)
    RaiseError(2, ImgFormat("JPEG encoder: Illegal bpp value (%d).", bpp));
  Impl& d = *m;
  d.dest.sink = sink;
  d.dest.pending = false;
  d.dest.pendingText.clear();
  d.cinfo.dest = &d.dest.pub;
  std::vector<uint8_t> rowBuffer(bpp <= 8 ? 4 * static_cast<size_t>(bmp->GetWidth()) + 4 : 0);

  bool ok = Impl::Start(&d, this, bmp->GetWidth(), bmp->GetHeight());
  if (ok) {
    bmp->Lock(1, 0);
    ok = Impl::WriteRows(&d, bmp, rowBuffer.data());
    bmp->Unlock();
  }
  if (ok) ok = Impl::Finish(&d);
  if (!ok) {
    jpeg_abort_compress(&d.cinfo);
    d.cinfo.dest = nullptr;
    if (d.dest.pending) throw CTextException(d.dest.pendingCode, d.dest.pendingText);
    RaiseError(6, std::string(d.err.message) + "\n");
  }
  d.cinfo.dest = nullptr;
}

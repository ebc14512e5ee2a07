#include "imaging/JPEGDecoder.h"

#include "imaging/ImageTrace.h"
#include "imaging/JpegCommon.h"

#include <cstring>
#include <jerror.h>

namespace {
const JOCTET kEndOfImage[2] = {0xFF, 0xD9};
}

struct CJPEGDecoder::Impl {
  jpeg_decompress_struct cinfo{};
  JpegErrorMgr err{};
  jpeg_source_mgr srcMgr{};
  jpeg_progress_mgr progress{};
  CDataSource* source = nullptr;

  // Memory source: the whole JPEG is one block. When libjpeg wants more than the block
  // holds, the file was cut short: warn and supply an end-of-image marker, so the rest of
  // the picture decodes as if the file had ended properly.
  static void InitSource(j_decompress_ptr) {}
  static void TermSource(j_decompress_ptr) {}
  static boolean FillInputBuffer(j_decompress_ptr cinfo)
  {
    WARNMS(cinfo, JWRN_JPEG_EOF);
    cinfo->src->next_input_byte = kEndOfImage;
    cinfo->src->bytes_in_buffer = 2;
    return TRUE;
  }
  static void SkipInputData(j_decompress_ptr cinfo, long n)
  {
    if (n <= 0) return;
    if (static_cast<size_t>(n) < cinfo->src->bytes_in_buffer) {
      cinfo->src->next_input_byte += n;
      cinfo->src->bytes_in_buffer -= static_cast<size_t>(n);
    } else {
      FillInputBuffer(cinfo);
    }
  }
  static void Progress(j_common_ptr cinfo)
  {
    auto* self = static_cast<Impl*>(cinfo->client_data);
    const jpeg_progress_mgr* p = cinfo->progress;
    if (!self || !self->source || p->pass_limit <= 0 || p->total_passes <= 0) return;
    const double part = (static_cast<double>(p->pass_counter) / static_cast<double>(p->pass_limit) +
                         p->completed_passes) / p->total_passes;
    try {
      self->source->ReportProgress(part);
    } catch (...) {
      // A progress callback must not unwind through libjpeg.
    }
  }

  // Guarded steps: false when libjpeg raised an error (message in err.message).
  static bool ReadHeader(Impl* d)
  {
    if (setjmp(d->err.jump)) return false;
    jpeg_read_header(&d->cinfo, TRUE);
    return true;
  }
  static bool Start(Impl* d)
  {
    if (setjmp(d->err.jump)) return false;
    jpeg_start_decompress(&d->cinfo);
    return true;
  }
  static bool ReadRows(Impl* d, JSAMPARRAY lines, JDIMENSION rows)
  {
    if (setjmp(d->err.jump)) return false;
    while (d->cinfo.output_scanline < rows) {
      const JDIMENSION at = d->cinfo.output_scanline;
      if (jpeg_read_scanlines(&d->cinfo, lines + at, rows - at) == 0) break;
    }
    return true;
  }
  static bool Finish(Impl* d)
  {
    if (setjmp(d->err.jump)) return false;
    jpeg_finish_decompress(&d->cinfo);
    return true;
  }
};

CJPEGDecoder::CJPEGDecoder() : m(std::make_unique<Impl>())
{
  JpegInitErrorMgr(m->err);
  m->cinfo.err = &m->err.pub;
  jpeg_create_decompress(&m->cinfo);
  m->cinfo.client_data = m.get();
  m->srcMgr.init_source = Impl::InitSource;
  m->srcMgr.fill_input_buffer = Impl::FillInputBuffer;
  m->srcMgr.skip_input_data = Impl::SkipInputData;
  m->srcMgr.resync_to_restart = jpeg_resync_to_restart;
  m->srcMgr.term_source = Impl::TermSource;
  m->progress.progress_monitor = Impl::Progress;
}

CJPEGDecoder::~CJPEGDecoder()
{
  jpeg_destroy_decompress(&m->cinfo);
}

void CJPEGDecoder::Decode(CBmp* bmp, std::vector<PaletteEntry>&, int* destBpp, CDataSource* src)
{
  Impl& d = *m;
  jpeg_decompress_struct& ci = d.cinfo;
  d.source = src;
  d.srcMgr.next_input_byte = src->ReadEverything();
  d.srcMgr.bytes_in_buffer = static_cast<size_t>(src->GetBytesLeft());
  ci.src = &d.srcMgr;
  ci.progress = &d.progress;

  // Leaves libjpeg ready for the next picture whatever happens below.
  struct Abort {
    Impl& d;
    bool done = false;
    ~Abort()
    {
      if (!done) jpeg_abort_decompress(&d.cinfo);
      d.cinfo.src = nullptr;
      d.cinfo.progress = nullptr;
      d.source = nullptr;
    }
  } abort{d};
  auto fail = [&]() {
    jpeg_abort_decompress(&ci);
    abort.done = true;
    RaiseError(6, std::string(d.err.message) + "\n");
  };

  if (!Impl::ReadHeader(&d)) fail();
  const int width = static_cast<int>(ci.image_width);
  const int height = static_cast<int>(ci.image_height);
  // Refused before libjpeg allocates anything for the picture.
  if (int64_t{width} * height > kMaxBitmapPixels) RaiseError(10, "Out of memory creating bitmap.");

  const bool grey = ci.jpeg_color_space == JCS_GRAYSCALE;
  const bool cmyk = ci.jpeg_color_space == JCS_CMYK || ci.jpeg_color_space == JCS_YCCK;
  if (grey) {
    Trace(2, "Decoding grey JPEG.\n");
    ChooseDestBpp(8, destBpp);
  } else {
    Trace(2, "Decoding colour JPEG.\n");
    *destBpp = 32;  // colour pictures are always 32 bpp
  }
  if (FastMode) ci.do_fancy_upsampling = FALSE;
  ci.dct_method = JDCT_FLOAT;
  // libjpeg writes the bitmap's own pixel layout (blue, green, red, alpha 255) straight
  // into its rows; a grey picture wanted at 32 bpp is expanded by libjpeg the same way.
  if (cmyk) ci.out_color_space = JCS_CMYK;
  else if (!grey || *destBpp == 32) ci.out_color_space = JCS_EXT_BGRA;
  if (!Impl::Start(&d)) fail();

  bmp->Create(width, height, static_cast<uint16_t>(*destBpp), 0);
  bmp->Lock(0, 1);
  const bool rowsOk = Impl::ReadRows(&d, bmp->GetLineArray(), static_cast<JDIMENSION>(height));
  if (rowsOk && cmyk) {
    // Adobe writes inverted CMYK; other writers plain CMYK.
    const bool inverted = ci.saw_Adobe_marker;
    for (int y = 0; y < height; ++y) {
      uint8_t* p = bmp->GetLineArray()[y];
      for (int x = 0; x < width; ++x, p += 4) {
        int c = p[0], mm = p[1], yy = p[2], k = p[3];
        if (!inverted) {
          c = 255 - c;
          mm = 255 - mm;
          yy = 255 - yy;
          k = 255 - k;
        }
        p[0] = static_cast<uint8_t>(yy * k / 255);
        p[1] = static_cast<uint8_t>(mm * k / 255);
        p[2] = static_cast<uint8_t>(c * k / 255);
        p[3] = 255;
      }
    }
  }
  bmp->Unlock();
  if (!rowsOk) fail();
  if (!Impl::Finish(&d)) fail();
  abort.done = true;
  Trace(3, "Decoding finished.\n");
}

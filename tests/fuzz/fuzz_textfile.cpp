// Text files of undeclared encoding (command files, the command window's working file,
// transmit texts) and 8-bit settings fields: the input is decoded as a file and as a field.
// Writing the decoded text back in the format found and reading it again must give the same
// text and format, and a second write the same bytes (what one save writes, the next keeps).
// Where all line breaks are alike, the write gives the input's bytes back.
#include <cstdint>
#include <cstring>

#include "platform/TextFileCodec.h"
#include "tests/fuzz/FuzzUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size > 8192) return 0;
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

  TextFileFormat format;
  const QString text = DecodeTextFile(bytes, &format);
  VT_FUZZ_CHECK(!text.contains('\r'));
  const QByteArray written = EncodeTextFile(text, format);
  TextFileFormat again;
  VT_FUZZ_CHECK(DecodeTextFile(written, &again) == text);
  VT_FUZZ_CHECK(again.encoding == format.encoding && again.bom == format.bom);
  VT_FUZZ_CHECK(std::strcmp(again.lineBreak, format.lineBreak) == 0 || !text.contains('\n'));
  VT_FUZZ_CHECK(EncodeTextFile(text, again) == written);
  const bool uniform = bytes.count("\r\n") == bytes.count('\r') && bytes.count("\r\n") == bytes.count('\n');
  const bool onlyLf = !bytes.contains('\r');
  const bool onlyCr = !bytes.contains('\n');
  if (uniform || onlyLf || onlyCr) VT_FUZZ_CHECK(written == bytes);

  TextEncoding enc;
  const QString field = DecodeText8Bit(bytes, &enc);
  TextEncoding used;
  const QByteArray fieldBytes = EncodeText8Bit(field, enc, &used);
  VT_FUZZ_CHECK(used == enc);
  if (enc == TextEncoding::Latin1 || !bytes.startsWith("\xEF\xBB\xBF")) VT_FUZZ_CHECK(fieldBytes == bytes);
  return 0;
}

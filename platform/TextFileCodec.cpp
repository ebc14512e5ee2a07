#include "platform/TextFileCodec.h"

#include <QStringDecoder>

namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

bool FitsLatin1(const QString& text)
{
  for (const QChar c : text)
    if (c.unicode() > 0xFF) return false;
  return true;
}

}  // namespace

QString DecodeText8Bit(const QByteArray& bytes, TextEncoding* used)
{
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(bytes);
  TextEncoding enc = TextEncoding::Utf8;
  if (utf8.hasError()) {
    text = QString::fromLatin1(bytes);
    enc = TextEncoding::Latin1;
  }
  if (used) *used = enc;
  return text;
}

QByteArray EncodeText8Bit(const QString& text, TextEncoding wanted, TextEncoding* used)
{
  const TextEncoding enc =
      wanted == TextEncoding::Latin1 && FitsLatin1(text) ? TextEncoding::Latin1 : TextEncoding::Utf8;
  if (used) *used = enc;
  return enc == TextEncoding::Latin1 ? text.toLatin1() : text.toUtf8();
}

QString DecodeTextFile(const QByteArray& bytes, TextFileFormat* format)
{
  TextFileFormat found;
  QString text = DecodeText8Bit(bytes, &found.encoding);
  found.bom = found.encoding == TextEncoding::Utf8 && bytes.startsWith(kUtf8Bom);
  const qsizetype cr = text.indexOf('\r'), lf = text.indexOf('\n');
  if (cr >= 0 && (lf < 0 || cr < lf)) found.lineBreak = lf == cr + 1 ? "\r\n" : "\r";
  if (cr >= 0) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace('\r', '\n');
  }
  if (format) *format = found;
  return text;
}

QByteArray EncodeTextFile(const QString& text, const TextFileFormat& format)
{
  QString out = text;
  const QString lineBreak = QString::fromLatin1(format.lineBreak ? format.lineBreak : "\n");
  if (lineBreak != QStringLiteral("\n")) out.replace('\n', lineBreak);
  TextEncoding used;
  QByteArray bytes = EncodeText8Bit(out, format.encoding, &used);
  if (format.bom && used == TextEncoding::Utf8) bytes.prepend(kUtf8Bom);
  return bytes;
}

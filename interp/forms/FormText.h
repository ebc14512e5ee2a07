#pragma once
// Copying between a control's text and a fixed character field of the settings or of a
// definition record. The field's bytes come from settings, profile and definition files that
// may hold Latin-1 as well as UTF-8: they are decoded like a text file (UTF-8 when valid, else
// Latin-1), and a text that comes back unchanged leaves the field's bytes as they are. Changed
// text is written in the field's encoding where it can hold it, else as UTF-8, and cut at a
// character boundary.
#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "platform/TextFileCodec.h"

// A fixed character field as a control's text (stops at the terminator or the field's end).
template <size_t N>
QString FieldToText(const char (&field)[N])
{
  return DecodeText8Bit(QByteArray(field, static_cast<qsizetype>(strnlen(field, N))));
}

// The bytes the text gets in the field: the field's own bytes when the text is what they show,
// else the text in the field's encoding where that can hold it, else UTF-8 (*utf8, may be
// null, tells which).
template <size_t N>
QByteArray FieldBytesOfText(const char (&field)[N], const QString& text, bool* utf8 = nullptr)
{
  const QByteArray old(field, static_cast<qsizetype>(strnlen(field, N)));
  TextEncoding enc;
  if (DecodeText8Bit(old, &enc) == text) {
    if (utf8) *utf8 = enc == TextEncoding::Utf8;
    return old;
  }
  TextEncoding used;
  QByteArray bytes = EncodeText8Bit(text, enc, &used);
  if (utf8) *utf8 = used == TextEncoding::Utf8;
  return bytes;
}

// At most maxChars bytes (and N - 1) of the text into the field, always terminated; see
// FieldBytesOfText.
template <size_t N>
void CopyTextToField(char (&field)[N], const QString& text, size_t maxChars = N - 1)
{
  const size_t limit = std::min(maxChars, N - 1);
  bool utf8 = false;
  const QByteArray bytes = FieldBytesOfText(field, text, &utf8);
  size_t n = std::min(static_cast<size_t>(bytes.size()), limit);
  // A cut UTF-8 text ends before the character that does not fit, never inside it.
  if (utf8 && n < static_cast<size_t>(bytes.size()))
    while (n > 0 && (static_cast<unsigned char>(bytes[static_cast<qsizetype>(n)]) & 0xC0) == 0x80) --n;
  std::memmove(field, bytes.constData(), n);
  field[n] = '\0';
}

#pragma once
// Copying a control's text into a fixed character field of the settings or of a definition
// record: at most maxChars characters in the local 8-bit encoding, always terminated.
#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstring>

template <size_t N>
void CopyTextToField(char (&field)[N], const QString& text, size_t maxChars = N - 1)
{
  const QByteArray bytes = text.toLocal8Bit();
  const size_t n = std::min({static_cast<size_t>(bytes.size()), maxChars, N - 1});
  std::memcpy(field, bytes.constData(), n);
  field[n] = '\0';
}

// A fixed character field as a control's text (stops at the terminator or the field's end).
template <size_t N>
QString FieldToText(const char (&field)[N])
{
  return QString::fromLocal8Bit(field, static_cast<qsizetype>(strnlen(field, N)));
}

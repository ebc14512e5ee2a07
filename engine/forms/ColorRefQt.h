#pragma once
// The one conversion between the program's colour values 0x00BBGGRR (red in the lowest byte,
// as stored in the settings; the top byte is ignored) and Qt colours, for every window.
#include "engine/ColorRef.h"
#include <QColor>
#include <cstdint>

inline QColor ColorRefToQColor(uint32_t c)
{
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

inline uint32_t QColorToColorRef(const QColor& c)
{
  return static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
         (static_cast<uint32_t>(c.blue()) << 16);
}

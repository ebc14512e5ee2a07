#pragma once
// Number texts of the configuration dialog's controls (GUI thread only).
#include <QString>
#include <QVariant>
#include <string>

#include "platform/NumText.h"

inline std::string TrimmedText(const QString& s) { return s.trimmed().toStdString(); }

// A real number shown rounded in a control: while the control still holds the text that was
// shown (shownText), the exact value that was shown (shownValue), so an untouched control never
// changes its setting; otherwise the typed text's value, or def when it is no number.
inline double ShownOrTypedReal(const QString& text, const QVariant& shownText,
                               const QVariant& shownValue, double def)
{
  if (shownText.isValid() && text == shownText.toString()) return shownValue.toDouble();
  return StrToFloatDef(TrimmedText(text), def);
}

// Text between controls and the fixed character fields of settings and definition records, as
// the periodic, export, alert, user-menu and command windows copy it.
#include <gtest/gtest.h>

#include <string>

#include "interp/forms/FormText.h"

namespace {

TEST(FormText, FieldsKeepTheirBytesAndEncoding)
{
  const struct {
    const char* name;
    const char* before;  // the field's bytes
    QString shown;       // what FieldToText gives
    QString text;        // what comes back from the control
    size_t maxChars;
    std::string after;   // the field's bytes after CopyTextToField
  } cases[] = {
      {"Latin-1 unchanged", "Gr\xFC\xDF", QString::fromUtf8("Grüß"), QString::fromUtf8("Grüß"), 20, "Gr\xFC\xDF"},
      {"Latin-1 edited", "Gr\xFC\xDF", QString::fromUtf8("Grüß"), QString::fromUtf8("Grüße"), 20, "Gr\xFC\xDF" "e"},
      {"Latin-1, a character beyond it", "\xE9", QString::fromUtf8("é"), QString::fromUtf8("é €"), 20,
       "\xC3\xA9 \xE2\x82\xAC"},
      {"UTF-8 edited", "M\xC3\xBCll", QString::fromUtf8("Müll"), QString::fromUtf8("Müller"), 20, "M\xC3\xBCller"},
      {"empty field takes UTF-8", "", "", QString::fromUtf8("ä"), 20, "\xC3\xA4"},
      {"replacement character stored", "\xEF\xBF\xBD", QString(QChar(0xFFFD)), QString(QChar(0xFFFD)), 20,
       "\xEF\xBF\xBD"},
      {"UTF-8 cut before a character", "", "", QString::fromUtf8("aä"), 2, "a"},
      {"Latin-1 cut", "\xFC", QString::fromUtf8("ü"), QString::fromUtf8("üüü"), 2, "\xFC\xFC"},
      {"unchanged but longer than the limit", "abcdef", "abcdef", "abcdef", 3, "abc"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    char field[32];
    std::snprintf(field, sizeof field, "%s", c.before);
    EXPECT_EQ(FieldToText(field), c.shown);
    CopyTextToField(field, c.text, c.maxChars);
    EXPECT_EQ(std::string(field), c.after);
  }
  // A field whose bytes fill it without a terminator reads up to its end.
  char full[4] = {'a', 'b', '\xFC', 'd'};
  EXPECT_EQ(FieldToText(full), QString::fromUtf8("abüd"));
  CopyTextToField(full, QString::fromUtf8("abüd"));
  EXPECT_EQ(std::string(full), "ab\xFC");
}

}  // namespace

// Text files and 8-bit fields of undeclared encoding: UTF-8 when valid, else Latin-1; written
// back in the format they were read in.
#include "platform/TextFileCodec.h"

#include <gtest/gtest.h>

#include <string>

namespace {

QByteArray Bytes(const std::string& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }

TEST(TextFileCodec, DecodesAndRecordsTheFormat)
{
  const struct {
    const char* name;
    std::string bytes;
    QString text;
    TextEncoding encoding;
    bool bom;
    const char* lineBreak;
  } cases[] = {
      {"empty", "", "", TextEncoding::Utf8, false, "\n"},
      {"ASCII, LF", "a\nb\n", "a\nb\n", TextEncoding::Utf8, false, "\n"},
      {"UTF-8, CR LF", "\xC3\xBC\r\nx", QString::fromUtf8("ü\nx"), TextEncoding::Utf8, false, "\r\n"},
      {"UTF-8 mark", "\xEF\xBB\xBF" "a\r\n", "a\n", TextEncoding::Utf8, true, "\r\n"},
      {"Latin-1, CR LF", "Gr\xFC\xDF\r\n", QString::fromUtf8("Grüß\n"), TextEncoding::Latin1, false, "\r\n"},
      {"lone CR", "a\rb\r", "a\nb\n", TextEncoding::Utf8, false, "\r"},
      {"mixed: the first break counts", "a\nb\r\nc\rd", "a\nb\nc\nd", TextEncoding::Utf8, false, "\n"},
      {"cut UTF-8 sequence", "ab\xC3", QString::fromUtf8("abÃ"), TextEncoding::Latin1, false, "\n"},
      {"replacement character in the file", "\xEF\xBF\xBD", QString(QChar(0xFFFD)), TextEncoding::Utf8, false, "\n"},
      {"mark before Latin-1", "\xEF\xBB\xBF\xFC", QString::fromUtf8("ï»¿ü"), TextEncoding::Latin1, false, "\n"},
      {"NUL bytes", std::string("a\0b", 3), QString("a") + QChar(0) + "b", TextEncoding::Utf8, false, "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TextFileFormat f;
    const QString text = DecodeTextFile(Bytes(c.bytes), &f);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(f.encoding, c.encoding);
    EXPECT_EQ(f.bom, c.bom);
    EXPECT_STREQ(f.lineBreak, c.lineBreak);
    // Every file whose line breaks are all alike is written back byte for byte.
    if (std::string(c.name).rfind("mixed", 0) != 0) {
      EXPECT_EQ(EncodeTextFile(text, f), Bytes(c.bytes));
    }
  }
}

TEST(TextFileCodec, EncodesInTheWantedEncodingWhereTheTextAllows)
{
  const struct {
    QString text;
    TextEncoding wanted, used;
    std::string bytes;
  } cases[] = {
      {QString::fromUtf8("Grüße"), TextEncoding::Latin1, TextEncoding::Latin1, "Gr\xFC\xDF" "e"},
      {QString::fromUtf8("Grüße"), TextEncoding::Utf8, TextEncoding::Utf8, "Gr\xC3\xBC\xC3\x9F" "e"},
      {QString::fromUtf8("5 €"), TextEncoding::Latin1, TextEncoding::Utf8, "5 \xE2\x82\xAC"},
      {"plain", TextEncoding::Latin1, TextEncoding::Latin1, "plain"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    TextEncoding used = c.used == TextEncoding::Utf8 ? TextEncoding::Latin1 : TextEncoding::Utf8;
    EXPECT_EQ(EncodeText8Bit(c.text, c.wanted, &used), Bytes(c.bytes));
    EXPECT_EQ(used, c.used);
    TextEncoding back;
    EXPECT_EQ(DecodeText8Bit(Bytes(c.bytes), &back), c.text);
  }
  // A file that must become UTF-8 gets the line breaks it had; its mark only as UTF-8.
  TextFileFormat f;
  f.encoding = TextEncoding::Latin1;
  f.lineBreak = "\r\n";
  f.bom = true;
  EXPECT_EQ(EncodeTextFile(QString::fromUtf8("ä\n€\n"), f), Bytes("\xEF\xBB\xBF\xC3\xA4\r\n\xE2\x82\xAC\r\n"));
  EXPECT_EQ(EncodeTextFile(QString::fromUtf8("ä\n"), f), Bytes("\xE4\r\n"));
}

}  // namespace

#pragma once
// Text files and 8-bit text fields whose encoding nobody declared: command files, the working
// file of the command window, transmit texts, macros and names kept in settings records.
// Such text is UTF-8 when its bytes are valid UTF-8 and Latin-1 otherwise (every byte is a
// Latin-1 character, so nothing is ever turned into a replacement character). Writing back
// uses the encoding that was read, so text that went through an edit control unchanged keeps
// its bytes; text that Latin-1 cannot hold (a character typed by the user) is written as UTF-8
// rather than lose it.
#include <QByteArray>
#include <QString>

enum class TextEncoding { Utf8, Latin1 };

// How a text file was stored; DecodeTextFile records it, EncodeTextFile writes it again.
struct TextFileFormat {
  TextEncoding encoding = TextEncoding::Utf8;
  bool bom = false;             // a UTF-8 byte-order mark stood before the text
  const char* lineBreak = "\n"; // "\n", "\r\n" or "\r": the file's first line break
};

// Bytes to text: UTF-8 when valid (a leading byte-order mark is dropped), else Latin-1.
// *used (may be null) gets the encoding taken.
QString DecodeText8Bit(const QByteArray& bytes, TextEncoding* used = nullptr);

// Text to bytes in the wanted encoding; Latin-1 only when every character is a Latin-1 one,
// else UTF-8. *used (may be null) gets the encoding written.
QByteArray EncodeText8Bit(const QString& text, TextEncoding wanted, TextEncoding* used = nullptr);

// A whole text file: decoded as DecodeText8Bit, every line break (CR LF, a lone CR or LF) made
// '\n'. A final line break stays in the text. *format (may be null) gets what was found.
QString DecodeTextFile(const QByteArray& bytes, TextFileFormat* format);

// The text (lines separated by '\n') as a file in the format: its encoding where the text
// allows it, its byte-order mark, its line break.
QByteArray EncodeTextFile(const QString& text, const TextFileFormat& format);

#pragma once
// The one exception type of the image classes, thrown and caught by value.
//
// Codes (the code travels with the text; callers print both):
//   -1 an encoder could not open or write its output file ("Opening %s failed",
//      "Writing %s failed")
//    1 not a bitmap file                  2 bad format detail (header size, bpp, offsets)
//    3 path not found opening a source    4 file not found, any other open failure
//    5 access denied, not a regular file, empty file
//    6 unsupported content, any libjpeg error
//    8 file type not recognised          10 memory exhausted, bitmap over the size cap
//   11 read past the end of a source, or write past the capacity of a sink
#include "imaging/PLObject.h"

#include <string>

class CTextException : public CPLObject {
public:
  CTextException(int code, const std::string& text) : Code(code), Text(text) {}
  CTextException(const CTextException& other) : CPLObject(other), Code(other.GetCode()), Text(other.GetText()) {}
  CTextException& operator=(const CTextException& other) = default;
  ~CTextException() override = default;

  virtual int GetCode() const { return Code; }
  virtual const char* GetText() const { return Text.c_str(); }

private:
  int Code;
  std::string Text;
};

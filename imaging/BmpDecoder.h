#pragma once
// Reads Windows BMP files: 1, 4 and 8 bpp with a colour table, RLE4 and RLE8, 16 bpp
// (5-5-5 and 5-6-5), 24 and 32 bpp; bottom-up and top-down; information headers of 40
// bytes or longer (V4, V5). Every size is checked before anything is allocated; areas the
// file does not cover come out black.
#include "imaging/PicDecoder.h"
#include "imaging/WinBmp.h"

class CBmpDecoder : public CPicDecoder {
protected:
  void Decode(CBmp* bmp, std::vector<PaletteEntry>& colourTable, int* destBpp,
              CDataSource* src) override;

private:
  struct Header;
  Header ReadHeader(CDataSource* src, std::vector<PaletteEntry>& colourTable);
  int64_t ReadPalette(CDataSource* src, Header& h, std::vector<PaletteEntry>& colourTable);
};

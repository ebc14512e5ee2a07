#pragma once
// The interpreter's spectrum records, its spectrum functions (avrg, noise, peak), the
// reference subtraction and the reference-spectrum text file "*.ref". GUI thread only.
#include <string>

#include "interp/SpectrumBuffer.h"

// The newest spectrum line (copied in by the main window after every line), the reference
// spectrum (bin_width_hz 0: none loaded) and the difference the displays draw.
extern SpectrumBuffer g_LatestSpectrum;
extern SpectrumBuffer g_ReferenceSpectrum;
extern SpectrumBuffer g_DiffSpectrum;

// Zeroes the record, then structSize = 65,600 and bin_width_hz = 1.0.
void CLI_InitSpectrumBuffer(SpectrumBuffer* sb);

// The bin of a frequency as the spectrum functions see it: bin i stands for
// (i + 1) * bin_width_hz (offset_hz not used). -1 for no record, bin width <= 0, or a
// frequency outside the record's bins (NaN and huge values included).
int CLI_FreqToBin(const SpectrumBuffer* sb, double freqHz);

// The frequency range argument "(f1[, f2])" of avrg/noise/peak at the parse position.
// -20 with "Error: avrg: illegal freq range" in g_CliErrorText when a bin is outside
// 0..32767 or the range is reversed; an expression error is returned as it is.
int CLI_ParseFreqRange(int source, const SpectrumBuffer* sb, int* firstBin, int* lastBin);

// Levels over bins first..last (1e300 for a range outside 0..32767 or reversed).
// Noise: lower quartile of the sorted bins * scale_factor + 3.0 (per Hz: - 10 log10 width).
double CLI_CalcNoiseLevel(int source, bool perHz, const SpectrumBuffer* sb, int first, int last);
// Average: linear mean * scale_factor (per Hz: * sqrt(width)); dB: power average
// (per Hz: - 10 log10 width); other units 1e300.
double CLI_CalcAverageLevel(int source, bool perHz, const SpectrumBuffer* sb, int first, int last);
// Index of the highest bin (lowest index on a tie), or -1 for an invalid range.
int CLI_FindPeakBin(const SpectrumBuffer* sb, int first, int last);

// dst = src minus g_ReferenceSpectrum at the same frequency (bin i at offset_hz + i * width);
// bins outside the reference are copied; differences are clamped to -32768..32767.
void CLI_SubtractRefSpectrum(const SpectrumBuffer* src, SpectrumBuffer* dst);

// Reference-spectrum text file (CR LF lines; LF or CR LF read). Loading does not clear the
// record first (missing keys keep their values); the bin count is clamped to 0..32768 and
// bins to -32768..32767. False when the file cannot be opened (record unchanged) or created.
bool CLI_LoadSpectrumFile(const char* fileName, SpectrumBuffer* sb);
bool CLI_SaveSpectrumFile(const char* fileName, const SpectrumBuffer* sb);

// Small buffered reader over a file descriptor (used for the reference file and text imports).
struct CliFileReader {
  int handle;        // file descriptor, -1 when no file
  int eof;           // set once the input has ended (or a read failed)
  char buffer[512];
  int readIndex;
  int fillCount;
  int afterCR;       // the last line ended with CR: a directly following LF belongs to it
};
void CLI_FileReaderInit(CliFileReader* reader);  // no file, empty buffer
// Up to count bytes into dest; returns the bytes delivered.
int CLI_FileRead(CliFileReader* reader, int count, char* dest);
// One line of at most maxLen bytes into dest (maxLen + 1 bytes): CR, LF or CR LF ends the
// line and is dropped; a longer line continues as the next one. Returns its length, or -1
// when no file is open. At the end of the input it returns 0 with eof set.
int CLI_FileReadLine(CliFileReader* reader, int maxLen, char* dest);
// One whole line, however long: CR, LF or CR LF ends it and is dropped; the first maxLen bytes
// go into dest (replaced), the rest of the line is read and dropped, so a long line never turns
// into a second one. Returns the bytes kept, or -1 when no file is open; at the end of the input
// 0 with eof set.
int CLI_FileReadWholeLine(CliFileReader* reader, size_t maxLen, std::string* dest);
// Writes the text; returns the bytes written, 0 for an invalid handle or a failed write.
int CLI_WriteString(int handle, const char* text);

// Sorting used by the noise function and the spectrum alert: items ascending by value
// (quicksort with the middle item as pivot). The flag does not change the order.
struct TSortItem {
  double value;
  int index;
};
void SortByValue(TSortItem* items, int count, int flag);

#pragma once
// Wave-file reader and writer: RIFF WAVE PCM is read and written, headerless raw PCM is
// written; 8 (unsigned) or 16 (signed) bits, 1 or 2 channels, 1 to 192,000 samples per
// second. The object is made once and reused for every file; CloseFile does not delete it.
//
// Reading walks the RIFF chunks in order (odd-sized chunks are followed by their pad byte),
// stops at the first "data" chunk and never reads past its end: a file cut short ends where
// it ends, chunks after the data chunk are never delivered as samples.
// Writing keeps 64-bit sizes; a write that would take the RIFF file past the 4 GB limit of
// its 32-bit size fields is refused (-1) and the file is closed with a valid header for what
// was written so far. On close the header is fixed up (and the pad byte of an odd-sized data
// chunk is added).
//
// No lock of its own: the owners serialise the calls.
#include <cstdint>

class C_WaveIO {
public:
  static constexpr int FORMAT_RAW = 1;
  static constexpr int FORMAT_RIFF = 2;
  static constexpr uint32_t MAX_SAMPLE_RATE = 192000;

  C_WaveIO();
  virtual ~C_WaveIO();  // owners call CloseFile first; a file still open is closed here
  C_WaveIO(const C_WaveIO&) = delete;
  C_WaveIO& operator=(const C_WaveIO&) = delete;

  // Opens a RIFF WAVE PCM file for reading. 1 opened, 0 failed (ErrorText tells why).
  int InOpen(const char* fileName);
  // Reads up to n frames of one channel (a channel index the file does not have reads channel
  // 0) as doubles on the 16-bit scale. Frames converted, -1 on failure or at the end of data.
  int ReadSampleBlocks(int channel, int n, double* dest);
  // Reads up to byteCount bytes of whole frames as they are in the file. Whole frames read,
  // -1 at the end of data or on failure.
  int ReadRawBlocks(void* dest, int byteCount);
  // Positions reading at frame index. 1 positioned, 0 refused.
  int WindToSampleIndex(int64_t index);
  // Frames from the data start to the current offset; -1 without a file.
  int64_t GetCurrentSampleIndex() const;

  // The rate a RIFF header states for samples at `rate` Hz: the header holds whole Hz, so the
  // nearest one, a tie going to the even neighbour (5,512.5 Hz, a halved 11,025, is stored as
  // 5,512, the customary name of that rate). 0 for a rate that rounds to nothing or is not
  // below 192,000.5 (NaN included).
  static uint32_t HeaderSampleRate(double rate);

  // Bytes of one sample frame of PCM with `channels` channels of `bits` bits each: channels x
  // whole bytes per sample. A file whose block align differs is refused ("bad BlockAlign"):
  // readers step by the block align but take channel c from bytes c x bytes per sample on.
  static constexpr int PcmFrameBytes(int channels, int bits) { return channels * ((bits + 7) / 8); }

  // Creates a file for writing: fileFormat FORMAT_RAW or FORMAT_RIFF, bits 8 or 16, channels
  // 1 or 2, rate 1 .. 192,000 Hz (as HeaderSampleRate rounds it). 1 created, 0 failed (refused
  // arguments create no file and set no error text).
  int OutOpen(const char* fileName, int fileFormat, int bitsPerSample, int channels, double sampleRate);
  // Appends byteCount bytes of frames. Whole frames written, -1 on failure (the file is then
  // closed with a valid header) or when the RIFF file would pass 4 GB (refused, closed).
  int WriteSamples(const void* data, int byteCount);

  // Closes the file, fixing up the header of a written RIFF file. 1 if a file was closed.
  int CloseFile();

  int64_t GetCurrentFileOffset() const;
  int GetFileFormat() const { return FileFormat; }
  double GetSampleRate() const { return SampleRate; }
  int GetNrChannels() const { return Format.nChannels; }
  int GetBitsPerSample() const { return Format.wBitsPerSample; }
  double GetFrequencyOffset() const { return 0.0; }
  bool AllParamsIncluded() const { return false; }
  bool IsOpenForRead() const { return OpenedForRead != 0; }
  bool IsOpenForWrite() const { return OpenedForWrite != 0; }
  // Number of sample bytes in the data chunk (read) or written so far (write).
  int64_t GetDataSize() const { return DataSize; }
  const char* GetErrorText() const { return ErrorText; }

  // --- On-disk blocks (little-endian on disk; kept in host order here) ---
  struct RiffHeader {
    char id[4];
    uint32_t size;
    char formType[4];
  };
  struct ChunkHeader {
    char id[4];
    uint32_t size;
  };
  struct PcmFormat {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
  };

  RiffHeader Riff{};
  ChunkHeader Chunk{};
  PcmFormat Format{};
  uint32_t FileTime = 0;      // Unix seconds at creation (write) / file modification (read)
  int FileFormat = 0;         // FORMAT_RAW / FORMAT_RIFF
  char ErrorText[84] = {};
  int OpenedForRead = 0;
  int OpenedForWrite = 0;
  double SampleRate = 0.0;
  int FileHandle = -1;
  int64_t DataStart = 0;      // file offset of the first sample byte
  int64_t CurrentOffset = 0;  // file offset of the next byte to read or write
  int64_t DataSize = 0;

private:
  void SetError(const char* text);
  // Reads up to `bytes` bytes of the data chunk at CurrentOffset; bytes read, -1 on error.
  int64_t ReadData(void* dest, int64_t bytes);
  bool WriteAll(const void* data, int64_t bytes);
  bool WriteAt(int64_t offset, const void* data, int64_t bytes);

  unsigned char* m_readBuffer = nullptr;  // frame bytes for ReadSampleBlocks, grown as needed
  int64_t m_readBufferSize = 0;
};

#include "engine/C_WaveIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/PreciseClock.h"
#include "platform/BoundedFile.h"

namespace {

constexpr int64_t RIFF_LIMIT = 0xFFFFFFFFLL;  // largest value of a 32-bit RIFF size field

uint16_t Get16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const unsigned char* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void Put16(unsigned char* p, uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
void Put32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// Reads until `bytes` are in or the file ends; bytes read, -1 on an error.
int64_t ReadFully(int fd, void* dest, int64_t bytes) {
  int64_t got = 0;
  char* p = static_cast<char*>(dest);
  while (got < bytes) {
    ssize_t r = ::read(fd, p + got, static_cast<size_t>(std::min<int64_t>(bytes - got, 1 << 30)));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    got += r;
  }
  return got;
}

}  // namespace

C_WaveIO::C_WaveIO() { ErrorText[0] = '\0'; }

C_WaveIO::~C_WaveIO() {
  CloseFile();
  std::free(m_readBuffer);
}

void C_WaveIO::SetError(const char* text) {
  std::strncpy(ErrorText, text, sizeof(ErrorText) - 1);
  ErrorText[sizeof(ErrorText) - 1] = '\0';
}

// ---------------------------------------------------------------------------------------
// Reading

int C_WaveIO::InOpen(const char* fileName) {
  CloseFile();
  Riff = RiffHeader{};
  Chunk = ChunkHeader{};
  Format = PcmFormat{};
  SampleRate = 0.0;
  DataStart = CurrentOffset = DataSize = 0;

  // A FIFO or a device in the file's place is refused without waiting in open().
  FileHandle = fileName ? OpenRegularFileForReading(fileName) : -1;
  if (FileHandle < 0) {
    SetError(fileName && errno == ENXIO ? "not a regular file" : "_open failed");
    FileHandle = -1;
    return 0;
  }
  struct stat st {};
  int64_t fileSize = INT64_MAX;
  if (::fstat(FileHandle, &st) == 0) {
    FileTime = static_cast<uint32_t>(st.st_mtime);
    if (S_ISREG(st.st_mode)) fileSize = st.st_size;
  }

  bool failed = false;
  bool haveData = false;
  unsigned char buf[16];
  int64_t pos = 0;  // file position of the walk
  int64_t got = ReadFully(FileHandle, buf, 12);
  if (got > 0) pos = got;
  if (got == 12) {
    std::memcpy(Riff.id, buf, 4);
    Riff.size = Get32(buf + 4);
    std::memcpy(Riff.formType, buf + 8, 4);
    if (std::memcmp(Riff.id, "RIFF", 4) != 0) {
      SetError("no RIFF id");
      failed = true;
    }
    if (std::memcmp(Riff.formType, "WAVE", 4) != 0) {
      SetError("no WAVE id");
      failed = true;
    }
  }

  // Chunk walk up to the first "data" chunk. Every chunk of odd size is followed by a pad
  // byte, which the walk skips.
  while (!failed && !haveData) {
    if (ReadFully(FileHandle, buf, 8) != 8) {
      SetError("bad header size");
      failed = true;
      break;
    }
    pos += 8;
    std::memcpy(Chunk.id, buf, 4);
    Chunk.size = Get32(buf + 4);
    int64_t consumed = 0;
    if (std::memcmp(Chunk.id, "fmt ", 4) == 0 && Chunk.size >= 16) {
      if (ReadFully(FileHandle, buf, 16) != 16) {
        failed = true;
        break;
      }
      Format.wFormatTag = Get16(buf);
      Format.nChannels = Get16(buf + 2);
      Format.nSamplesPerSec = Get32(buf + 4);
      Format.nAvgBytesPerSec = Get32(buf + 8);
      Format.nBlockAlign = Get16(buf + 12);
      Format.wBitsPerSample = Get16(buf + 14);
      consumed = 16;
      pos += 16;
    } else if (std::memcmp(Chunk.id, "data", 4) == 0) {
      haveData = true;
      DataSize = Chunk.size;
      break;
    }
    const int64_t next = pos - consumed + int64_t(Chunk.size) + (Chunk.size & 1);
    if (next != pos) {
      if (::lseek(FileHandle, next, SEEK_SET) != next) {
        SetError("lseek failed");
        failed = true;
        break;
      }
      pos = next;
    }
  }

  if (!failed && haveData) {
    if (Format.wFormatTag != 1) {
      SetError("bad FormatTag");
      failed = true;
    }
    if (Format.nChannels != 1 && Format.nChannels != 2) {
      SetError("bad NrChannels");
      failed = true;
    }
    if (Format.nSamplesPerSec == 0 || Format.nSamplesPerSec > MAX_SAMPLE_RATE) {
      SetError("bad SamplesRate");
      failed = true;
    } else {
      SampleRate = Format.nSamplesPerSec;
    }
    // A 16-bit file that declares block align 1 gets the frame size its channels need.
    if (Format.wBitsPerSample == 16 && Format.nBlockAlign == 1 &&
        (Format.nChannels == 1 || Format.nChannels == 2))
      Format.nBlockAlign = static_cast<uint16_t>(Format.nChannels * 2);
    // The frame must hold exactly its channels' samples (checked where channels and bits are
    // valid; otherwise their own checks report): a shorter frame would make every reader take
    // samples beyond it, a longer one would shift the channels.
    const bool shapeValid = (Format.nChannels == 1 || Format.nChannels == 2) &&
                            Format.wBitsPerSample <= 16;
    if (Format.nBlockAlign == 0 || Format.nBlockAlign > 4 ||
        (shapeValid &&
         Format.nBlockAlign != PcmFrameBytes(Format.nChannels, Format.wBitsPerSample))) {
      SetError("bad BlockAlign");
      failed = true;
    }
    if (Format.wBitsPerSample > 16) {
      SetError("bad BitsPerSample");
      failed = true;
    }
    DataStart = CurrentOffset = pos;
    if (pos < 1) {
      SetError("ftell failed");
      failed = true;
    }
    // A file cut short holds less than its data chunk declares.
    DataSize = std::max<int64_t>(0, std::min(DataSize, fileSize - DataStart));
  }

  if (failed || !haveData) {
    if (ErrorText[0] == '\0') SetError("other 'open' error");
    CloseFile();
    return 0;
  }
  OpenedForRead = 1;
  FileFormat = FORMAT_RIFF;
  return 1;
}

int64_t C_WaveIO::ReadData(void* dest, int64_t bytes) {
  const int64_t left = DataStart + DataSize - CurrentOffset;
  bytes = std::min(bytes, left);
  if (bytes <= 0) return 0;
  int64_t got = ReadFully(FileHandle, dest, bytes);
  if (got > 0) CurrentOffset += got;
  return got;
}

int C_WaveIO::ReadRawBlocks(void* dest, int byteCount) {
  if (!OpenedForRead || FileHandle < 0 || Format.nBlockAlign == 0 || !dest || byteCount < 1)
    return -1;
  int64_t got = ReadData(dest, byteCount);
  if (got <= 0) return -1;
  return static_cast<int>(got / Format.nBlockAlign);
}

int C_WaveIO::ReadSampleBlocks(int channel, int n, double* dest) {
  const int blockAlign = Format.nBlockAlign;
  const int bits = Format.wBitsPerSample;
  if (!OpenedForRead || blockAlign == 0 || bits < 2 || !dest) return -1;
  if (n < 1) return -1;
  n = std::min<int64_t>(n, INT_MAX / blockAlign);
  const int64_t bytes = int64_t(blockAlign) * n;
  if (bytes > m_readBufferSize) {
    void* p = std::realloc(m_readBuffer, static_cast<size_t>(bytes));
    if (!p) return -1;
    m_readBuffer = static_cast<unsigned char*>(p);
    m_readBufferSize = bytes;
  }
  const int frames = std::min(n, ReadRawBlocks(m_readBuffer, static_cast<int>(bytes)));
  if (frames < 0) return -1;
  if (channel < 0 || Format.nChannels < 2 || channel >= Format.nChannels) channel = 0;
  const unsigned char* p = m_readBuffer;
  if (bits <= 8) {
    // Zero point 127: byte 127 reads 0.0, 0 reads -32,767, 255 reads 33,025.
    if (channel + 1 > blockAlign) channel = 0;  // a header whose frames are too short
    for (int i = 0; i < frames; ++i, p += blockAlign)
      dest[i] = (double(p[channel]) - 127.0) * 258.00787401574803;
  } else if (bits <= 16 && blockAlign >= 2) {
    if (2 * channel + 2 > blockAlign) channel = 0;
    const int step = blockAlign & ~1;
    p += 2 * channel;
    for (int i = 0; i < frames; ++i, p += step) dest[i] = static_cast<int16_t>(Get16(p));
  } else {
    return -1;
  }
  return frames;
}

int C_WaveIO::WindToSampleIndex(int64_t index) {
  if (!OpenedForRead || FileHandle < 0 || Format.nBlockAlign == 0 || index < 0) return 0;
  const int64_t position = int64_t(Format.nBlockAlign) * index;
  if (position >= DataSize) return 0;
  CurrentOffset = DataStart + position;
  const off_t at = ::lseek(FileHandle, CurrentOffset, SEEK_SET);
  return at > 0 ? 1 : 0;
}

int64_t C_WaveIO::GetCurrentSampleIndex() const {
  if (FileHandle < 0 || Format.nBlockAlign == 0) return -1;
  const int64_t diff = CurrentOffset - DataStart;
  return diff >= 0 ? diff / Format.nBlockAlign : diff;
}

int64_t C_WaveIO::GetCurrentFileOffset() const {
  return (OpenedForRead || OpenedForWrite) ? CurrentOffset : 0;
}

// ---------------------------------------------------------------------------------------
// Writing

bool C_WaveIO::WriteAll(const void* data, int64_t bytes) {
  const char* p = static_cast<const char*>(data);
  while (bytes > 0) {
    ssize_t w = ::write(FileHandle, p, static_cast<size_t>(std::min<int64_t>(bytes, 1 << 30)));
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (w == 0) return false;
    p += w;
    bytes -= w;
  }
  return true;
}

bool C_WaveIO::WriteAt(int64_t offset, const void* data, int64_t bytes) {
  if (::lseek(FileHandle, offset, SEEK_SET) != offset) return false;
  return WriteAll(data, bytes);
}

uint32_t C_WaveIO::HeaderSampleRate(double rate) {
  if (!(rate >= 0.0 && rate < MAX_SAMPLE_RATE + 0.5)) return 0;
  double whole = std::floor(rate);
  const double frac = rate - whole;
  if (frac > 0.5 || (frac == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return static_cast<uint32_t>(whole);
}

int C_WaveIO::OutOpen(const char* fileName, int fileFormat, int bitsPerSample, int channels,
                      double sampleRate) {
  CloseFile();
  SampleRate = sampleRate;
  const uint32_t rate = HeaderSampleRate(sampleRate);
  if ((fileFormat != FORMAT_RAW && fileFormat != FORMAT_RIFF) ||
      (bitsPerSample != 8 && bitsPerSample != 16) || (channels != 1 && channels != 2) ||
      rate < 1 || rate > MAX_SAMPLE_RATE || !fileName)
    return 0;
  DataStart = CurrentOffset = DataSize = 0;
  FileFormat = fileFormat;

  FileHandle = ::open(fileName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (FileHandle < 0) {
    FileHandle = -1;
    return 0;
  }
  FileTime = static_cast<uint32_t>(GetPreciseUnixTime(false));

  Format.wFormatTag = 1;
  Format.nChannels = static_cast<uint16_t>(channels);
  Format.nSamplesPerSec = rate;
  Format.wBitsPerSample = static_cast<uint16_t>(bitsPerSample);
  Format.nBlockAlign = static_cast<uint16_t>(channels * ((bitsPerSample + 7) / 8));
  Format.nAvgBytesPerSec = Format.nBlockAlign * rate;

  if (fileFormat == FORMAT_RIFF) {
    std::memcpy(Riff.id, "RIFF", 4);
    Riff.size = 44;
    std::memcpy(Riff.formType, "WAVE", 4);
    unsigned char h[44];
    std::memcpy(h, "RIFF", 4);
    Put32(h + 4, Riff.size);
    std::memcpy(h + 8, "WAVE", 4);
    std::memcpy(h + 12, "fmt ", 4);
    Put32(h + 16, 16);
    Put16(h + 20, Format.wFormatTag);
    Put16(h + 22, Format.nChannels);
    Put32(h + 24, Format.nSamplesPerSec);
    Put32(h + 28, Format.nAvgBytesPerSec);
    Put16(h + 32, Format.nBlockAlign);
    Put16(h + 34, Format.wBitsPerSample);
    std::memcpy(h + 36, "data", 4);
    Put32(h + 40, 0);
    std::memcpy(Chunk.id, "data", 4);
    Chunk.size = 0;
    if (!WriteAll(h, sizeof(h))) {
      CloseFile();
      return 0;
    }
    DataStart = CurrentOffset = sizeof(h);
  }
  OpenedForWrite = 1;
  return 1;
}

int C_WaveIO::WriteSamples(const void* data, int byteCount) {
  if (!OpenedForWrite || FileHandle < 0 || Format.nBlockAlign == 0 || Format.wBitsPerSample < 2 ||
      byteCount < 1 || !data)
    return -1;
  if (FileFormat == FORMAT_RIFF) {
    // The RIFF size (file length - 8, with the pad byte of an odd data chunk) must fit its
    // 32-bit field: refuse rather than wrap, and close with a header for what is there.
    const int64_t newEnd = std::max(CurrentOffset + byteCount, DataStart + DataSize);
    const int64_t newSize = newEnd - DataStart;
    if (DataStart + newSize + (newSize & 1) - 8 > RIFF_LIMIT) {
      CloseFile();
      return -1;
    }
  }
  if (!WriteAll(data, byteCount)) {
    // A write cut short (a full disk, the process's file-size limit) may have left part of the
    // block behind the samples counted: it is cut off, so the file ends where its header says.
    // Should the cut fail, the header still counts only the whole blocks; a reader stops there.
    if (CurrentOffset == DataStart + DataSize) {
      const int saved = errno;  // the caller reports the write's error, not this one's
      [[maybe_unused]] const int cut = ::ftruncate(FileHandle, CurrentOffset);
      errno = saved;
    }
    CloseFile();
    return -1;
  }
  CurrentOffset += byteCount;
  DataSize = std::max(DataSize, CurrentOffset - DataStart);
  return byteCount / Format.nBlockAlign;
}

int C_WaveIO::CloseFile() {
  if (OpenedForWrite && FileHandle >= 0) {
    if (FileFormat == FORMAT_RIFF && DataStart > 8) {
      const int64_t pad = DataSize & 1;
      bool ok = true;
      if (pad) {
        const unsigned char zero = 0;
        ok = WriteAt(DataStart + DataSize, &zero, 1);
      }
      unsigned char h[12];
      std::memcpy(h, "data", 4);
      Chunk.size = static_cast<uint32_t>(DataSize);
      Put32(h + 4, Chunk.size);
      if (ok) ok = WriteAt(DataStart - 8, h, 8);
      if (ok) {
        Riff.size = static_cast<uint32_t>(DataStart + DataSize + pad - 8);
        std::memcpy(h, "RIFF", 4);
        Put32(h + 4, Riff.size);
        std::memcpy(h + 8, "WAVE", 4);
        WriteAt(0, h, 12);
      }
    }
    ::close(FileHandle);
    FileHandle = -1;
    OpenedForWrite = 0;
    OpenedForRead = 0;
    return 1;
  }
  int result = 0;
  if (FileHandle >= 0) {
    ::close(FileHandle);
    result = 1;
  }
  FileHandle = -1;
  OpenedForRead = OpenedForWrite = 0;
  return result;
}

// The reference-spectrum text file "*.ref" and the small buffered reader it is read with.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "interp/CliEval.h"
#include "interp/CliSpectrum.h"
#include "platform/BoundedFile.h"

namespace {

// Opens a file for exclusive use (no other process holds it while we read or write); a file
// opened for writing is emptied only once it is ours.
int OpenExclusive(const char* fileName, int flags)
{
  // A file to read must be a regular one, opened without waiting on a FIFO.
  const int fd = (flags & O_ACCMODE) == O_RDONLY ? OpenRegularFileForReading(fileName)
                                                 : open(fileName, flags | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  struct stat st;
  const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ((flags & O_WRONLY) && regular && ftruncate(fd, 0) != 0)) {
    close(fd);
    return -1;
  }
  return fd;
}

// "%lf": six decimals, always with '.', whatever the process locale.
void AppendFixed6(std::string& out, double v)
{
  char buf[400];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
  out.append(buf, res.ptr);
}

void AppendKey(std::string& out, const char* key, double v)
{
  out += key;
  out += '=';
  AppendFixed6(out, v);
  out += "\r\n";
}

void AppendKey(std::string& out, const char* key, int v)
{
  out += key;
  out += '=';
  out += std::to_string(v);
  out += "\r\n";
}

// Truncation toward zero, clamped to [lo, hi]; NaN gives 0.
int ClampedInt(double v, int lo, int hi)
{
  if (std::isnan(v)) return 0;
  const double t = std::trunc(v);
  if (t <= lo) return lo;
  if (t >= hi) return hi;
  return static_cast<int>(t);
}

}  // namespace

void CLI_FileReaderInit(CliFileReader* reader)
{
  std::memset(reader, 0, sizeof *reader);
  reader->handle = -1;
}

int CLI_FileRead(CliFileReader* reader, int count, char* dest)
{
  int delivered = 0;
  while (delivered < count) {
    if (reader->readIndex >= reader->fillCount) {
      if (reader->handle < 0 || reader->eof) break;
      ssize_t n;
      do {
        n = read(reader->handle, reader->buffer, sizeof reader->buffer);
      } while (n < 0 && errno == EINTR);
      reader->readIndex = 0;
      reader->fillCount = 0;
      if (n <= 0) {  // end of the input, or a failed read: the input ends here either way
        reader->eof = 1;
        break;
      }
      reader->fillCount = static_cast<int>(n);
    }
    dest[delivered++] = reader->buffer[reader->readIndex++];
  }
  return delivered;
}

namespace {

// The bytes of one line up to its end (CR, LF or CR LF, dropped) to keep(c), which returns false
// to stop before the next byte.
template <typename Keep>
void ReadLineBytes(CliFileReader* reader, Keep keep)
{
  char c;
  while (CLI_FileRead(reader, 1, &c) == 1) {
    if (c == '\n' && reader->afterCR) {  // the LF of a CR LF pair
      reader->afterCR = 0;
      continue;
    }
    reader->afterCR = (c == '\r');
    if (c == '\r' || c == '\n') break;
    if (!keep(c)) break;
  }
}

}  // namespace

int CLI_FileReadLine(CliFileReader* reader, int maxLen, char* dest)
{
  if (reader->handle < 0) return -1;
  int len = 0;
  if (len < maxLen) {
    ReadLineBytes(reader, [&](char c) {
      dest[len++] = c;
      return len < maxLen;
    });
  }
  dest[len] = '\0';
  return len;
}

int CLI_FileReadWholeLine(CliFileReader* reader, size_t maxLen, std::string* dest)
{
  dest->clear();
  if (reader->handle < 0) return -1;
  ReadLineBytes(reader, [&](char c) {
    if (dest->size() < maxLen) dest->push_back(c);
    return true;
  });
  return static_cast<int>(dest->size());
}

int CLI_WriteString(int handle, const char* text)
{
  if (handle < 0 || !text) return 0;
  const size_t total = std::strlen(text);
  size_t done = 0;
  while (done < total) {
    const ssize_t n = write(handle, text + done, total - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return 0;
    done += static_cast<size_t>(n);
  }
  return static_cast<int>(done);
}

bool CLI_SaveSpectrumFile(const char* fileName, const SpectrumBuffer* sb)
{
  if (!fileName || !sb) return false;
  std::string text = "; Saved by Vartumo\r\n; Original filename: \"";
  text += fileName;
  text += "\"\r\n";
  AppendKey(text, "time", sb->time);
  AppendKey(text, "bin_width_hz", sb->bin_width_hz);
  AppendKey(text, "offset_hz", sb->offset_hz);
  AppendKey(text, "nr_of_bins", static_cast<int>(sb->nr_of_bins));
  AppendKey(text, "scale_unit", static_cast<int>(sb->scale_unit));
  AppendKey(text, "scale_factor", sb->scale_factor);
  AppendKey(text, "scale_offset", sb->scale_offset);
  AppendKey(text, "avrg_count", static_cast<int>(sb->avrg_count));
  text += "array=\r\n";
  const int n = sb->nr_of_bins < 0 ? 0 : (sb->nr_of_bins > SPECTRUM_MAX_BINS ? SPECTRUM_MAX_BINS : sb->nr_of_bins);
  for (int i = 0; i < n; ++i) {
    text += std::to_string(sb->bins[i]);
    text += "\r\n";
  }
  text += "end\r\n";

  const int fd = OpenExclusive(fileName, O_WRONLY | O_CREAT);
  if (fd < 0) return false;
  // A short write (full disk) is a failure, not a saved file.
  const bool ok = CLI_WriteString(fd, text.c_str()) == static_cast<int>(text.size());
  const bool closed = close(fd) == 0;
  return ok && closed;
}

bool CLI_LoadSpectrumFile(const char* fileName, SpectrumBuffer* sb)
{
  if (!fileName || !sb) return false;
  CliFileReader reader;
  CLI_FileReaderInit(&reader);
  reader.handle = OpenExclusive(fileName, O_RDONLY);
  if (reader.handle < 0) return false;

  auto inputEnded = [&] { return reader.eof && reader.readIndex >= reader.fillCount; };
  char line[300];
  int emptyRun = 0;
  bool sawArray = false;
  while (!sawArray && emptyRun < 10) {
    const int len = CLI_FileReadLine(&reader, 299, line);
    if (len <= 0) {
      if (inputEnded()) break;
      ++emptyRun;
      continue;
    }
    emptyRun = 0;
    if (line[0] < 'a' || line[0] > 'z') continue;  // comments and anything else
    static const char* const keys[] = {"time",         "bin_width_hz", "offset_hz",
                                       "nr_of_bins",   "scale_unit",   "scale_factor",
                                       "scale_offset", "avrg_count",   "array"};
    for (int k = 0; k < 9; ++k) {
      const size_t n = std::strlen(keys[k]);
      if (std::strncmp(line, keys[k], n) != 0) continue;
      const char* p = line + n;
      if (*p == '=') ++p;
      const double v = CLI_ParseNumberAt(&p);
      switch (k) {
        case 0: sb->time = v; break;
        case 1: sb->bin_width_hz = v; break;
        case 2: sb->offset_hz = v; break;
        case 3: sb->nr_of_bins = ClampedInt(v, 0, SPECTRUM_MAX_BINS); break;
        case 4: sb->scale_unit = ClampedInt(v, -2147483647 - 1, 2147483647); break;
        case 5: sb->scale_factor = v; break;
        case 6: sb->scale_offset = v; break;
        case 7: sb->avrg_count = ClampedInt(v, -2147483647 - 1, 2147483647); break;
        default: sawArray = true; break;
      }
      break;
    }
  }
  if (sawArray) {
    for (int i = 0; i < sb->nr_of_bins && i < SPECTRUM_MAX_BINS && !inputEnded(); ++i) {
      const int len = CLI_FileReadLine(&reader, 299, line);
      if (len > 0) {
        const char* p = line;
        sb->bins[i] = static_cast<int16_t>(ClampedInt(CLI_ParseNumberAt(&p), -32768, 32767));
      }
    }
  }
  close(reader.handle);
  return true;
}

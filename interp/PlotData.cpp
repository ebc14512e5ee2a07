// The plot history's ring, in memory or in a memory-mapped plot file.
#include "interp/PlotData.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/DebugU1.h"
#include "engine/MiscUtils.h"

const char PLOT_FILE_MAGIC[] = "T_PlotFileHeader";
const char PLOT_CHANNEL_MAGIC[] = "T_PlotDataChannelInfo";

T_PlotData g_PlotData;

namespace {

constexpr int kLevelError = 20;
constexpr int kLevelWarning = 10;

uint32_t DataOffsetFor(uint32_t channels)
{
  return PLOT_HEADER_SIZE + PLOT_CHANNEL_INFO_SIZE * channels + PLOT_RESERVED_BYTES;
}

uint32_t StrideFor(uint32_t channels) { return 8 + 24 * channels; }

bool MagicMatches(const T_PlotFileHeader& hdr)
{
  return strncmp(hdr.Magic, PLOT_FILE_MAGIC, sizeof hdr.Magic) == 0;
}

// Largest record count whose mapping stays below 2^31 bytes with the given data offset.
int MaxRecordsForMapping(uint32_t dataOffset)
{
  return static_cast<int>((PLOT_MAX_MAPPING - 1 - dataOffset) / PLOT_RECORD_SIZE);
}

// Writes all of buf at offset; false on a failed or short write.
bool WriteAt(int fd, const void* buf, size_t len, off_t offset)
{
  const char* p = static_cast<const char*>(buf);
  while (len > 0) {
    const ssize_t n = pwrite(fd, p, len, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    len -= static_cast<size_t>(n);
    offset += n;
  }
  return true;
}

// Whether the mapped file is now shorter than its mapping (another program cut it): touching a
// page beyond its end would raise SIGBUS. A failed fstat counts as unchanged.
bool MappingShrank(const T_PlotData* pd, uint64_t* fileSize)
{
  if (pd->State != PLOT_STATE_FILE || !pd->View || pd->FileHandle < 0) return false;
  struct stat st{};
  if (fstat(pd->FileHandle, &st) != 0 || static_cast<uint64_t>(st.st_size) >= pd->MappingSize) return false;
  if (fileSize) *fileSize = static_cast<uint64_t>(st.st_size);
  return true;
}

// Closes the descriptor (which also drops its lock) after a failed open.
void DropFile(T_PlotData* pd)
{
  if (pd->FileHandle >= 0) close(pd->FileHandle);
  pd->FileHandle = -1;
  pd->MappingHandle = -1;
  pd->State = PLOT_STATE_CLOSED;
  pd->Header.MaxRecords = 0;
}

}  // namespace

void Plot_ClampInt(int* value, int lower, int upper)
{
  if (*value < lower) *value = lower;
  if (*value > upper) *value = upper;
}

long long PlotData_CalcFileSize(int records, int channels)
{
  return 1120LL + 200LL * channels + static_cast<long long>(records) * (8LL + 24LL * channels);
}

void PlotData_ClearRecord(T_PlotDataRecord* rec) { std::memset(rec, 0, sizeof *rec); }

void PlotData_InitFileHeader(T_PlotFileHeader* hdr, int records, int channels)
{
  std::memset(hdr, 0, sizeof *hdr);
  hdr->HeaderLength = PLOT_HEADER_SIZE;
  hdr->StructSize = PLOT_HEADER_SIZE;
  std::memcpy(hdr->Magic, PLOT_FILE_MAGIC, sizeof PLOT_FILE_MAGIC);
  hdr->DataOffset = DataOffsetFor(static_cast<uint32_t>(channels));
  hdr->RecordSize = PLOT_RECORD_SIZE;
  hdr->MaxRecords = static_cast<uint32_t>(records);
  hdr->Channels = static_cast<uint32_t>(channels);
}

bool PlotData_CheckFileHeader(T_PlotFileHeader* hdr, int records, int channels)
{
  // Every field the ring and the mapping rely on, in 64-bit arithmetic.
  const uint64_t ch = hdr->Channels;
  const uint64_t maxRec = hdr->MaxRecords;
  const bool valid = hdr->HeaderLength == PLOT_HEADER_SIZE && hdr->StructSize == PLOT_HEADER_SIZE &&
                     MagicMatches(*hdr) && ch >= 1 && ch <= PLOT_MAX_CHANNELS &&
                     hdr->DataOffset == DataOffsetFor(static_cast<uint32_t>(ch)) &&
                     hdr->RecordSize == PLOT_RECORD_SIZE && maxRec >= 1 &&
                     hdr->DataOffset + uint64_t{PLOT_RECORD_SIZE} * maxRec < PLOT_MAX_MAPPING &&
                     hdr->WriteIndex <= hdr->HighestIndex && hdr->HighestIndex < maxRec;
  if (!valid) PlotData_InitFileHeader(hdr, records, channels);
  return valid;
}

bool PlotData_ReadFileHeader(int fileHandle, T_PlotFileHeader* hdr)
{
  size_t got = 0;
  char* p = reinterpret_cast<char*>(hdr);
  while (got < sizeof *hdr) {
    const ssize_t n = pread(fileHandle, p + got, sizeof *hdr - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got == sizeof *hdr;
}

void PlotData_InitChannelInfo(T_PlotDataChannelInfo* info, const T_WatchList* wl, int channel,
                              T_PlotData* /*pd*/)
{
  std::memset(info, 0, sizeof *info);
  info->StructSize = PLOT_CHANNEL_INFO_SIZE;
  std::memcpy(info->Magic, PLOT_CHANNEL_MAGIC, sizeof PLOT_CHANNEL_MAGIC);
  info->ChannelNumber = static_cast<uint32_t>(channel + 1);
  if (wl && channel >= 0 && channel < WATCH_MAX_CHANNELS) {
    // The titles are at most 15 characters; strnlen guards a title without a terminator.
    const size_t n = strnlen(wl->Titles[channel], WATCH_TITLE_SIZE - 1);
    std::memcpy(info->ShortName, wl->Titles[channel], n);
    std::memcpy(info->Name, wl->Titles[channel], n);
    info->ScaleMin = wl->Pens[channel].ScaleMin;
    info->ScaleMax = wl->Pens[channel].ScaleMax;
  }
}

void PlotData_FreeMemory(T_PlotData* pd)
{
  if (pd->State != PLOT_STATE_MEMORY) return;
  std::free(pd->Data);
  pd->State = PLOT_STATE_CLOSED;
  pd->Data = nullptr;
  pd->DataBytes = 0;
  pd->RecordStride = 0;
  pd->Header.MaxRecords = 0;
}

void PlotData_CloseFile(T_PlotData* pd)
{
  if (pd->State == PLOT_STATE_FILE) {
    // A file cut short meanwhile keeps what is left of it: its header page may be gone.
    if (pd->Writable && pd->HeaderDirty && pd->View && !MappingShrank(pd, nullptr)) {
      std::memcpy(pd->View, &pd->Header, sizeof pd->Header);
      pd->HeaderDirty = 0;
    }
    pd->State = PLOT_STATE_CLOSED;
    if (pd->View && munmap(pd->View, pd->MappingSize) != 0)
      DebugPrintf(kLevelError, 0.0, "Can't unmap view of file, Windoze says \"%s\".",
                  GetWinErrorText(errno));
    pd->View = nullptr;
    pd->Data = nullptr;
    pd->DataBytes = 0;
    pd->RecordStride = 0;
  }
  // There is no separate mapping object on Linux; the handle only keeps its closed value.
  pd->MappingHandle = -1;
  if (pd->FileHandle >= 0) {
    if (close(pd->FileHandle) != 0)
      DebugPrintf(kLevelError, 0.0, "Can't close plot file, Windoze says \"%s\".",
                  GetWinErrorText(errno));
    pd->FileHandle = -1;
  }
  pd->Header.MaxRecords = 0;
}

void PlotData_AllocMemory(T_PlotData* pd, int records)
{
  PlotData_FreeMemory(pd);
  PlotData_CloseFile(pd);
  if (pd->Header.Channels > PLOT_MAX_CHANNELS) pd->Header.Channels = PLOT_MAX_CHANNELS;
  pd->RecordStride = StrideFor(pd->Header.Channels);
  pd->Header.HighestIndex = 0;
  pd->Header.MaxRecords = 0;
  // A block of 2^31 bytes or more counts as an allocation failure (as the file's mapping).
  const uint64_t bytes = records > 0 ? uint64_t{pd->RecordStride} * static_cast<uint64_t>(records) : 0;
  void* block = (records > 0 && bytes < PLOT_MAX_MAPPING) ? std::calloc(1, bytes) : nullptr;
  if (!block) {
    pd->RecordStride = 0;
    return;
  }
  pd->Data = static_cast<uint8_t*>(block);
  pd->DataBytes = bytes;
  pd->State = PLOT_STATE_MEMORY;
  pd->Header.MaxRecords = static_cast<uint32_t>(records);
  pd->Header.WriteIndex = 0;
}

bool PlotData_CheckMapping(T_PlotData* pd)
{
  uint64_t fileSize = 0;
  if (!MappingShrank(pd, &fileSize)) return true;

  // Cut short by someone else: every page beyond the new end would fault on access. The whole
  // records that still lie inside the file move into a memory block with the same ring state;
  // the rest of the slots start cleared (time 0, never drawn).
  const T_PlotFileHeader header = pd->Header;
  const uint32_t stride = pd->RecordStride;
  const uint64_t bytes = uint64_t{stride} * header.MaxRecords;
  uint64_t keep = fileSize > header.DataOffset ? fileSize - header.DataOffset : 0;
  keep = std::min(keep, std::min(bytes, pd->DataBytes));
  if (stride > 0) keep -= keep % stride;
  void* block = bytes > 0 && bytes < PLOT_MAX_MAPPING ? std::calloc(1, bytes) : nullptr;
  if (block && keep > 0) std::memcpy(block, pd->Data, keep);

  // The mapping goes without writing the header back: its page may lie beyond the end too.
  pd->HeaderDirty = 0;
  munmap(pd->View, pd->MappingSize);
  pd->View = nullptr;
  pd->Data = nullptr;
  pd->DataBytes = 0;
  pd->RecordStride = 0;
  pd->State = PLOT_STATE_CLOSED;
  PlotData_CloseFile(pd);
  if (block) {
    pd->Header = header;
    pd->Data = static_cast<uint8_t*>(block);
    pd->DataBytes = bytes;
    pd->RecordStride = stride;
    pd->State = PLOT_STATE_MEMORY;
  }
  DebugPrintf(kLevelError, 0.0,
              "The plot file shrank to %llu bytes while in use; the plot history goes on in memory (%llu records kept).",
              static_cast<unsigned long long>(fileSize),
              static_cast<unsigned long long>(stride > 0 ? keep / stride : 0));
  return false;
}

namespace {

bool SlotInRange(const T_PlotData* pd, int index)
{
  return index >= 0 && static_cast<uint32_t>(index) < pd->Header.MaxRecords && pd->Data &&
         pd->RecordStride <= sizeof(T_PlotDataRecord) &&
         (static_cast<uint64_t>(index) + 1) * pd->RecordStride <= pd->DataBytes;
}

bool PutRecordChecked(T_PlotData* pd, int index, const T_PlotDataRecord* rec)
{
  if (!SlotInRange(pd, index)) return false;
  std::memcpy(pd->Data + static_cast<uint64_t>(index) * pd->RecordStride, rec, pd->RecordStride);
  return true;
}

}  // namespace

bool PlotData_GetRecord(T_PlotData* pd, int index, T_PlotDataRecord* rec)
{
  PlotData_CheckMapping(pd);
  if (!SlotInRange(pd, index)) {
    PlotData_ClearRecord(rec);
    return false;
  }
  std::memcpy(rec, pd->Data + static_cast<uint64_t>(index) * pd->RecordStride, pd->RecordStride);
  return true;
}

bool PlotData_PutRecord(T_PlotData* pd, int index, const T_PlotDataRecord* rec)
{
  PlotData_CheckMapping(pd);
  return PutRecordChecked(pd, index, rec);
}

bool PlotData_StoreRecord(T_PlotData* pd, const T_PlotDataRecord* rec, bool advance)
{
  PlotData_CheckMapping(pd);
  T_PlotFileHeader& h = pd->Header;
  int index = h.WriteIndex < h.MaxRecords ? static_cast<int>(h.WriteIndex) : 0;
  if (advance && h.MaxRecords > 0) {
    index = static_cast<int>((static_cast<uint64_t>(index) + 1) % h.MaxRecords);
    h.WriteIndex = static_cast<uint32_t>(index);
    if (h.HighestIndex <= h.WriteIndex) h.HighestIndex = h.WriteIndex;
    pd->HeaderDirty = 1;
  }
  const bool ok = PutRecordChecked(pd, index, rec);
  // The header image goes into the mapping after the record: a reader of the file never sees
  // an index whose record is not there yet.
  if (pd->State == PLOT_STATE_FILE && pd->Writable && pd->View)
    std::memcpy(pd->View, &pd->Header, sizeof pd->Header);
  return ok;
}

int PlotData_IndexFromAge(const T_PlotData* pd, int age)
{
  const long long maxRec = pd->Header.MaxRecords;
  const long long highest = pd->Header.HighestIndex;
  const long long write = pd->Header.WriteIndex;
  // Records in the ring: slots 1..HighestIndex on the first pass; once the ring has wrapped
  // (the newest below the highest) slot 0 too, so the way back from slot 0 leads to
  // HighestIndex, the slot after it.
  const long long inUse = write < highest ? highest + 1 : highest;
  long long a = age < 0 ? 0 : age;
  if (a >= maxRec) a = maxRec - 1;
  if (a >= inUse) a = inUse - 1;
  long long i = write - a;
  if (i < 0) i += highest + 1;
  if (i > highest) i = highest;
  if (i < 0) i = 0;
  return static_cast<int>(i);
}

bool PlotData_OpenFile(T_PlotData* pd, const T_WatchList* wl, const char* fileName, int records,
                       int channels, int writable)
{
  if (records < PLOT_MIN_RECORDS) records = PLOT_MIN_RECORDS;
  if (channels < 1) channels = 1;
  if (channels > PLOT_MAX_CHANNELS) {
    DebugPrintf(kLevelError, 0.0, "Number of plotter channels limited from %d to %d .", channels,
                PLOT_MAX_CHANNELS);
    channels = PLOT_MAX_CHANNELS;
  }
  // A record count whose mapping would reach 2^31 bytes is cut to the largest that fits.
  const int maxFit = MaxRecordsForMapping(DataOffsetFor(PLOT_MAX_CHANNELS));
  if (records > maxFit) records = maxFit;

  PlotData_FreeMemory(pd);
  PlotData_CloseFile(pd);
  pd->Header.MaxRecords = 0;
  pd->Header.HighestIndex = 0;
  pd->View = nullptr;
  pd->Data = nullptr;
  pd->DataBytes = 0;
  pd->RecordStride = 0;
  pd->Writable = writable;
  pd->HeaderDirty = 0;

  for (int i = 0; i < PLOT_MAX_CHANNELS; ++i) {
    if (i < channels) {
      PlotData_InitChannelInfo(&pd->ChannelInfo[i], wl, i, pd);
      pd->ChannelInfo[i].FileOffset = PLOT_HEADER_SIZE + PLOT_CHANNEL_INFO_SIZE * static_cast<uint32_t>(i);
    } else {
      std::memset(&pd->ChannelInfo[i], 0, sizeof pd->ChannelInfo[i]);
    }
  }

  if (!fileName) fileName = "";
  const int fd = open(fileName, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    DebugPrintf(kLevelError, 0.0, "Can't create \"%s\", Windoze says \"%s\".", fileName,
                GetWinErrorText(errno));
    return false;
  }
  pd->FileHandle = fd;
  // Exclusive use: a second open (this or another instance) fails as the open itself would.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    DropFile(pd);
    DebugPrintf(kLevelError, 0.0, "Can't create \"%s\", Windoze says \"%s\".", fileName,
                GetWinErrorText(err));
    return false;
  }

  struct stat st{};
  const off_t size = fstat(fd, &st) == 0 ? st.st_size : 0;
  pd->FileSizeAtOpen = size > 0xFFFFFFFF ? 0xFFFFFFFFu : static_cast<uint32_t>(size);

  bool newFile = false;
  bool corrected = false;
  if (size == 0) {
    // Only an empty file is new: header and zeroed reserved area go in before the extension.
    PlotData_InitFileHeader(&pd->Header, records, channels);
    newFile = true;
  } else {
    if (!PlotData_ReadFileHeader(fd, &pd->Header) || !MagicMatches(pd->Header)) {
      // Foreign, or too short for a header: never written, extended or mapped.
      std::memset(&pd->Header, 0, sizeof pd->Header);
      DropFile(pd);
      DebugPrintf(kLevelError, 0.0, "\"%s\" is no plot file, it was left unchanged.", fileName);
      return false;
    }
    corrected = !PlotData_CheckFileHeader(&pd->Header, records, channels);
    if (corrected)
      DebugPrintf(kLevelWarning, 0.0, "Invalid plot file header had to be corrected !");
  }

  bool grown = false;
  if (writable && pd->Header.MaxRecords < static_cast<uint32_t>(records)) {
    pd->Header.MaxRecords = static_cast<uint32_t>(records);
    grown = true;
  }
  // The checked header (or the fresh one) keeps the mapping below 2^31 bytes.
  pd->MappingSize = PLOT_RECORD_SIZE * pd->Header.MaxRecords + pd->Header.DataOffset;

  if (newFile) {
    static const uint8_t zeros[PLOT_CHANNEL_INFO_SIZE * PLOT_MAX_CHANNELS + PLOT_RESERVED_BYTES] = {};
    if (!WriteAt(fd, &pd->Header, sizeof pd->Header, 0) ||
        !WriteAt(fd, zeros, pd->Header.DataOffset - PLOT_HEADER_SIZE, PLOT_HEADER_SIZE)) {
      const int err = errno;
      DropFile(pd);
      DebugPrintf(kLevelError, 0.0, "Can't create \"%s\", Windoze says \"%s\".", fileName,
                  GetWinErrorText(err));
      return false;
    }
    pd->FileSizeAtOpen = PLOT_HEADER_SIZE;
  }

  // Reserve the blocks now: a full disk fails here, not as SIGBUS on a later store.
  if (static_cast<uint64_t>(size) < pd->MappingSize) {
    if (posix_fallocate(fd, 0, pd->MappingSize) != 0) {
      DropFile(pd);
      DebugPrintf(kLevelError, 0.0, "Could not create file mapping object for \"%s\".", fileName);
      return false;
    }
  }
  void* view = mmap(nullptr, pd->MappingSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (view == MAP_FAILED) {
    DropFile(pd);
    DebugPrintf(kLevelError, 0.0, "Could not map view of file \"%s\".", fileName);
    return false;
  }
  pd->View = static_cast<uint8_t*>(view);
  pd->Data = pd->View + pd->Header.DataOffset;
  pd->DataBytes = pd->MappingSize - pd->Header.DataOffset;
  pd->RecordStride = StrideFor(pd->Header.Channels);
  pd->State = PLOT_STATE_FILE;

  if (writable) {
    // A grown ring reaches the file at once (the rest of a corrected header with the first store).
    if (grown && !corrected && !newFile)
      reinterpret_cast<T_PlotFileHeader*>(pd->View)->MaxRecords = pd->Header.MaxRecords;
    if (pd->FileSizeAtOpen < PLOT_HEADER_SIZE) {
      std::memcpy(pd->View, &pd->Header, sizeof pd->Header);
      pd->FileSizeAtOpen = PLOT_HEADER_SIZE;
    }
    if (pd->FileSizeAtOpen < pd->Header.DataOffset)
      std::memset(pd->View + pd->FileSizeAtOpen, 0, pd->Header.DataOffset - pd->FileSizeAtOpen);
  }
  return true;
}

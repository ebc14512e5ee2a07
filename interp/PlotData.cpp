// The plot history's ring, in memory or in a memory-mapped plot file.
#include "interp/PlotData.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/DebugU1.h"
#include "engine/MiscUtils.h"
#include "platform/MappedAccess.h"

const char PLOT_FILE_MAGIC[] = "T_PlotFileHeader";
const char PLOT_CHANNEL_MAGIC[] = "T_PlotDataChannelInfo";

T_PlotData g_PlotData;

namespace {

std::atomic<long long> g_SizeChecks{0};

// The size of the open plot file (fstat); false when it cannot be read. Every size check of a
// plot file goes through here and is counted.
bool PlotFileSize(int fd, uint64_t* size)
{
  g_SizeChecks.fetch_add(1, std::memory_order_relaxed);
  struct stat st{};
  if (fstat(fd, &st) != 0) return false;
  *size = static_cast<uint64_t>(st.st_size);
  return true;
}

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
  uint64_t size = 0;
  if (!PlotFileSize(pd->FileHandle, &size) || size >= pd->MappingSize) return false;
  if (fileSize) *fileSize = size;
  return true;
}

// Copies between the record memory and ordinary memory (src null: zero fill). In state 2 the
// copy runs under the SIGBUS guard, so a file cut short by another program at any moment makes
// it fail instead of ending the program.
bool MappedCopy(const T_PlotData* pd, void* dst, const void* src, size_t len)
{
  if (pd->State == PLOT_STATE_FILE && pd->View)
    return MappedAccess_Copy(dst, src, len, pd->View, pd->MappingSize);
  if (src)
    std::memcpy(dst, src, len);
  else
    std::memset(dst, 0, len);
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
      MappedCopy(pd, pd->View, &pd->Header, sizeof pd->Header);  // a fault leaves the file as it is
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

namespace {

// Leaves a mapping that can no longer be trusted (the file was cut short) for a memory block
// with the same ring state: the whole records that can still be read, at most readable bytes
// from record 0, are kept; the other slots start cleared (time 0, never drawn). The mapping goes
// without the header being written back: its page may lie beyond the end too. Reports it at
// level 20: with the file's new size when it was found shrunk (shrunkTo), as cut short when an
// access faulted (shrunkTo null). Out of memory the buffer ends up closed.
void GoOnInMemory(T_PlotData* pd, uint64_t readable, const uint64_t* shrunkTo)
{
  const T_PlotFileHeader header = pd->Header;
  const uint32_t stride = pd->RecordStride;
  const uint64_t bytes = uint64_t{stride} * header.MaxRecords;
  uint64_t keep = std::min(readable, std::min(bytes, pd->DataBytes));
  if (stride > 0) keep -= keep % stride;
  uint8_t* block = bytes > 0 && bytes < PLOT_MAX_MAPPING ? static_cast<uint8_t*>(std::calloc(1, bytes)) : nullptr;
  uint64_t kept = 0;
  if (block && stride > 0) {
    // The file may go on shrinking meanwhile: guarded copies in large pieces, and a piece that
    // faults once more record by record, up to the first record that cannot be read.
    const uint64_t piece = uint64_t{stride} * std::max<uint64_t>(1, (1u << 20) / stride);
    while (kept < keep) {
      const uint64_t n = std::min(piece, keep - kept);
      if (MappedCopy(pd, block + kept, pd->Data + kept, n)) {
        kept += n;
        continue;
      }
      const uint64_t pieceEnd = kept + n;
      while (kept < pieceEnd && MappedCopy(pd, block + kept, pd->Data + kept, stride)) kept += stride;
      std::memset(block + kept, 0, pieceEnd - kept);
      break;
    }
  }

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
    pd->Data = block;
    pd->DataBytes = bytes;
    pd->RecordStride = stride;
    pd->State = PLOT_STATE_MEMORY;
  }
  const unsigned long long records = stride > 0 ? kept / stride : 0;
  if (!shrunkTo)
    DebugPrintf(kLevelError, 0.0,
                "The plot file was cut short while in use; the plot history goes on in memory (%llu records kept).",
                records);
  else
    DebugPrintf(kLevelError, 0.0,
                "The plot file shrank to %llu bytes while in use; the plot history goes on in memory (%llu records kept).",
                static_cast<unsigned long long>(*shrunkTo), records);
}

// After a guarded access to the mapping failed: what is still inside the file goes on in
// memory. The fault is where the size is checked between the ticks: a file found shorter than
// its mapping is reported with its new size, as by the tick.
void GoOnAfterFault(T_PlotData* pd)
{
  if (pd->State != PLOT_STATE_FILE) return;
  uint64_t readable = pd->DataBytes;
  uint64_t size = 0;
  if (pd->FileHandle >= 0 && PlotFileSize(pd->FileHandle, &size)) {
    readable = size > pd->Header.DataOffset ? size - pd->Header.DataOffset : 0;
    if (size < pd->MappingSize) {
      GoOnInMemory(pd, readable, &size);
      return;
    }
  }
  GoOnInMemory(pd, readable, nullptr);
}

}  // namespace

bool PlotData_CheckMapping(T_PlotData* pd)
{
  uint64_t fileSize = 0;
  if (!MappingShrank(pd, &fileSize)) return true;
  // Cut short by someone else: every page beyond the new end would fault on access.
  GoOnInMemory(pd, fileSize > pd->Header.DataOffset ? fileSize - pd->Header.DataOffset : 0, &fileSize);
  return false;
}

namespace {

bool SlotInRange(const T_PlotData* pd, int index)
{
  return index >= 0 && static_cast<uint32_t>(index) < pd->Header.MaxRecords && pd->Data &&
         pd->RecordStride <= sizeof(T_PlotDataRecord) &&
         (static_cast<uint64_t>(index) + 1) * pd->RecordStride <= pd->DataBytes;
}

// The slot's copy in or out; a mapping that faults meanwhile is left for memory and the copy
// is made there. False when the slot is not there (any more).
bool CopyRecord(T_PlotData* pd, int index, T_PlotDataRecord* out, const T_PlotDataRecord* in)
{
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!SlotInRange(pd, index)) return false;
    uint8_t* slot = pd->Data + static_cast<uint64_t>(index) * pd->RecordStride;
    if (out ? MappedCopy(pd, out, slot, pd->RecordStride) : MappedCopy(pd, slot, in, pd->RecordStride))
      return true;
    GoOnAfterFault(pd);  // memory from here on: the second attempt cannot fault
  }
  return false;
}

bool PutRecordChecked(T_PlotData* pd, int index, const T_PlotDataRecord* rec)
{
  return CopyRecord(pd, index, nullptr, rec);
}

}  // namespace

bool PlotData_GetRecord(T_PlotData* pd, int index, T_PlotDataRecord* rec)
{
  if (!CopyRecord(pd, index, rec, nullptr)) {
    PlotData_ClearRecord(rec);
    return false;
  }
  return true;
}

bool PlotData_PutRecord(T_PlotData* pd, int index, const T_PlotDataRecord* rec)
{
  return PutRecordChecked(pd, index, rec);
}

bool PlotData_StoreRecord(T_PlotData* pd, const T_PlotDataRecord* rec, bool advance)
{
  T_PlotFileHeader& h = pd->Header;
  int index = h.WriteIndex < h.MaxRecords ? static_cast<int>(h.WriteIndex) : 0;
  if (advance && h.MaxRecords > 0) {
    index = static_cast<int>((static_cast<uint64_t>(index) + 1) % h.MaxRecords);
    h.WriteIndex = static_cast<uint32_t>(index);
    if (h.HighestIndex <= h.WriteIndex) h.HighestIndex = h.WriteIndex;
    pd->HeaderDirty = 1;
  }
  bool ok = PutRecordChecked(pd, index, rec);
  // The header image goes into the mapping after the record: a reader of the file never sees
  // an index whose record is not there yet.
  if (pd->State == PLOT_STATE_FILE && pd->Writable && pd->View &&
      !MappedCopy(pd, pd->View, &pd->Header, sizeof pd->Header)) {
    // Cut short just now: the record may have gone with the file; it is stored in memory again.
    GoOnAfterFault(pd);
    ok = PutRecordChecked(pd, index, rec);
  }
  return ok;
}

long long PlotData_SizeChecks() { return g_SizeChecks.load(std::memory_order_relaxed); }

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

  uint64_t fileSize = 0;
  const off_t size = PlotFileSize(fd, &fileSize) ? static_cast<off_t>(fileSize) : 0;
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
  MappedAccess_Prepare();  // every access to the mapping is guarded against SIGBUS
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
    bool ok = true;
    // A grown ring reaches the file at once (the rest of a corrected header with the first store).
    if (grown && !corrected && !newFile)
      ok = MappedCopy(pd, pd->View + offsetof(T_PlotFileHeader, MaxRecords), &pd->Header.MaxRecords,
                      sizeof pd->Header.MaxRecords);
    if (ok && pd->FileSizeAtOpen < PLOT_HEADER_SIZE) {
      ok = MappedCopy(pd, pd->View, &pd->Header, sizeof pd->Header);
      pd->FileSizeAtOpen = PLOT_HEADER_SIZE;
    }
    if (ok && pd->FileSizeAtOpen < pd->Header.DataOffset)
      ok = MappedCopy(pd, pd->View + pd->FileSizeAtOpen, nullptr,
                      pd->Header.DataOffset - pd->FileSizeAtOpen);
    if (!ok) {
      // Cut short by someone else the moment it was mapped: closed without a header written.
      pd->HeaderDirty = 0;
      PlotData_CloseFile(pd);
      DebugPrintf(kLevelError, 0.0, "Could not map view of file \"%s\".", fileName);
      return false;
    }
  }
  return true;
}

#pragma once
// The plot history: one ring of records (time, and min/max/average of up to 20 watch channels),
// held either in a memory block or in a plot file ("*.tmp", "*.plt") mapped whole into memory,
// so that the history survives a restart and even a killed program.
//
// Plot file (little-endian, u32 unsigned):
//   offset 0            T_PlotFileHeader (96 bytes)
//   96 + 200 x i        reserved for T_PlotDataChannelInfo of channel i (written as zeros)
//   then 1024 bytes     reserved (zeros)
//   DataOffset          record slot 0 = 96 + 200 x Channels + 1024
//   DataOffset + i x (8 + 24 x Channels)   record slot i (time, then Channels triples)
// The file is DataOffset + 488 x MaxRecords bytes long whatever its channel count.
//
// Ring: the newest record is at WriteIndex, HighestIndex is the highest index ever written. A
// store goes to (WriteIndex + 1) mod MaxRecords, so slot 0 is first written when the ring wraps.
// PlotData_StoreRecord is the one writer; it brings the mapped file header up to date after each
// record, so a killed program loses neither records nor indices.
//
// A plot file that another program cuts short while it is mapped would fault (SIGBUS) at the
// next access of a page beyond its new end. Every access to the mapping runs under a SIGBUS
// guard (platform/MappedAccess.h): an access that faults checks the size and goes on with a
// memory history. Record accesses and stores make no system call: the size is checked only at
// open, on a fault, at close, and once per timer tick of the caller (PlotData_CheckMapping), which
// finds a file cut short where no access faults (the records stored meanwhile went into the
// part still in the file).
//
// Files are opened O_RDWR | O_CREAT and locked with flock(LOCK_EX | LOCK_NB): a second open, by
// this or another process, fails. Only an empty file is taken as new; a non-empty file without
// the header magic is refused and never written. Failures go to DebugPrintf, level 20 (errors)
// and 10 (the corrected-header warning). GUI thread only, no locks.
#include <cstddef>
#include <cstdint>

#include "interp/WatchList.h"

constexpr uint32_t PLOT_HEADER_SIZE = 96;
constexpr uint32_t PLOT_CHANNEL_INFO_SIZE = 200;
constexpr uint32_t PLOT_RESERVED_BYTES = 1024;
constexpr uint32_t PLOT_RECORD_SIZE = 488;  // a full 20-channel record
constexpr int PLOT_MAX_CHANNELS = 20;
constexpr int PLOT_MIN_RECORDS = 100;
constexpr uint64_t PLOT_MAX_MAPPING = 0x80000000ull;  // the mapping stays below 2^31 bytes
extern const char PLOT_FILE_MAGIC[];                  // "T_PlotFileHeader"
extern const char PLOT_CHANNEL_MAGIC[];               // "T_PlotDataChannelInfo"

struct T_PlotFileHeader {
  uint32_t HeaderLength;   // 96
  uint32_t StructSize;     // 96
  char Magic[64];          // "T_PlotFileHeader", NUL-padded
  uint32_t DataOffset;     // 96 + 200 x Channels + 1024
  uint32_t RecordSize;     // 488
  uint32_t MaxRecords;     // record slots in the ring
  uint32_t Channels;       // 1..20
  uint32_t HighestIndex;   // highest index written so far
  uint32_t WriteIndex;     // index of the newest record
};
static_assert(sizeof(T_PlotFileHeader) == 96);
static_assert(offsetof(T_PlotFileHeader, Magic) == 8);
static_assert(offsetof(T_PlotFileHeader, DataOffset) == 72);
static_assert(offsetof(T_PlotFileHeader, RecordSize) == 76);
static_assert(offsetof(T_PlotFileHeader, MaxRecords) == 80);
static_assert(offsetof(T_PlotFileHeader, Channels) == 84);
static_assert(offsetof(T_PlotFileHeader, HighestIndex) == 88);
static_assert(offsetof(T_PlotFileHeader, WriteIndex) == 92);

struct T_PlotDataChannelInfo {
  uint32_t FileOffset;     // 96 + 200 x channel index
  uint32_t StructSize;     // 200
  char Magic[64];          // "T_PlotDataChannelInfo"
  uint32_t ChannelNumber;  // channel index + 1
  char ShortName[16];      // title, at most 15 characters
  char Name[64];           // title, at most 63 characters
  uint32_t Reserved1;
  double ScaleMin;
  double ScaleMax;
  uint8_t Reserved2[24];
};
static_assert(sizeof(T_PlotDataChannelInfo) == 200);
static_assert(offsetof(T_PlotDataChannelInfo, ChannelNumber) == 72);
static_assert(offsetof(T_PlotDataChannelInfo, ShortName) == 76);
static_assert(offsetof(T_PlotDataChannelInfo, Name) == 92);
static_assert(offsetof(T_PlotDataChannelInfo, ScaleMin) == 160);
static_assert(offsetof(T_PlotDataChannelInfo, ScaleMax) == 168);

// Min, max and average of one channel over one record's step.
struct T_PlotChannelValues {
  double Min;
  double Max;
  double Average;
};

struct T_PlotDataRecord {
  double Time;  // Unix seconds (UTC)
  T_PlotChannelValues Channel[PLOT_MAX_CHANNELS];
};
static_assert(sizeof(T_PlotDataRecord) == PLOT_RECORD_SIZE);

enum : int { PLOT_STATE_CLOSED = 0, PLOT_STATE_MEMORY = 1, PLOT_STATE_FILE = 2 };

struct T_PlotData {
  int State = PLOT_STATE_CLOSED;
  int FileHandle = -1;     // file descriptor of the plot file
  int MappingHandle = -1;  // kept for the close order; Linux needs no mapping object
  uint32_t MappingSize = 0;
  uint32_t FileSizeAtOpen = 0;
  int Writable = 0;
  int HeaderDirty = 0;
  T_PlotFileHeader Header = {};  // live ring state for both variants
  T_PlotDataChannelInfo ChannelInfo[PLOT_MAX_CHANNELS] = {};
  uint8_t* View = nullptr;   // base of the mapping (state 2)
  uint32_t RecordStride = 0; // 8 + 24 x Header.Channels
  uint8_t* Data = nullptr;   // record 0
  uint64_t DataBytes = 0;    // bytes addressable from Data (record accesses are checked against it)
};

// Operations of the table; all take the one plot-data object.
bool PlotData_OpenFile(T_PlotData* pd, const T_WatchList* wl, const char* fileName, int records,
                       int channels, int writable);
void PlotData_AllocMemory(T_PlotData* pd, int records);
void PlotData_FreeMemory(T_PlotData* pd);
void PlotData_CloseFile(T_PlotData* pd);
bool PlotData_GetRecord(T_PlotData* pd, int index, T_PlotDataRecord* rec);
bool PlotData_PutRecord(T_PlotData* pd, int index, const T_PlotDataRecord* rec);
void PlotData_ClearRecord(T_PlotDataRecord* rec);
int PlotData_IndexFromAge(const T_PlotData* pd, int age);
void PlotData_InitFileHeader(T_PlotFileHeader* hdr, int records, int channels);
bool PlotData_CheckFileHeader(T_PlotFileHeader* hdr, int records, int channels);
bool PlotData_ReadFileHeader(int fileHandle, T_PlotFileHeader* hdr);
void PlotData_InitChannelInfo(T_PlotDataChannelInfo* info, const T_WatchList* wl, int channel,
                              T_PlotData* pd);
long long PlotData_CalcFileSize(int records, int channels);
void Plot_ClampInt(int* value, int lower, int upper);

// State 2 only: when the file has become shorter than the mapping, unmaps and closes it and
// goes on in memory (state 1) with the same ring state, the whole records still inside the file
// and the other slots cleared; reports it at level 20. False when it switched (or, out of memory,
// closed), true otherwise. One fstat: the watch window calls it once per timer tick, before it
// stores and draws; get, put and store do not (a fault brings them to memory on their own). A
// close leaves the header of such a file alone.
bool PlotData_CheckMapping(T_PlotData* pd);

// How many times the size of a plot file was read (fstat) since the program started, for tests
// and the benchmark: storing and reading records must not add to it.
long long PlotData_SizeChecks();

// The store of every writer (recording step, import, benchmark): the ring rule, then the record
// at the new index, then the ring indices (the whole header image) into the mapped file header
// when the buffer is a writable file. With advance false the record replaces the newest one
// (the watch list's step in progress). Returns the result of PlotData_PutRecord.
bool PlotData_StoreRecord(T_PlotData* pd, const T_PlotDataRecord* rec, bool advance = true);

// The one plot-data object of the program.
extern T_PlotData g_PlotData;

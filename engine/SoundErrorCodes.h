#pragma once
// Error codes of the sound card, the wave-file object and the audio thread, and their texts.
//
// Codes 0..20 and 32..35 are those of the wave-audio service (MMSYSERR_* and WAVERR_* in
// platform/WaveAudio.h); 2100..2119 are the program's own, named here.

enum SoundErrorCode : int {
  SND_ERR_MEMORY = 2100,              // "Memory error"
  WAVE_ERR_OPEN_INPUT = 2101,         // "can't open wave file for input"
  WAVE_ERR_NOT_RIFF = 2102,           // "file is not a RIFF wave type"
  WAVE_ERR_INVALID_FILE = 2103,       // "invalid wave file"
  WAVE_ERR_NO_DATA = 2104,            // "no data in file"
  WAVE_ERR_UNSUPPORTED_TYPE = 2105,   // "not a supported data type"
  WAVE_ERR_READ = 2106,               // "error reading data from file"
  WAVE_ERR_READ_NOT_OPEN = 2107,      // "tried to read and file is not open"
  WAVE_ERR_OPEN_OUTPUT = 2108,        // "can't open wave file for output"
  WAVE_ERR_WRITE = 2109,              // "error writing to wave file"
  WAVE_ERR_WRITE_NOT_OPEN = 2110,     // "tried to write and file is not open"
  SOUNDIN_ERR_NOT_OPEN = 2111,        // "tried to read and soundcard is not open"
  SOUNDIN_ERR_OVERFLOW = 2112,        // "input buffers overflowed"
  SOUNDIN_ERR_TIMEOUT = 2113,         // "timed out waiting for input buffers"
  SOUNDOUT_ERR_NOT_OPEN = 2114,       // "tried to write and soundcard is not open"
  SOUNDOUT_ERR_UNDERFLOW = 2115,      // "output buffers underflowed"
  SOUNDOUT_ERR_TIMEOUT = 2116,        // "timed out waiting for output buffers"
  SOUND_ERR_ODD_ADDRESS = 2117,       // "word at odd address"
  PIPE_ERR_THREAD_START = 2118,       // "can't start the pipe server thread"
  SOUND_ERR_DEVICE_LOST = 2119,       // "sound device lost" (WAVERR_DEVICELOST of the service)
};

// Text of an error code. Codes outside the table give "unknown error #<code>", formatted into
// a buffer of the calling thread that the thread's next unknown code overwrites (so the audio
// thread and the GUI never overwrite each other's text). Never returns null; never allocates.
const char* ErrorCodeToString(int code);

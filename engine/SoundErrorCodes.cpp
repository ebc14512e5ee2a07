// Texts of the sound, wave-file and audio-thread error codes.
#include "engine/SoundErrorCodes.h"

#include <cstdio>

namespace {

struct CodeText {
  int code;
  const char* text;
};

// 0..35: the wave-audio service's codes; 2100..: the program's own.
constexpr CodeText kSoundErrorCodes[] = {
    {0, "no error"},
    {1, "unspecified MMSYS error"},
    {2, "device ID out of range"},
    {3, "driver failed enable"},
    {4, "device already allocated"},
    {5, "device handle is invalid"},
    {6, "no device driver present"},
    {7, "memory allocation error"},
    {8, "function isn't supported"},
    {9, "error value out of range"},
    {10, "invalid flag passed"},
    {11, "invalid parameter passed"},
    {12, "handle being used"},
    {20, "driver does not call DriverCallback"},
    {32, "unsupported wave format"},
    {33, "still something playing"},
    {34, "header not prepared"},
    {35, "device is synchronous"},
    {SND_ERR_MEMORY, "Memory error"},
    {WAVE_ERR_OPEN_INPUT, "can't open wave file for input"},
    {WAVE_ERR_NOT_RIFF, "file is not a RIFF wave type"},
    {WAVE_ERR_INVALID_FILE, "invalid wave file"},
    {WAVE_ERR_NO_DATA, "no data in file"},
    {WAVE_ERR_UNSUPPORTED_TYPE, "not a supported data type"},
    {WAVE_ERR_READ, "error reading data from file"},
    {WAVE_ERR_READ_NOT_OPEN, "tried to read and file is not open"},
    {WAVE_ERR_OPEN_OUTPUT, "can't open wave file for output"},
    {WAVE_ERR_WRITE, "error writing to wave file"},
    {WAVE_ERR_WRITE_NOT_OPEN, "tried to write and file is not open"},
    {SOUNDIN_ERR_NOT_OPEN, "tried to read and soundcard is not open"},
    {SOUNDIN_ERR_OVERFLOW, "input buffers overflowed"},
    {SOUNDIN_ERR_TIMEOUT, "timed out waiting for input buffers"},
    {SOUNDOUT_ERR_NOT_OPEN, "tried to write and soundcard is not open"},
    {SOUNDOUT_ERR_UNDERFLOW, "output buffers underflowed"},
    {SOUNDOUT_ERR_TIMEOUT, "timed out waiting for output buffers"},
    {SOUND_ERR_ODD_ADDRESS, "word at odd address"},
    {PIPE_ERR_THREAD_START, "can't start the pipe server thread"},
    {SOUND_ERR_DEVICE_LOST, "sound device lost"},
};

// One buffer per thread: the audio thread and the GUI may format unknown codes at once.
thread_local char t_unknownCodeText[40];

}  // namespace

const char* ErrorCodeToString(int code)
{
  for (const CodeText& entry : kSoundErrorCodes)
    if (entry.code == code) return entry.text;
  std::snprintf(t_unknownCodeText, sizeof t_unknownCodeText, "unknown error #%d", code);
  return t_unknownCodeText;
}

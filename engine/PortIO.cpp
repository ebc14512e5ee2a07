// Serial-port keying lines and the PC speaker.
#include "engine/PortIO.h"

#include <sys/ioctl.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include "engine/DebugU1.h"
#include "engine/MachineConfig.h"
#include "engine/PreciseClock.h"
#include "engine/SoundThdMsgQueue.h"
#include "platform/SerialLines.h"
#include "platform/Speaker.h"

unsigned short g_ComPortBaseAddress = 0;
int g_ComPortHandle = -1;

namespace {

// The speaker is looked for on first use; without one this is said once.
bool g_SpeakerSearched = false;
bool g_NoSpeakerSaid = false;

// The open port: "COM<n> (<device>)" for messages, and whether a line of it has failed yet.
std::string g_ComPortName;
bool g_LineFailureSaid = false;

// A line that could not be set is said once per opened port on the Errors page, with the
// system's reason: a device that is no serial line (a pseudo-terminal, some adapters) refuses
// every modem-control call, and without the message it looks exactly like a port that keys.
// Later calls still try; the message does not repeat.
bool CheckLine(bool ok, const char* line, bool on)
{
  if (ok || g_ComPortHandle < 0 || g_LineFailureSaid) return ok;
  const int err = errno;
  g_LineFailureSaid = true;
  DebugPrintf(20, GetPreciseUnixTime(true), "%s: cannot %s %s: %s", g_ComPortName.c_str(),
              on ? "set" : "clear", line, std::strerror(err));
  return ok;
}

}  // namespace

void PortIO_Init()
{
  // Nothing to prepare: the port opens with ComPort_Open, the speaker is found on first use.
  // The program's start-up hands SpeakerTone to the interpreter's "sound" command.
}

bool ComPort_Open()
{
  if (g_ComPortHandle >= 0) ComPort_Close();
  const int port = MachineConfig.PttPortNumber;
  if (static_cast<unsigned>(port) > 4u) return false;
  g_ComPortBaseAddress = static_cast<unsigned short>(port);
  if (port == 0) return false;
  const std::string device = SerialLines_DeviceName(port);
  g_ComPortName = "COM" + std::to_string(port) + " (" + device + ")";
  g_LineFailureSaid = false;
  g_ComPortHandle = SerialLines_Open(device);
  if (g_ComPortHandle < 0) {
    PutSoundThdMessage(("Cannot open COM" + std::to_string(port) + " (" + device + ")").c_str());
    return false;
  }
  return true;
}

bool ComPort_Close()
{
  if (g_ComPortHandle < 0) return false;
  SerialLines_Close(g_ComPortHandle);
  g_ComPortHandle = -1;
  return true;
}

void ComPort_CloseIfOpen()
{
  if (g_ComPortHandle >= 0) ComPort_Close();
}

bool ComPort_SetRTS(bool on)
{
  if (g_ComPortBaseAddress == 0) return false;
  return CheckLine(SerialLines_SetModemLine(g_ComPortHandle, TIOCM_RTS, on), "RTS", on);
}

bool ComPort_SetDTR(bool on)
{
  if (g_ComPortBaseAddress == 0) return false;
  return CheckLine(SerialLines_SetModemLine(g_ComPortHandle, TIOCM_DTR, on), "DTR", on);
}

bool ComPort_SetTXD(bool on)
{
  if (g_ComPortBaseAddress == 0) return false;
  return CheckLine(SerialLines_SetBreak(g_ComPortHandle, on), "TXD (break)", on);
}

void ComPort_SetKeyingOutput(bool on)
{
  switch (MachineConfig.PttLineNr) {
    case 1: ComPort_SetTXD(on); break;
    case 2: ComPort_SetRTS(on); break;
    case 3: ComPort_SetDTR(on); break;
    default: break;
  }
}

void SpeakerTone(int hz)
{
  if (!g_SpeakerSearched && Speaker_Kind() == SPEAKER_NONE) {
    g_SpeakerSearched = true;
    Speaker_OpenSystem();
  }
  if (Speaker_Kind() == SPEAKER_NONE) {
    if (!g_NoSpeakerSaid) {
      g_NoSpeakerSaid = true;
      PutSoundThdMessage("No PC speaker: neither a tone input device nor the console tone is usable");
    }
    return;
  }
  Speaker_Tone(hz);
}

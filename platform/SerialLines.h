#pragma once
// Control lines of a serial port (RTS, DTR, and TXD through the break condition) through the
// terminal ioctls. Tests replace the ioctl call to watch the lines without a port.
#include <string>

// Device of COM<port> (1..4): $VARTUMO_COM<port> when set and not empty, else
// /dev/ttyS<port - 1>. Empty for other numbers.
std::string SerialLines_DeviceName(int port);

// Opens the device for reading and writing without making it the controlling terminal, takes
// it exclusively (TIOCEXCL) and clears RTS and DTR at once. -1 on failure (errno tells why;
// a device that is not a terminal is refused with ENOTTY).
int SerialLines_Open(const std::string& device);
// Raises (on) or drops one modem line: TIOCM_RTS or TIOCM_DTR. False when the device refuses.
bool SerialLines_SetModemLine(int fd, int line, bool on);
// Starts (on) or ends the break condition, which drives TXD to its active level.
bool SerialLines_SetBreak(int fd, bool on);
// Drops RTS and DTR and closes. False for fd < 0.
bool SerialLines_Close(int fd);

// Test hook: replaces ioctl() for the calls above (nullptr restores it).
using SerialLinesIoctlFunc = int (*)(int fd, unsigned long request, void* arg);
void SerialLines_SetIoctlHook(SerialLinesIoctlFunc func);

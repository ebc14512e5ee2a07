#pragma once
// Serial-port control lines for transmitter keying, and the PC speaker.
//
// COM1..COM4 are /dev/ttyS0..3 unless VARTUMO_COM1..VARTUMO_COM4 name another device (for
// instance /dev/ttyUSB0). The port is opened exclusively and RTS and DTR are cleared at once,
// because opening raises both and that would key the transmitter. RTS and DTR are switched
// with the modem-control ioctls, TXD through the break condition. All calls come from the
// GUI thread.

// Configured port number (MachineConfig.PttPortNumber 1..4) when one is open or configured;
// 0 when none. Kept under its old name: non-zero means a port is configured.
extern unsigned short g_ComPortBaseAddress;
// The open serial line's file descriptor, -1 when closed.
extern int g_ComPortHandle;

// Start-up hook (step 7 of the main window's start-up); nothing to prepare at present.
void PortIO_Init();
// Closes an open port, then opens the port MachineConfig.PttPortNumber names (1..4). False
// when none is configured (0), the number is out of range, or the device cannot be opened.
bool ComPort_Open();
// Switches RTS and DTR off and closes the port; false when none was open.
bool ComPort_Close();
void ComPort_CloseIfOpen();
// Set or clear one line; false when no port is open or the device refuses. The first refusal
// of an opened port goes to the Errors page (DebugPrintf) with the port's name and the
// system's reason, once; every later call tries again without repeating it.
bool ComPort_SetRTS(bool on);
bool ComPort_SetDTR(bool on);
bool ComPort_SetTXD(bool on);
// Switches the line MachineConfig.PttLineNr chooses: 1 TXD, 2 RTS, 3 DTR; others nothing.
void ComPort_SetKeyingOutput(bool on);

// hz > 0 sounds the PC speaker at that frequency, hz <= 0 silences it. Through the kernel's
// PC-speaker input device or the console's tone ioctl; without either it does nothing and
// says so once in the debug messages. The speaker is silenced when the program exits.
void SpeakerTone(int hz);

#pragma once
// The PC speaker's tone generator through the kernel: the PC-speaker input device (an event
// device with EV_SND / SND_TONE, e.g. the pcspkr driver) or the console's KIOCSOUND ioctl.
// The open device is silenced at exit (normal exit and fatal signals) once a tone was sounded.
enum SpeakerKind {
  SPEAKER_NONE = 0,
  SPEAKER_EVENT_DEVICE = 1,  // writes EV_SND / SND_TONE events
  SPEAKER_CONSOLE = 2,       // KIOCSOUND with the timer divisor
};

// Finds a device: the first /dev/input/event* that has SND_TONE, else /dev/console, then
// /dev/tty0 when they take KIOCSOUND. Returns what was found (SPEAKER_NONE: nothing).
SpeakerKind Speaker_OpenSystem();
// Uses the given device as kind without probing it (tests: a plain file as a fake event
// device). False when it cannot be opened for writing.
bool Speaker_OpenDevice(const char* path, SpeakerKind kind);
SpeakerKind Speaker_Kind();
// hz > 0 sounds, hz <= 0 silences. False when there is no device or the device refused.
bool Speaker_Tone(int hz);
// Silences and closes the device.
void Speaker_Close();

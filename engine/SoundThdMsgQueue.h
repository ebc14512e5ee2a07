#pragma once
// The audio thread's text queue to the GUI, and the first sound error for the status line.
//
// A fixed ring of 12 texts of at most 255 characters (so at most 11 waiting). The audio thread
// writes (never blocking), the main window's 100 ms timer reads one text per tick. The GUI may
// also write (device updates, thread termination); writers are serialised by a flag that a
// writer only tries for a short, bounded spin: if the other writer holds it longer, the text
// is dropped like on a full queue. The read and write indices are atomics (release/acquire),
// so a text is complete before the reader can see it. One reader at a time.
#include <atomic>

constexpr int SOUND_THD_MSG_SLOTS = 12;
constexpr int SOUND_THD_MSG_LEN = 256;  // bytes per slot, terminator included

// Queues a text (cut to 255 characters). False when the queue is full (text dropped).
bool PutSoundThdMessage(const char* text);

// printf-style with one int argument (e.g. "Sound input opened, DevID=%d"), then queued.
bool PrintfSoundThdMessage(const char* format, int value);

// Takes the oldest text: copies at most maxLen - 1 characters and a terminator into dest,
// returns true. When maxLen < 1 returns false and touches nothing; when the queue is empty
// sets dest to "" and returns false.
bool GetSoundThdMessage(char* dest, int maxLen);

// Queues the text of `code` (ErrorCodeToString) followed by `suffix` (may be null), e.g.
// " in SoundInOpen". Code 0 or a full queue: nothing happens. With showInStatus >= 1, when no
// first error is pending and code differs from the last code shown, the queued text becomes
// the first error (code, last shown code and text).
void PutSoundThdError(int code, const char* suffix, int showInStatus);

// First-error record. g_FirstSoundErrorCode != 0 means g_FirstSoundErrorText is pending for
// the status line; it is published with a release store after the text is complete. The GUI
// should use TakeFirstSoundError, which copies the text before it clears the code.
extern std::atomic<int> g_FirstSoundErrorCode;
extern std::atomic<int> g_LastShownSoundErrorCode;
extern char g_FirstSoundErrorText[SOUND_THD_MSG_LEN];

// GUI side: when a first error is pending, copies its text into dest (at most maxLen - 1
// characters), clears the pending code (not the last shown code) and returns the code;
// otherwise returns 0 and leaves dest alone.
int TakeFirstSoundError(char* dest, int maxLen);

// Clears the pending code, the last shown code and the text (start-up of the audio globals).
void ClearFirstSoundError();

// Empties the queue. Only while no thread writes or reads (start-up, tests).
void ResetSoundThdMessageQueue();

// The audio thread's text queue to the GUI and the first-error record.
#include "engine/SoundThdMsgQueue.h"

#include "engine/SoundErrorCodes.h"

#include <cstdio>
#include <cstring>
#include <thread>

std::atomic<int> g_FirstSoundErrorCode{0};
std::atomic<int> g_LastShownSoundErrorCode{0};
char g_FirstSoundErrorText[SOUND_THD_MSG_LEN];

namespace {

struct SoundThdMsgQueue {
  char slots[SOUND_THD_MSG_SLOTS][SOUND_THD_MSG_LEN];
  std::atomic<int> writeIndex{0};  // advanced by the writer only
  std::atomic<int> readIndex{0};   // advanced by the reader only
  std::atomic_flag writerBusy;     // serialises the audio thread and the GUI as writers
};

SoundThdMsgQueue g_SoundThdMsgQueue;

// Bounded wait for the writer flag. A text copy takes well under a microsecond, so the flag
// is free after a few tries unless the other writer was preempted; then the text is dropped
// rather than holding up the audio thread.
bool AcquireWriter()
{
  for (int tries = 0; tries < 200; ++tries) {
    if (!g_SoundThdMsgQueue.writerBusy.test_and_set(std::memory_order_acquire)) return true;
    if (tries >= 20) std::this_thread::yield();
  }
  return false;
}

void ReleaseWriter() { g_SoundThdMsgQueue.writerBusy.clear(std::memory_order_release); }

// Copies at most n - 1 characters of src and a terminator.
void CopyCut(char* dest, const char* src, size_t n)
{
  size_t len = std::strlen(src);
  if (len > n - 1) len = n - 1;
  std::memcpy(dest, src, len);
  dest[len] = '\0';
}

// The slot that the next text goes to, or null when the queue is full. Writer held.
char* FreeSlot(int& next)
{
  const int write = g_SoundThdMsgQueue.writeIndex.load(std::memory_order_relaxed);
  next = (write + 1) % SOUND_THD_MSG_SLOTS;
  if (next == g_SoundThdMsgQueue.readIndex.load(std::memory_order_acquire)) return nullptr;
  return g_SoundThdMsgQueue.slots[write];
}

void Publish(int next) { g_SoundThdMsgQueue.writeIndex.store(next, std::memory_order_release); }

}  // namespace

bool PutSoundThdMessage(const char* text)
{
  if (!AcquireWriter()) return false;
  int next = 0;
  char* slot = FreeSlot(next);
  if (slot) {
    CopyCut(slot, text ? text : "", SOUND_THD_MSG_LEN);
    Publish(next);
  }
  ReleaseWriter();
  return slot != nullptr;
}

bool PrintfSoundThdMessage(const char* format, int value)
{
  char line[SOUND_THD_MSG_LEN];
  if (!format) return PutSoundThdMessage("");
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  std::snprintf(line, sizeof line, format, value);
#pragma GCC diagnostic pop
  return PutSoundThdMessage(line);
}

bool GetSoundThdMessage(char* dest, int maxLen)
{
  if (maxLen < 1 || !dest) return false;
  const int read = g_SoundThdMsgQueue.readIndex.load(std::memory_order_relaxed);
  if (read == g_SoundThdMsgQueue.writeIndex.load(std::memory_order_acquire)) {
    dest[0] = '\0';
    return false;
  }
  CopyCut(dest, g_SoundThdMsgQueue.slots[read], static_cast<size_t>(maxLen));
  // The slot may be rewritten only after the copy is done.
  g_SoundThdMsgQueue.readIndex.store((read + 1) % SOUND_THD_MSG_SLOTS, std::memory_order_release);
  return true;
}

void PutSoundThdError(int code, const char* suffix, int showInStatus)
{
  if (code == 0) return;
  if (!AcquireWriter()) return;
  int next = 0;
  if (char* slot = FreeSlot(next)) {
    CopyCut(slot, ErrorCodeToString(code), SOUND_THD_MSG_LEN);
    if (suffix) {
      const size_t used = std::strlen(slot);
      CopyCut(slot + used, suffix, SOUND_THD_MSG_LEN - used);
    }
    if (showInStatus >= 1 && g_FirstSoundErrorCode.load(std::memory_order_acquire) == 0 &&
        g_LastShownSoundErrorCode.load(std::memory_order_relaxed) != code) {
      std::memcpy(g_FirstSoundErrorText, slot, SOUND_THD_MSG_LEN);
      g_LastShownSoundErrorCode.store(code, std::memory_order_relaxed);
      g_FirstSoundErrorCode.store(code, std::memory_order_release);  // text complete before
    }
    Publish(next);
  }
  ReleaseWriter();
}

int TakeFirstSoundError(char* dest, int maxLen)
{
  const int code = g_FirstSoundErrorCode.load(std::memory_order_acquire);
  if (code == 0) return 0;
  if (dest && maxLen >= 1) CopyCut(dest, g_FirstSoundErrorText, static_cast<size_t>(maxLen));
  // The writer touches the text again only after it has seen the code cleared.
  g_FirstSoundErrorCode.store(0, std::memory_order_release);
  return code;
}

void ClearFirstSoundError()
{
  g_FirstSoundErrorCode.store(0, std::memory_order_release);
  g_LastShownSoundErrorCode.store(0, std::memory_order_relaxed);
  g_FirstSoundErrorText[0] = '\0';
}

void ResetSoundThdMessageQueue()
{
  g_SoundThdMsgQueue.readIndex.store(0, std::memory_order_relaxed);
  g_SoundThdMsgQueue.writeIndex.store(0, std::memory_order_release);
}

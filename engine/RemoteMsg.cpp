// The message queue for other programs and its handling on the main timer.
#include "engine/RemoteMsg.h"

#include <cctype>
#include <cstring>
#include <utility>

namespace {

RemoteMsg g_Queue[kRemoteMsgSlots];
int g_CurrentIndex = 0;
uint32_t g_ReceivedCount = 0;
uint32_t g_FrameCount = 0;
std::function<void(const char*)> g_CommandHandler;

}  // namespace

uint32_t RemoteMsg_Receive(uint32_t sender, const char code[4], uint32_t length, const void* data)
{
  ++g_FrameCount;
  if (length > kRemoteMsgMaxData) return REMOTE_MSG_TOO_LONG;
  if (code[0] != 0) {
    if (g_CurrentIndex >= kRemoteMsgSlots || g_CurrentIndex < 0) g_CurrentIndex = 0;
    for (int tries = 0; tries < kRemoteMsgSlots; ++tries) {
      RemoteMsg& slot = g_Queue[g_CurrentIndex];
      if (!slot.InUse) {
        ++g_ReceivedCount;
        slot.InUse = 1;
        slot.Sender = sender;
        std::memcpy(slot.Code, code, 4);
        slot.Length = length;
        if (length) std::memcpy(slot.Data, data, length);
        return 1;
      }
      g_CurrentIndex = (g_CurrentIndex + 1) % kRemoteMsgSlots;
    }
    return 0;  // queue full: the message is lost
  }
  if (code[2] == 'l' && code[3] == 'c') return REMOTE_MSG_QUERY | g_ReceivedCount;
  if (code[2] == 'l' && code[3] == 'i') return REMOTE_MSG_QUERY | static_cast<uint32_t>(g_CurrentIndex);
  if (code[2] == 'v') return REMOTE_MSG_QUERY | 1u;
  return 0;
}

RemoteMsg* RemoteMsg_FindNext(char letter0, char letter1)
{
  for (int k = 1; k <= kRemoteMsgSlots; ++k) {
    RemoteMsg& m = g_Queue[(g_CurrentIndex + k) % kRemoteMsgSlots];
    if (!m.InUse) continue;
    if ((letter0 == '*' || m.Code[0] == letter0) && (letter1 == '*' || m.Code[1] == letter1))
      return &m;
  }
  return nullptr;
}

void RemoteMsg_Free(RemoteMsg* msg)
{
  for (RemoteMsg& m : g_Queue) {
    if (&m == msg) m.InUse = 0;
  }
}

void RemoteMsg_InitReply(const RemoteMsg* request, RemoteMsg* reply, uint32_t value)
{
  std::memset(reply, 0, sizeof(*reply));
  reply->Sender = 0;
  reply->Code[0] = request->Code[0];
  reply->Code[1] = request->Code[1];
  reply->Code[2] = static_cast<char>(std::tolower(static_cast<unsigned char>(request->Code[2])));
  reply->Code[3] = static_cast<char>(std::tolower(static_cast<unsigned char>(request->Code[3])));
  reply->Length = 4;
  for (int i = 0; i < 4; ++i) reply->Data[i] = static_cast<uint8_t>(value >> (8 * i));
}

void RemoteMsg_HandleCL(const RemoteMsg* request)
{
  static RemoteMsg reply;  // 1 KB: kept off the stack
  if (g_CommandHandler && request->Length > 0) {
    static char line[kRemoteMsgMaxData + 1];
    const size_t n = strnlen(reinterpret_cast<const char*>(request->Data), request->Length);
    std::memcpy(line, request->Data, n);
    line[n] = '\0';
    g_CommandHandler(line);
  }
  RemoteMsg_InitReply(request, &reply, 0);
  if (request->Code[2] == 'F') {
    // The reply is a text: its length is that of the zero-terminated text plus 1.
    reply.Length = static_cast<uint32_t>(strnlen(reinterpret_cast<const char*>(reply.Data),
                                                 kRemoteMsgMaxData - 1) + 1);
    RemoteMsg_SendCopyData(request->Sender, &reply);
  }
}

void RemoteMsg_ProcessQueue()
{
  while (RemoteMsg* m = RemoteMsg_FindNext('*', '*')) {
    if (m->Code[0] == 'C' && m->Code[1] == 'L') RemoteMsg_HandleCL(m);
    RemoteMsg_Free(m);
  }
}

void RemoteMsg_SetCommandHandler(std::function<void(const char* line)> handler)
{
  g_CommandHandler = std::move(handler);
}

uint32_t RemoteMsg_FrameCount() { return g_FrameCount; }

uint32_t RemoteMsg_ReceivedCount() { return g_ReceivedCount; }

int RemoteMsg_CurrentIndex() { return g_CurrentIndex; }

void RemoteMsg_ResetQueue()
{
  std::memset(g_Queue, 0, sizeof(g_Queue));
  g_CurrentIndex = 0;
  g_ReceivedCount = 0;
  g_FrameCount = 0;
}

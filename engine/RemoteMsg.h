#pragma once
// Messages from other programs: a 20-slot queue of messages with a four-byte code and up to
// 1,024 data bytes, handled by the main window's 100 ms timer, and a few queries answered at
// once. Other programs reach it through this instance's Unix-domain socket (frame format in
// the README): each frame they send goes to RemoteMsg_Receive, whose result comes back at
// once as a result frame; a reply that handling a message produces later goes back on the
// same connection.
//
// Threads: the queue functions run on the GUI thread only (the socket thread hands each frame
// over through TThread::Synchronize). RemoteMsg_SendCopyData may be called from the GUI thread.
#include <cstdint>
#include <functional>
#include <string>

inline constexpr int kRemoteMsgSlots = 20;
inline constexpr uint32_t kRemoteMsgMaxData = 1024;
inline constexpr uint32_t REMOTE_MSG_TOO_LONG = 0x83000001u;  // result for over 1,024 bytes
inline constexpr uint32_t REMOTE_MSG_QUERY = 0x82000000u;     // marks a query's result

// One queued message; a reply has the same layout (InUse unused, Sender 0).
struct RemoteMsg {
  uint32_t InUse;   // 0 free, 1 holds a message
  uint32_t Sender;  // who sent it (the connection's id); replies go back to it
  char Code[4];     // the four code bytes in the order received
  uint32_t Length;  // data bytes, 0..1,024
  uint8_t Data[kRemoteMsgMaxData];
};

// Takes one message. length > 1,024: 0x83000001, nothing stored. Code byte 0 non-zero: queued
// (1) or queue full (0). Code byte 0 zero: a query answered at once from bytes 2 and 3:
// "lc" 0x82000000 | received count, "li" 0x82000000 | current index, "v?" 0x82000001, else 0.
uint32_t RemoteMsg_Receive(uint32_t sender, const char code[4], uint32_t length, const void* data);

// Handles and frees every queued message: "CL" messages go to RemoteMsg_HandleCL, all others
// are dropped.
void RemoteMsg_ProcessQueue();

// First used slot after the current index (wrapping at 20) whose code bytes 0 and 1 match
// (letter '*' matches any); null when none.
RemoteMsg* RemoteMsg_FindNext(char letter0, char letter1);
// Frees a slot of the queue; a pointer that is not a slot is ignored.
void RemoteMsg_Free(RemoteMsg* msg);
// Reply frame for a request: sender 0, code bytes 0-1 copied, 2-3 lower case, four data bytes
// holding value (little-endian).
void RemoteMsg_InitReply(const RemoteMsg* request, RemoteMsg* reply, uint32_t value);
// "CL" messages: the data (a command line, up to the first zero byte) goes to the command
// handler; code byte 2 'F' is then answered with a one-byte reply (an empty text); every other
// letter gets no reply.
void RemoteMsg_HandleCL(const RemoteMsg* request);
// Who runs the command lines of "CL" messages (the program installs the interpreter; empty:
// they are only answered). GUI thread.
void RemoteMsg_SetCommandHandler(std::function<void(const char* line)> handler);
// Sends a reply to the connection with id `window`: 1 sent, 0 no such connection or the peer
// does not take it.
uint32_t RemoteMsg_SendCopyData(uint32_t window, const RemoteMsg* reply);

// Counters (GUI thread). FrameCount counts every message that arrived, queries and refused
// ones too; ReceivedCount only the queued ones.
uint32_t RemoteMsg_FrameCount();
uint32_t RemoteMsg_ReceivedCount();
int RemoteMsg_CurrentIndex();
// Empties the queue and clears both counters (start-up, tests).
void RemoteMsg_ResetQueue();

// Start the server on the GUI thread after it is registered as such (SetMainThread, or
// InstallQtSyncBridge): the socket thread hands frames to the queue through Synchronize.

// The instance's socket: "vartumo<N>.sock" (N = instanceIndex + 1) in the runtime directory;
// when another running instance already serves that name, "vartumo<N>-<pid>.sock". A stale
// socket file left by a crashed run is replaced. Mode 0600. Returns false (and says why in
// the debug queue) when it cannot listen. Stop closes every connection and removes the file.
bool RemoteMsg_StartServer(int instanceIndex);
void RemoteMsg_StopServer();
// Path of the socket being served ("" when none).
std::string RemoteMsg_SocketPath();

#pragma once
// Unix-domain stream sockets in the user's runtime directory, and the frame that the
// program's sockets speak.
//
// Frame: four code bytes, a 32-bit little-endian data length, then that many data bytes.
#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr size_t kFrameHeaderSize = 8;

// The user's runtime directory: $XDG_RUNTIME_DIR when it is an absolute path to a directory
// of this user that others cannot write, else /tmp/vartumo-<uid> (created with mode 0700; a
// directory of that name that is not this user's or that others may enter is refused).
// Empty, with *error set, when there is none.
std::string LocalSocket_RuntimeDir(std::string* error = nullptr);

// Listens on path with mode 0600 (close-on-exec, non-blocking accept). A socket file that
// nobody serves any more is replaced; a served one gives -1 with errno EADDRINUSE. -1 on any
// failure (errno tells why).
int LocalSocket_Listen(const std::string& path, int backlog);
// Connects to path (blocking socket, close-on-exec); -1 on failure.
int LocalSocket_Connect(const std::string& path);
// True when something accepts connections on path.
bool LocalSocket_IsServed(const std::string& path);

// Header of a frame.
void Frame_PutHeader(uint8_t header[kFrameHeaderSize], const char code[4], uint32_t length);
void Frame_GetHeader(const uint8_t header[kFrameHeaderSize], char code[4], uint32_t* length);

// Writes all bytes, waiting at most timeoutMs for the peer to take them (a negative value:
// no limit). False on error, time-out or a closed peer. Never raises SIGPIPE.
bool LocalSocket_SendAll(int fd, const void* data, size_t size, int timeoutMs);
// Reads exactly size bytes, waiting at most timeoutMs in all (negative: no limit). False on
// error, time-out or end of stream.
bool LocalSocket_RecvAll(int fd, void* data, size_t size, int timeoutMs);
// Sends one whole frame (header and data).
bool Frame_Send(int fd, const char code[4], const void* data, uint32_t length, int timeoutMs);

// The slot a server with a fixed number of connection slots gives a newly accepted client: a
// free one (fd < 0), else the one whose connection has been idle longest (smallest
// lastActive), which the caller closes before reusing the slot. So clients that connect and
// then never send, or never hang up, cannot lock every other client out. Connection needs the
// members fd and lastActive (comparable time points).
template <class Connection, size_t N>
Connection& LocalSocket_SlotForNewClient(Connection (&conns)[N])
{
  static_assert(N > 0);
  for (Connection& c : conns)
    if (c.fd < 0) return c;
  Connection* idlest = &conns[0];
  for (Connection& c : conns)
    if (c.lastActive < idlest->lastActive) idlest = &c;
  return *idlest;
}

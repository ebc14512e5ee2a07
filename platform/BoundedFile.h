#pragma once
// The one reader of whole files that the program reads by itself or on the user's command
// (settings files, command files, transmit texts). It never waits and never reads without
// limit: the file is opened non-blocking, so a FIFO in its place cannot stop the program in
// open(); anything but a regular file (a FIFO, a device, a directory) and a file larger than the
// limit are refused with a text that names the file, and nothing of it is read.
#include <string>

// Largest file read by default: every text file of the program is a few kB.
inline constexpr long long kMaxReadFileSize = 16LL << 20;

enum class BoundedReadResult {
  Read,        // data holds the whole file
  Unreadable,  // cannot be opened or read (missing, no permission, I/O error)
  Refused,     // not a regular file, or larger than maxSize
};

// Reads the whole file into data (empty unless Read). *error (may be null) gets why it was not
// read, a text to show as it stands: "Could not read <fileName>: <system error>" when
// unreadable, "<fileName> is not a regular file" or
// "<fileName> is larger than <maxSize in MB> MB" when refused; it is cleared when the file is
// read. The file's name is used as given.
BoundedReadResult ReadBoundedFile(const std::string& fileName, std::string& data,
                                  std::string* error = nullptr,
                                  long long maxSize = kMaxReadFileSize);

// Opens a file for reading without waiting (O_NONBLOCK, which is cleared again once it is open,
// so reads of a regular file behave as usual) and refuses anything but a regular file: for
// readers that stream a file of their own format (wave files, plot and reference files) rather
// than read it whole. The descriptor (close-on-exec), or -1 with errno set (ENXIO for a file
// that is not a regular file).
int OpenRegularFileForReading(const std::string& fileName);

#pragma once
// Settings profiles "<name>.usr" as the user-menu dialog sees them: the name rules and the
// section "ABOUT" (menu text, info text, include bits). Qt-free. GUI thread only.
#include <string>

// What "ABOUT" holds; the defaults are what a key missing from the file reads as.
struct TProfileInfo {
  std::string MenuText = "not found";
  std::string InfoText = "not found";
  int Includes = 2;
};

// "" when the text can name a profile (the file is the name followed by ".usr" in the current
// directory); else the message to show. Refused: an empty name and one with a '/', which would
// lead out of the current directory.
std::string CheckProfileName(const std::string& name);

// The profile name of a file: its name without the directory, cut before the first '.' unless
// that '.' is the first character ("/x/a.b.usr" gives "a", ".usr" stays ".usr").
std::string ProfileNameOfFile(const std::string& fileName);

// Whether the file exists as a regular file that can be opened for reading.
bool ProfileFileReadable(const std::string& fileName);

// Reads "ABOUT" of the file into *info (missing keys give the defaults above). False, and *info
// unchanged, when the file is not readable.
bool ReadProfileInfoFile(const std::string& fileName, TProfileInfo* info);

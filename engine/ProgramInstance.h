#pragma once
// Where the program runs from and which running instance it is.
#include <string>

// 0 for the first running instance, 1 for the second, 2 for the third and every further one.
// Set once by the main window's constructor before the settings are loaded.
extern int g_InstanceIndex;

// Directory of the program's executable with its trailing '/'. Found from /proc/self/exe on
// first use; "./" if that fails.
const std::string& GetProgramDirectory();
// Replaces the program directory (a trailing '/' is added when missing); for tests and tools.
void SetProgramDirectory(const std::string& dir);

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

// The directory the program writes its own files into, with its trailing '/': the current
// working directory ($VARTUMO_HOME when started by run.sh), made absolute at each call. The
// palette kept between runs, the default filter files, the default reference spectrum, export
// definition, command file and capture names live here. The program directory above holds
// only what the program reads (help pages, plug-ins) and may not be writable once installed.
// "./" when the working directory cannot be read.
std::string GetWorkDirectory();

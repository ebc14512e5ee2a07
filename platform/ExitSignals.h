#pragma once
// Orderly exit on SIGTERM, SIGINT and SIGHUP. The handler only writes one byte into a pipe
// (self-pipe); a QSocketNotifier on the pipe's read end calls the request function on the GUI
// thread, which closes the program the same way as its Exit menu item. A second of these
// signals while that close runs ends the program at once with the signal's default action.
// Install before anything else installs handlers for these signals (the speaker's silencer
// keeps a handler it finds in place).
#include <functional>

// Installs the handlers (once per process; a later call only replaces the request function).
// Needs a QCoreApplication. False when the pipe or a handler could not be set up.
bool InstallExitSignalHandler(std::function<void(int signal)> onExitRequest);

// Restores the previous handlers and closes the pipe (tests).
void RemoveExitSignalHandler();

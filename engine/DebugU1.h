#pragma once
// The diagnostic sink: any module appends a printf-style line, optionally stamped with the time
// of day, to the error history of the debug window. GUI thread only (the audio thread uses the
// message queue of SoundThdMsgQueue.h, which the main timer passes on here).
#include <functional>
#include <string>

// Levels the program uses: 5 (configuration changes), 10, 20 (audio-thread messages, sound
// status changes). Messages below DEBUG_LEVEL_THRESHOLD (0) are dropped.
constexpr int DEBUG_LEVEL_THRESHOLD = 0;
constexpr int DEBUG_LINE_SIZE = 512;  // bytes of one line, terminator included

// Appends one line: when time (Unix seconds) is above 0 the line starts with its UTC time of
// day "hh:mm:ss" (truncated to whole seconds) and a blank, then the formatted text. A line
// longer than 511 characters is cut there (never overruns).
void DebugPrintf(int level, double time, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Where the lines go: the debug window installs itself; with no sink the lines are kept in a
// small backlog (the newest 200) that a sink receives when it is installed, so lines of the
// start-up before the debug window exists are not lost. nullptr removes the sink.
void SetDebugSink(std::function<void(const std::string& line)> sink);

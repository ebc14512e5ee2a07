#pragma once
// Shared inside the interpreter module only.
#include <string>

#include "interp/CliCommands.h"

// The object words of the registration table.
enum class CliObjectWordId { Wave, Capture, Circuit, Generator, Export, Plot, Period, Digimode, Count };
CLI_ObjectHandler CLI_GetObjectHandler(CliObjectWordId id);

// Resets the evaluator globals (parse position to an empty text).
void CliResetEvaluatorState();
const char* CliEmptyText();

// Services of other subsystems, reached in one place.
double CliNowUnixTime();                    // precise clock, Unix seconds UTC
double CliCoarseUnixTime();                 // the same without refinement (message stamps)
int CliMsgDisplay();                        // SndConfig.MsgDisplay
bool CliMsgErrorsWanted();                  // bit 1 or 2 of the message display filter
std::string CliFormatDateTime(const char* pattern, double unixSeconds);
bool CliParseDateTime(const char* pattern, double* value, const char** text);

// Range-checked double to int: false (and *out untouched) for NaN or a value outside
// [lo, hi] after truncation toward zero.
bool CliDoubleToInt(double v, int lo, int hi, int* out);

#pragma once
// The interpreter's object word "generator": read and set frequency, amplitude and level of
// the test generator's three oscillators (SndConfig.Sine[0..2]). GUI thread only; the audio
// thread takes a new value over at its next block through the oscillator's ParamsChanged flag.
//
//   generator[.][ "[" index "]" ][.]freq|ampl|level [ [=] expression ]
//
// Without an index oscillator 0 is meant. "freq" is in Hz, "ampl" linear (1.0 = full scale),
// "level" in dB (AmplitudeToDb of the amplitude; setting stores 10^(0.05 x value)).
#include <functional>

// Word handler (interp/CliCommands.h convention). g_CliParsePtr stands after "generator" and
// the "." the dispatcher consumed. result != nullptr: read, the value is stored there.
// result == nullptr: set. Returns 0, or:
//   -1 the property is not a lower-case word, or not "ampl", "freq" or "level" in full;
//   -4 a lower-case letter that starts no property;
//   -6 the value to set is not a finite number (or its level gives no finite amplitude);
//   -8 the index is not closed by "]";
//   -9 the index is not a finite number in 0 <= index < 3;
//   any code of the index or value expression.
// A failure changes no field; the parse position stands where the failure was found.
int CLI_EvalGeneratorObject(int source, double* result);

// Called after a set that changed the stored value (the generator window installs a refresh
// that acts when it is visible). An empty function removes it.
void Generator_SetRefreshHook(std::function<void()> hook);

// Registers CLI_EvalGeneratorObject as the word "generator" (for the whole run).
void Generator_RegisterWords();

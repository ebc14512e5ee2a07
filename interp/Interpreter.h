#pragma once
// Everything the other subsystems use of the command interpreter.
#include "interp/CliCommands.h"
#include "interp/CliEval.h"
#include "interp/CliSpectrum.h"
#include "interp/CmdWinMsg.h"
#include "interp/FreqMarkerState.h"
#include "interp/SpectrumBuffer.h"

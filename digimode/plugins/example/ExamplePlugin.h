#pragma once
// What the example mode plug-in reports about its calls (DIGM_ExampleReport). Shared by the
// plug-in and the programs that test it.
#include <cstdint>

struct ExamplePluginReport {
  // DIGM_SetMode: number of calls, the last arguments, the sizes found at the start of the four
  // blocks, their addresses, and a byte copy of the parameter block at the last call.
  int32_t SetModeCalls;
  int32_t LastA, LastB;
  int32_t ParamsSize, StatusSize, RxRingSize, TxRingSize;
  uintptr_t ParamsAddress, StatusAddress, RxRingAddress, TxRingAddress;
  unsigned char Params[144];
  // DIGM_DecodeAudio: calls, samples, the last block's length, time and first sample, and
  // the characters written into the receive ring.
  int64_t DecodeCalls, DecodeSamples;
  int32_t LastDecodeN;
  double LastDecodeT, LastDecodeFirst;
  int32_t RxCharsWritten;
  // DIGM_GenerateAudio: calls, the last block's length, characters taken from the transmit ring
  // and the last one.
  int64_t GenerateCalls;
  int32_t LastGenerateN;
  int32_t TxCharsTaken, LastTxChar;
  // DIGM_GetParamString: calls and the last index.
  int32_t ParamStringCalls, LastParamIndex;
};

// Changes to the plug-in's behaviour for tests.
struct ExamplePluginControl {
  // Samples of each transmit block the plug-in writes (the rest it leaves alone); -1 all.
  int32_t SamplesToWrite;
};

// The text the plug-in "decodes": one character per received block while the ring has room.
constexpr const char* kExamplePluginRxText = "Example plug-in\r";

// Fills *report (when not null) and applies *control (when not null). Returns 0.
extern "C" int32_t DIGM_ExampleReport(ExamplePluginReport* report, const ExamplePluginControl* control);
using DIGM_ExampleReport_t = int32_t (*)(ExamplePluginReport*, const ExamplePluginControl*);

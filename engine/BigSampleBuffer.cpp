#include "engine/BigSampleBuffer.h"

BigSampleBuffer g_BigBuffers[2];
CCriticalSection g_BigBufferLock;

void ClearBigBuffer(BigSampleBuffer*, double, double) {}
void InitBigBufferDecimation(BigSampleBuffer*, double, int, double) {}
double GetDecimatedSampleRate(BigSampleBuffer*) { return 0; }
void BigBufferWrite(BigSampleBuffer*, bool, bool, double, const double*, int) {}
bool BigBufferGetIndices(BigSampleBuffer*, uint64_t*, double*, double*) { return true; }
int64_t BigBufferRead(BigSampleBuffer*, int, int64_t, double*) { return -1; }

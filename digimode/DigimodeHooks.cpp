// The idle digimode engine: switches off, no receiver, no transmitter, no time decoder.
#include "digimode/DigimodeHooks.h"

std::atomic<bool> g_DigimodeRxEnabled{false};
std::atomic<bool> g_DigimodeTxEnabled{false};

void Digimode_Init()
{
  g_DigimodeRxEnabled.store(false, std::memory_order_release);
  g_DigimodeTxEnabled.store(false, std::memory_order_release);
}

void Digimode_ProcessRxAudio(const double*, int, double) {}

bool Digimode_GenerateTxAudio(double*, int, double) { return false; }

#include "control/FilterEditChannel.h"

int g_FilterEditChannel = 0;

int CorrectFilterEditChannel()
{
  if (g_FilterEditChannel < 0) g_FilterEditChannel = 0;
  if (g_FilterEditChannel > 1) g_FilterEditChannel = 1;
  return g_FilterEditChannel;
}

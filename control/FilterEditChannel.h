#pragma once
// The channel whose filter the filter control window shows and edits: 0 left, 1 right.
// Set by the signal-path window before it shows the filter window. GUI thread only.

extern int g_FilterEditChannel;

// Takes a negative g_FilterEditChannel as 0 and one above 1 as 1, stores the corrected value
// back and returns it.
int CorrectFilterEditChannel();

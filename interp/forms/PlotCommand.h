#pragma once
// The interpreter's object word "plot": plot.capture("file.bmp") saves the watch plotter's
// diagram as an image file (BMP or JPEG by the extension). Registered once at start-up by the
// main window for the whole run; the watch window sets the two globals. GUI thread only.
class QImage;

// 1 at program start and while the watch window is closed, 0 from its first showing.
extern int g_PlotWindowClosed;
// The drawn diagram, null while none has been drawn.
extern QImage* g_PlotCaptureBitmap;

// Handler convention of the object words: 0, or -3 (no diagram, window closed, the save
// failed), -1 (no lower-case word, or ')' missing), -4 (another word), -5 ('(' missing), or the
// file-name expression's code. Writes nothing through result.
int CLI_ExecPlotCommand(int source, double* result);

// Registers "plot" with the interpreter (after CLI_Init).
void Plot_RegisterCommandWord();

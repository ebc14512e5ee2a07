// Tuning scope of the terminal window: draws the engine's scope buffer (g_TuningScopeBuffer)
// into the 105 x 105 image Img_TuningScope in the style chosen by DigimodeSettings' ScopeMode,
// then hands the buffer back to the producers.
#pragma once

class QImage;

// Draws when the buffer's kind is at least 3 and its fill count reaches the display length;
// otherwise leaves `target` and the buffer alone and returns false. While drawing, the kind is 2
// and `updateCount` is one higher (the window's update counter). Returns true when it drew
// (including the "no data ?" text).
bool DrawTuningScopeImage(QImage& target, int& updateCount);

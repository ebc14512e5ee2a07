#include "engine/WindowBounds.h"

#include <algorithm>
#include <cstdint>

namespace {

// v placed on the desktop's span lo .. hi along one axis, in 64 bits so that neither the limits
// nor the sums can overflow: a window that fits lies wholly inside, a larger one keeps its
// leading edge on the desktop with at least `least` pixels of it on the desktop.
int PlaceInto(int v, int extent, int least, int64_t lo, int64_t hi)
{
  const int64_t last = hi - lo >= extent ? hi - extent : std::max<int64_t>(lo, hi - least);
  return static_cast<int>(std::clamp<int64_t>(v, lo, last));
}

}  // namespace

TWindowBounds LimitWindowBounds(const TWindowBounds& stored, const TWindowBounds& desktop)
{
  TWindowBounds b;
  b.Width = std::clamp(stored.Width, kMinWindowWidth, kMaxWindowExtent);
  b.Height = std::clamp(stored.Height, kMinWindowHeight, kMaxWindowExtent);
  if (desktop.Width > 0 && desktop.Height > 0) {
    b.Left = PlaceInto(stored.Left, b.Width, kMinWindowWidth, desktop.Left,
                       int64_t(desktop.Left) + desktop.Width);
    b.Top = PlaceInto(stored.Top, b.Height, kMinWindowHeight, desktop.Top,
                      int64_t(desktop.Top) + desktop.Height);
  } else {
    b.Left = std::clamp(stored.Left, -kMaxWindowCoord, kMaxWindowCoord);
    b.Top = std::clamp(stored.Top, -kMaxWindowCoord, kMaxWindowCoord);
  }
  return b;
}

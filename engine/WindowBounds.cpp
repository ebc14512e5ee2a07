#include "engine/WindowBounds.h"

#include <algorithm>
#include <cstdint>

namespace {

// v moved into lo .. hi - extent (to lo when the extent does not fit), in 64 bits so that
// neither the limits nor the sum can overflow.
int PlaceInto(int v, int extent, int64_t lo, int64_t hi)
{
  const int64_t last = std::max<int64_t>(lo, hi - extent);
  return static_cast<int>(std::clamp<int64_t>(v, lo, last));
}

}  // namespace

TWindowBounds LimitWindowBounds(const TWindowBounds& stored, const TWindowBounds& desktop)
{
  const bool known = desktop.Width > 0 && desktop.Height > 0;
  const int maxW = known ? std::max(kMinWindowWidth, desktop.Width) : kMaxWindowExtent;
  const int maxH = known ? std::max(kMinWindowHeight, desktop.Height) : kMaxWindowExtent;
  TWindowBounds b;
  b.Width = std::clamp(stored.Width, kMinWindowWidth, maxW);
  b.Height = std::clamp(stored.Height, kMinWindowHeight, maxH);
  if (known) {
    b.Left = PlaceInto(stored.Left, b.Width, desktop.Left, int64_t(desktop.Left) + desktop.Width);
    b.Top = PlaceInto(stored.Top, b.Height, desktop.Top, int64_t(desktop.Top) + desktop.Height);
  } else {
    b.Left = std::clamp(stored.Left, -kMaxWindowCoord, kMaxWindowCoord);
    b.Top = std::clamp(stored.Top, -kMaxWindowCoord, kMaxWindowCoord);
  }
  return b;
}

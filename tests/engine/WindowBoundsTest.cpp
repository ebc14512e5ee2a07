// Window bounds from a settings file limited before a window uses them.
#include <gtest/gtest.h>

#include <climits>

#include "engine/WindowBounds.h"

TEST(WindowBounds, StoredBoundsAreLimitedToTheDesktopAndToUsableSizes)
{
  const TWindowBounds desk{-1280, 0, 3200, 1050};  // two screens, the left one at negative x
  const struct {
    TWindowBounds stored, want;
  } cases[] = {
      {{100, 50, 800, 600}, {100, 50, 800, 600}},                      // kept as it is
      {{-1200, 10, 400, 300}, {-1200, 10, 400, 300}},                  // on the left screen
      {{INT_MAX - 10, INT_MAX - 10, INT_MAX, 1}, {1870, 1020, 8000, 30}},
      {{INT_MIN, INT_MIN, -5, INT_MIN}, {-1280, 0, 50, 30}},
      {{1900, 1000, 300, 200}, {1620, 850, 300, 200}},                 // moved back inside
      {{0, 0, 5000, 5000}, {0, 0, 5000, 5000}},         // larger than the desktop: edge on it
      {{-5000, 2000, 4000, 100}, {-1280, 950, 4000, 100}},
  };
  for (const auto& c : cases) {
    const TWindowBounds b = LimitWindowBounds(c.stored, desk);
    SCOPED_TRACE(testing::Message() << c.stored.Left << "," << c.stored.Top << " " << c.stored.Width
                                    << "x" << c.stored.Height);
    EXPECT_EQ(b.Left, c.want.Left);
    EXPECT_EQ(b.Top, c.want.Top);
    EXPECT_EQ(b.Width, c.want.Width);
    EXPECT_EQ(b.Height, c.want.Height);
  }
  // Without a known desktop only the overflow-safe limits apply.
  const TWindowBounds u = LimitWindowBounds({INT_MAX, INT_MIN, INT_MAX, -1}, TWindowBounds{});
  EXPECT_EQ(u.Left, kMaxWindowCoord);
  EXPECT_EQ(u.Top, -kMaxWindowCoord);
  EXPECT_EQ(u.Width, kMaxWindowExtent);
  EXPECT_EQ(u.Height, kMinWindowHeight);
}

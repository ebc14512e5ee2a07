// Window placement: frames fitted onto the screens, stored places read back, and windows
// brought forward from a minimised or hidden state.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <climits>
#include <string>

#include "common/TestUtil.h"
#include "engine/forms/FormPlacement.h"
#include "platform/IniFile.h"

namespace {

// Two monitors side by side, each with a task bar; the primary one first.
const QList<QRect> kTwoScreens = {QRect(0, 0, 1280, 994), QRect(1280, 0, 1920, 1050)};
// A title bar of 30 pixels and a 5-pixel border.
const QMargins kFrame(5, 30, 5, 5);

TEST(FormPlacementTest, FramesAreFittedOntoTheScreens)
{
  struct Case {
    const char* what;
    QRect stored;  // frame corner, client size
    QList<QRect> screens;
    QRect placed;
  };
  const Case cases[] = {
      {"first start at the origin: the frame, title bar included, is on the screen",
       QRect(0, 0, 640, 480), kTwoScreens, QRect(0, 0, 640, 480)},
      {"wholly on the primary screen: unchanged", QRect(100, 50, 500, 400), kTwoScreens,
       QRect(100, 50, 500, 400)},
      {"wholly on the second screen: unchanged", QRect(2000, 100, 800, 600), kTwoScreens,
       QRect(2000, 100, 800, 600)},
      {"title bar above the top edge: moved down", QRect(100, -20, 500, 400), kTwoScreens,
       QRect(100, 0, 500, 400)},
      {"left of every screen: moved onto the primary", QRect(-900, 200, 500, 400), kTwoScreens,
       QRect(0, 200, 500, 400)},
      {"on a monitor that is gone: moved onto the primary", QRect(5000, 3000, 500, 400),
       kTwoScreens, QRect(1280 - 510, 994 - 435, 500, 400)},
      {"over the second screen's right edge, title bar on it: unchanged",
       QRect(3000, 100, 500, 400), kTwoScreens, QRect(3000, 100, 500, 400)},
      {"across both screens, title bar on one of them: unchanged", QRect(1200, 100, 500, 400),
       kTwoScreens, QRect(1200, 100, 500, 400)},
      {"larger than the screen with its title bar on it: unchanged", QRect(10, 10, 2000, 1200),
       kTwoScreens, QRect(10, 10, 2000, 1200)},
      {"below the task bar, title bar above it: unchanged", QRect(100, 800, 500, 400),
       kTwoScreens, QRect(100, 800, 500, 400)},
      {"title bar below every screen: moved up", QRect(100, 1000, 500, 400), kTwoScreens,
       QRect(100, 994 - 435, 500, 400)},
      {"only a sliver of the title bar on the screen: moved on", QRect(-450, 100, 500, 400),
       kTwoScreens, QRect(0, 100, 500, 400)},
      {"too large and on a monitor that is gone: shrunk onto the primary",
       QRect(5000, 5000, 2000, 1200), kTwoScreens, QRect(0, 0, 1280 - 10, 994 - 35)},
      {"a screen that does not start at the origin",
       QRect(0, 0, 300, 200), QList<QRect>{QRect(0, 40, 1024, 728)}, QRect(0, 40, 300, 200)},
      {"absurdly far away: on the primary screen", QRect(2000000000, -2000000000, 300, 200),
       kTwoScreens, QRect(1280 - 310, 0, 300, 200)},
      {"no screen known: unchanged", QRect(-50, -50, 300, 200), QList<QRect>{},
       QRect(-50, -50, 300, 200)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(PlaceFrameOnScreens(c.stored, kFrame, c.screens), c.placed);
  }
}

struct PlacementTest : ::testing::Test {
  vt_test::TempDir dir;
};

// The stored place is the frame's corner and comes back where it was written; a place off
// every screen comes back on the screen.
TEST_F(PlacementTest, StoredPlacesAreReadBackOntoTheScreen)
{
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  IniFile ini(dir.file("u.ini"));
  QWidget w;
  w.resize(200, 150);
  w.move(screen.x() + 30, screen.y() + 40);
  ASSERT_TRUE(WriteFormBounds(&w, ini, "W", true));
  EXPECT_EQ(ini.ReadInteger("W", "Left", 0), screen.x() + 30);

  QWidget back;
  ReadFormBounds(&back, ini, "W", true);
  EXPECT_EQ(back.pos(), QPoint(screen.x() + 30, screen.y() + 40));
  EXPECT_EQ(back.size(), QSize(200, 150));
  // The stored form style, applied after the placement, keeps the window where it was put.
  SetFormStyle(&back, FORM_STYLE_STAY_ON_TOP);
  EXPECT_EQ(back.pos(), QPoint(screen.x() + 30, screen.y() + 40));

  // Off every screen, and numbers of a damaged file near the integer limits.
  const int lostPlaces[][2] = {{screen.right() + 3000, -4000}, {INT_MAX - 5, INT_MIN + 5}};
  for (const auto& at : lostPlaces) {
    ini.WriteInteger("W", "Left", at[0]);
    ini.WriteInteger("W", "Top", at[1]);
    QWidget lost;
    ReadFormBounds(&lost, ini, "W", true);
    const QRect frame(lost.pos(), lost.size().grownBy(WindowFrameMargins()));
    EXPECT_TRUE(screen.contains(frame)) << frame.x() << "," << frame.y();
    EXPECT_EQ(lost.size(), QSize(200, 150));
  }
}

std::string SizeText(QSize s)
{
  return std::to_string(s.width()) + "x" + std::to_string(s.height());
}

// The size a window has when its native window is created (the first show creates it).
struct SizeAtCreation : QObject {
  QSize size;
  bool eventFilter(QObject* o, QEvent* e) override
  {
    if (e->type() == QEvent::WinIdChange && size.isEmpty()) size = static_cast<QWidget*>(o)->size();
    return false;
  }
};

// A window placed before its first show already has the size the show gives it, even when a
// minimum inside a nested layout was raised while it was hidden (as the main window's display
// arrangement does): on X11 a window that grows after its native window exists, before the
// window manager has framed it, is placed by its client area, one border left and one title
// bar up, at every start.
TEST(PlaceWindowOnScreensTest, WindowIsAtItsShownSizeBeforeItIsCreated)
{
  struct Case {
    const char* what;
    QSize stored;
  } cases[] = {
      {"stored smaller than the layout's minimum", QSize(60, 40)},
      {"stored narrower only", QSize(60, 900)},
      {"stored larger", QSize(700, 800)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QWidget w;
    auto* outer = new QVBoxLayout(&w);
    auto* area = new QWidget;
    outer->addWidget(new QLabel("Caption"));
    outer->addWidget(area);
    auto* inner = new QVBoxLayout(area);
    auto* display = new QWidget;
    inner->addWidget(display);
    w.layout()->activate();     // the window's layout has taken the area's size once
    display->setMinimumSize(400, 300);  // raised while the window is hidden
    SizeAtCreation created;
    w.installEventFilter(&created);
    PlaceWindowOnScreens(&w, QPoint(20, 30), c.stored);
    const QSize placed = w.size();
    w.show();
    QApplication::processEvents();
    EXPECT_EQ(created.size, placed) << SizeText(created.size) << " / " << SizeText(placed);
    EXPECT_EQ(w.size(), placed) << SizeText(w.size());
    EXPECT_GE(w.width(), std::max(400, c.stored.width()));
    EXPECT_GE(w.height(), std::max(300, c.stored.height()));
    EXPECT_EQ(w.pos(), QPoint(20, 30));
  }
}

// Opening a window again from its menu item restores it when minimised and shows it when
// hidden; a maximised window stays maximised.
TEST(BringWindowToFrontTest, RestoresMinimisedAndShowsHidden)
{
  struct Case { Qt::WindowStates before; bool shown; Qt::WindowStates after; };
  const Case cases[] = {
      {Qt::WindowMinimized, true, Qt::WindowNoState},
      {Qt::WindowMinimized | Qt::WindowMaximized, true, Qt::WindowMaximized},
      {Qt::WindowNoState, false, Qt::WindowNoState},
      {Qt::WindowNoState, true, Qt::WindowNoState},
  };
  for (const Case& c : cases) {
    QWidget w;
    w.resize(120, 80);
    if (c.shown) w.show();
    w.setWindowState(c.before);
    BringWindowToFront(&w);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.isMinimized());
    EXPECT_EQ(w.windowState() & ~Qt::WindowActive, c.after);
  }
  BringWindowToFront(nullptr);  // no window yet: nothing happens
}

}  // namespace

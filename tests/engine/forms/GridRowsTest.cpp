// Grids with movable rows: the headers are there to grab, a dragged row's texts move (every
// changed cell reporting its change) while the header keeps its plain order; a title row stays.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QTableWidget>

#include "engine/forms/GridRows.h"

namespace {

QStringList Column(const QTableWidget& g, int c)
{
  QStringList texts;
  for (int r = 0; r < g.rowCount(); ++r) texts << (g.item(r, c) ? g.item(r, c)->text() : "");
  return texts;
}

TEST(GridRowsTest, DraggedRowsMoveTheirTextsAndTheTitleRowStays)
{
  struct Case { int from, to; QStringList after; };
  const Case cases[] = {
      {1, 3, {"T", "b", "c", "a", "d"}},
      {4, 2, {"T", "a", "d", "b", "c"}},
      {2, 2, {"T", "a", "b", "c", "d"}},
      {0, 2, {"T", "a", "b", "c", "d"}},  // the title row does not move
      {3, 0, {"T", "a", "b", "c", "d"}},  // nor does another row move above it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from * 10 + c.to);
    QTableWidget g(5, 2);
    const QStringList start = {"T", "a", "b", "c", "d"};
    for (int r = 0; r < 5; ++r) {
      g.setItem(r, 0, new QTableWidgetItem(start[r]));
      g.setItem(r, 1, new QTableWidgetItem(start[r] + "2"));
    }
    MakeGridRowsMovable(&g, true, 1);
    EXPECT_FALSE(g.verticalHeader()->isHidden());
    EXPECT_FALSE(g.horizontalHeader()->isHidden());
    EXPECT_TRUE(g.verticalHeader()->sectionsMovable());
    EXPECT_EQ(g.horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
    int changed = 0;
    QObject::connect(&g, &QTableWidget::cellChanged, [&](int, int) { ++changed; });
    g.verticalHeader()->moveSection(c.from, c.to);  // what a drag does
    EXPECT_EQ(Column(g, 0), c.after);
    QStringList second;
    for (const QString& t : c.after) second << t + "2";
    EXPECT_EQ(Column(g, 1), second);
    for (int r = 0; r < 5; ++r) EXPECT_EQ(g.verticalHeader()->logicalIndex(r), r);
    int differ = 0;
    for (int r = 0; r < 5; ++r) differ += c.after[r] != start[r];
    EXPECT_EQ(changed, 2 * differ);
  }
}

// The row numbers count the entries, not the title row, also when the grid grows or shrinks.
TEST(GridRowsTest, RowNumbersCountTheEntriesFromOne)
{
  const auto labels = [](const QTableWidget& g) {
    QStringList l;
    for (int r = 0; r < g.rowCount(); ++r)
      l << g.model()->headerData(r, Qt::Vertical, Qt::DisplayRole).toString();
    return l;
  };
  QTableWidget g(3, 2);
  MakeGridRowsMovable(&g, false, 1);
  EXPECT_EQ(labels(g), (QStringList{"", "1", "2"}));
  g.setRowCount(5);
  EXPECT_EQ(labels(g), (QStringList{"", "1", "2", "3", "4"}));
  g.setRowCount(2);
  EXPECT_EQ(labels(g), (QStringList{"", "1"}));
  QTableWidget fixed(3, 2);
  MakeGridRowsMovable(&fixed, false);
  EXPECT_EQ(fixed.horizontalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
}

}  // namespace

#include "engine/forms/GridRows.h"

#include <QHeaderView>
#include <QSignalBlocker>
#include <QStringList>
#include <QTableWidget>
#include <algorithm>
#include <vector>

void MoveGridRow(QTableWidget* grid, int from, int to)
{
  const int rows = grid->rowCount();
  if (from == to || from < 0 || to < 0 || from >= rows || to >= rows) return;
  const int lo = std::min(from, to), hi = std::max(from, to);
  std::vector<QStringList> texts;
  for (int r = lo; r <= hi; ++r) {
    QStringList row;
    for (int c = 0; c < grid->columnCount(); ++c) {
      const QTableWidgetItem* it = grid->item(r, c);
      row << (it ? it->text() : QString());
    }
    texts.push_back(row);
  }
  // The dragged row lands at `to`, the others close the gap.
  if (from < to)
    std::rotate(texts.begin(), texts.begin() + 1, texts.end());
  else
    std::rotate(texts.rbegin(), texts.rbegin() + 1, texts.rend());
  for (int r = lo; r <= hi; ++r)
    for (int c = 0; c < grid->columnCount(); ++c) {
      const QString& text = texts[r - lo][c];
      QTableWidgetItem* it = grid->item(r, c);
      if (it) {
        if (it->text() != text) it->setText(text);
      } else if (!text.isEmpty()) {
        grid->setItem(r, c, new QTableWidgetItem(text));
      }
    }
}

// Row numbers count the entries: the title rows are left blank and the first entry is 1.
static void NumberGridRows(QTableWidget* grid, int firstMovableRow)
{
  QStringList labels;
  for (int r = 0; r < grid->rowCount(); ++r)
    labels << (r < firstMovableRow ? QString() : QString::number(r - firstMovableRow + 1));
  grid->setVerticalHeaderLabels(labels);
}

void MakeGridRowsMovable(QTableWidget* grid, bool columnsSizable, int firstMovableRow)
{
  QHeaderView* rows = grid->verticalHeader();
  NumberGridRows(grid, firstMovableRow);
  // Rows come and go with the number of entries: their numbers follow.
  const auto renumber = [grid, firstMovableRow] { NumberGridRows(grid, firstMovableRow); };
  QObject::connect(grid->model(), &QAbstractItemModel::rowsInserted, grid, renumber);
  QObject::connect(grid->model(), &QAbstractItemModel::rowsRemoved, grid, renumber);
  QHeaderView* cols = grid->horizontalHeader();
  rows->show();
  cols->show();
  rows->setSectionsMovable(true);
  cols->setSectionsMovable(false);
  cols->setSectionResizeMode(columnsSizable ? QHeaderView::Interactive : QHeaderView::Fixed);
  QObject::connect(rows, &QHeaderView::sectionMoved, grid,
                   [grid, rows, firstMovableRow](int, int fromVisual, int toVisual) {
                     {
                       // The header goes back to its plain order; the texts move instead.
                       const QSignalBlocker block(rows);
                       rows->moveSection(toVisual, fromVisual);
                     }
                     if (fromVisual < firstMovableRow || toVisual < firstMovableRow) return;
                     MoveGridRow(grid, fromVisual, toVisual);
                   });
}

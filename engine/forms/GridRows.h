#pragma once
// Editable grids whose rows the user may drag into another order and whose columns may be
// sized: the headers are shown (row numbers at the left, column numbers on top) so there is
// something to grab. A dragged row really moves: the texts of the rows in between shift by one
// and the header keeps its plain order, so row n is still read as the grid's row n (and every
// changed cell reports its change as an edit would).
class QTableWidget;

// Rows below firstMovableRow (a title row) stay where they are and have no number; the rows
// after them are numbered from 1.
void MakeGridRowsMovable(QTableWidget* grid, bool columnsSizable, int firstMovableRow = 0);

// Moves the texts of row `from` to row `to`, shifting the rows in between; the building block
// of a dragged row, also for keyboard or menu moves.
void MoveGridRow(QTableWidget* grid, int from, int to);

// Where a write of text went on a console that wraps a full row at once,
// worked out from where the console says its cursor is.
#ifndef COLORTEXT_CONSOLE_LANDING_H
#define COLORTEXT_CONSOLE_LANDING_H

#include <stdint.h>

#include "console/text_measure.h"

// Cells are counted row after row from the top left of a buffer `width`
// cells wide and `size` cells in all. Text written from cell `start` that
// takes `cells` cells ends at start + cells; when that passes the last
// cell, the buffer scrolls up a row for every row it passes, and the cursor
// stays on the bottom row.
struct Landing {
    int32_t cells;  // -1: no count in the range explains the cursor
    int32_t first;  // the cell the text begins in now, after any scrolling
};

// The count in `range` that leaves the cursor in cell `after`. Only text
// that ends on the bottom row can have scrolled, and then counts a row
// apart leave the cursor in the same cell: the writer keeps the range of
// such text narrower than a row, and of two counts that fit, this takes
// the smaller.
Landing FindLanding(int32_t start, int32_t after, CellRange range, int32_t width, int32_t size);

#endif

#include "console/landing.h"

Landing FindLanding(int32_t start, int32_t after, CellRange range, int32_t width, int32_t size) {
    const int32_t unscrolled = after - start;
    int32_t rows = 0;
    if (unscrolled < range.least) {
        // Text that scrolled the buffer r rows took r rows more than the
        // cursor moved.
        if (after < size - width) return {-1, start};
        rows = (range.least - unscrolled + width - 1) / width;
    }
    const int32_t cells = unscrolled + rows * width;
    if (cells > range.most) return {-1, start};
    return {cells, start - rows * width};
}

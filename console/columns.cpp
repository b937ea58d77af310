#include "console/columns.h"

#include "console/display_width.h"

void FileColumn::LayOut(const uint8_t* bytes, uint32_t count, bool utf8, const LeadBytes* leads) {
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t c = bytes[i];
        if (trail) {
            trail = false;
        } else if (c < 0x20 || c == 0x7F) {
            column = AfterControl(column, c);
        } else if (leads != nullptr && leads->Has(c)) {
            trail = true;
            column += 2;
        } else if (c < 0x80 || c >= 0xC0 || !utf8) {
            ++column;
        }
    }
}

uint32_t FileColumn::AfterControl(uint32_t column, uint8_t c) {
    if (c == '\r' || c == '\n') return 0;
    if (c == '\b') return column > 0 ? column - 1 : 0;
    if (c == '\t') return (column / 8 + 1) * 8;
    return column;
}

void TerminalColumn::LayOut(const uint8_t* bytes, uint32_t count, uint32_t kinds) {
    if (kinds == 0 && missing == 0) {
        // A run is at most a storage's worth, so the sum cannot overflow.
        column = (column + count) % width;
        return;
    }
    for (uint32_t i = 0; i < count; ++i) Take(bytes[i]);
}

void TerminalColumn::Take(uint8_t c) {
    wrapped = false;
    if (missing > 0) {
        if (c >= low && c <= high) {
            codePoint = codePoint << 6 | (c & 0x3Fu);
            low = 0x80;
            high = 0xBF;
            if (--missing == 0) Move(DisplayWidth(codePoint));
            return;
        }
        CutShort();
    }
    if (c >= 0xC2 && c <= 0xF4) {
        // The lead byte says how many bytes follow; the range of the second
        // rules out overlong forms, surrogates and code points past
        // U+10FFFF.
        missing = static_cast<uint8_t>(Utf8Length(c) - 1);
        codePoint = c & (0x3Fu >> missing);
        low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
    } else if (c >= 0x80 || (c >= 0x20 && c != 0x7F)) {
        Move(1);
    } else {
        Control(c);
    }
}

// CR, LF, BS and TAB move the cursor, which leaves a full row behind.
void TerminalColumn::Control(uint8_t c) {
    if (c == '\r' || c == '\n' || c == '\b' || c == '\t') full = false;
    column = FileColumn::AfterControl(column, c);
    if (column >= width) column = width - 1;
}

void TerminalColumn::CutShort() {
    if (missing == 0) return;
    missing = 0;
    Move(1);
}

void TerminalColumn::Move(uint32_t cells) {
    if (cells == 0) return;
    wrapped = full || column + cells > width;
    if (column + cells > width) column = 0;
    column += cells;
    full = column >= width;
    if (full) column = 0;
}

void ConsoleColumn::Take(uint8_t c, bool multiByte) {
    if (TakesACell(c, multiByte)) {
        column = Next();
        pending = column == width - 1;
        if (!pending) ++column;
    } else if (static_cast<uint8_t>(c - '\n') <= '\r' - '\n') {  // LF, VT, FF, CR
        column = 0;
        pending = false;
    } else if (c == '\b') {
        if (column > 0) --column;
        pending = false;
    } else if (c == '\t') {
        const int32_t stop = column / 8 * 8 + 8;
        if (!pending) column = stop < width ? stop : width - 1;
    } else if (c == 0x1B) {
        known = false;
        doubt = anywhere = true;
    } else if (c >= 0x80) {
        known = false;
    }
}

// The column in which output that is not recoloured leaves the cursor,
// worked out from its bytes: a file viewed in a terminal, a terminal, and a
// console in virtual-terminal mode. Only the remainder modulo 8 matters to
// the writer, for tab stops.
#ifndef COLORTEXT_CONSOLE_COLUMNS_H
#define COLORTEXT_CONSOLE_COLUMNS_H

#include <stdint.h>

#include "console/text_measure.h"

// A file viewed in a terminal, which never wraps it: text moves the column
// on, CR and LF take it back to 0, BS one step, TAB to the next stop; other
// control bytes and DEL do not move it, nor, in UTF-8, do the bytes that
// continue a character; a character of two bytes in a double-byte code page
// takes two columns, as the editors and terminals of those languages show
// it.
struct FileColumn {
    uint32_t column;
    bool trail;  // the next byte ends a character of two

    // `leads`: the lead bytes of a double-byte code page, or null.
    void LayOut(const uint8_t* bytes, uint32_t count, bool utf8, const LeadBytes* leads);
    // Where a control byte alone leaves `column`.
    static uint32_t AfterControl(uint32_t column, uint8_t c);
};

// A terminal `width` columns wide, as it lays out UTF-8: each character
// takes its display width, wrapping at the width; one too wide for what is
// left of the row goes to the next. A byte that cannot begin or continue a
// character, and a character cut short by one that does not continue it,
// each show as one replacement character. A character's bytes may come in
// separate writes. Control bytes move the column as in a file, a tab no
// further than the last column. A character that fills the last column
// leaves the row full: the next one goes to the next row first, as does one
// too wide for what is left.
struct TerminalColumn {
    uint32_t column, width;
    // The character being gathered: `missing` bytes still to come (0: none),
    // the next in `low`..`high`.
    uint32_t codePoint;
    uint8_t missing, low, high;
    // The row is full; the character placed last went to the next row first.
    bool full, wrapped;

    // With `kinds` of 0 (text_measure.h) every byte is a column.
    void LayOut(const uint8_t* bytes, uint32_t count, uint32_t kinds);
    void Take(uint8_t c);
    void Control(uint8_t c);
    // Something other than text comes, such as an escape sequence: a
    // character still short of bytes shows as a replacement character.
    void CutShort();
    void Move(uint32_t cells);
};

// A console in virtual-terminal mode: the cursor's column, and whether the
// text filled the last column, where the cursor stays until the next
// character wraps it to the next row. Text moves it a cell a byte, and so
// does SUB, which shows as a symbol; CR, LF, VT and FF take it to column 0;
// BS one step back; TAB on to the next stop, no further than the last
// column and not past a waiting wrap; the other control bytes and DEL,
// which the console ignores, nowhere. A character of several bytes or an
// escape sequence leaves it unknown until the console says. `switched`: the
// program turned the mode on, and in a run a filled row wraps before a byte
// that takes no cell, as it does at once without the mode.
struct ConsoleColumn {
    int32_t column, width;
    bool pending, known, switched;
    // Not known, and a wrap may wait should the cursor stand in the last
    // column: after text whose cells only the console knows; `anywhere`,
    // on the bottom row too, at the start on a console that was in the mode
    // already and after an escape sequence of the text's own. (The program
    // never lets such text reach the buffer's last cell.)
    bool doubt, anywhere;

    // Where the console says the cursor is; `filled`: a row waits to wrap.
    void Set(int32_t x, bool filled) {
        column = x;
        pending = filled;
        known = true;
        doubt = anywhere = false;
    }
    // Where a control byte leaves a cursor that is not known: CR, LF, VT,
    // FF and BS drop a wrap that may wait, an escape may leave one.
    void Unknown(uint8_t c) {
        if (static_cast<uint8_t>(c - '\n') <= '\r' - '\n' || c == '\b') doubt = anywhere = false;
        if (c == 0x1B) doubt = anywhere = true;
    }

    // `multiByte`: bytes of 0x80 and above may make characters of several;
    // one of them makes the column unknown. Text of `kinds` that are all a
    // cell (AllCells) moves it at once.
    void LayOut(const uint8_t* bytes, uint32_t count, uint32_t kinds, bool multiByte) {
        if (known && AllCells(kinds, multiByte)) {
            Place(count);
            return;
        }
        for (uint32_t i = 0; i < count && known; ++i) {
            if (switched && pending && !TakesACell(bytes[i], multiByte)) Set(0, false);
            Take(bytes[i], multiByte);
        }
    }
    static bool AllCells(uint32_t kinds, bool multiByte) {
        return (kinds & (kControlByte | kDeleteByte)) == 0 &&
               !(multiByte && (kinds & kHighByte) != 0);
    }
    // `cells` more: the last goes `cells` - 1 after the next, and a row it
    // fills waits for the next one to wrap.
    void Place(uint32_t cells) {
        if (cells == 0) return;
        const uint32_t last =
            (static_cast<uint32_t>(Next()) + cells - 1) % static_cast<uint32_t>(width);
        pending = last + 1 == static_cast<uint32_t>(width);
        column = static_cast<int32_t>(pending ? last : last + 1);
    }
    void Take(uint8_t c, bool multiByte);
    static bool TakesACell(uint8_t c, bool multiByte) {
        return static_cast<uint8_t>(c - 0x20) < 0x5F || (c >= 0x80 && !multiByte) || c == 0x1A;
    }
    // The column the next character goes to.
    int32_t Next() const { return pending ? 0 : column; }
};

#endif

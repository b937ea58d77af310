// A reference model of everything colortext prints, for the fuzz target to
// hold the program against. It is written from the language as the README
// tells it, apart from interpreter/ and console/, and shaped otherwise: the
// command line is first read into a list of actions, which are then laid on
// a model console screen, or turned into the bytes that a file, a pipe or a
// terminal receives.
#ifndef COLORTEXT_FUZZ_MODEL_H
#define COLORTEXT_FUZZ_MODEL_H

#include <stdint.h>

#include <string>
#include <vector>

namespace model {

struct Action {
    enum Kind : uint8_t {
        kText,     // `byte`, `count` times, in `attribute`
        kTab,      // blanks up to the next tab stop, in `attribute`
        kControl,  // `byte` sent on its own, uncoloured
        kSwitch,   // a colour switch, whole or not: the text before it goes out
    };
    Kind kind;
    uint8_t byte;
    uint8_t attribute;
    uint16_t count;
};

// The actions of a raw command line, the program name first. (The model's
// results go into storage the caller keeps, so that a fuzzing session does
// not allocate afresh for every input.)
void Read(const std::string& commandLine, std::vector<Action>& actions);

struct Cell {
    uint32_t character;  // the byte, or under UTF-8 the code point
    uint16_t attribute;
};

// How the console shows text. A legacy console reads a single-byte code
// page, one byte to a cell, and wraps a row as soon as its last cell is
// written. In virtual-terminal mode the wrap waits for the next character,
// the console takes colours from the text, a tab only moves the cursor and
// control bytes other than the line ends, BS, TAB and BEL show nothing.
// Under UTF-8 the console decodes the bytes, and gives a character its
// cells as its layout says: Windows' console host gives East Asian wide
// characters two and joins a combining mark to the cell before it, Wine's
// console gives a cell to each UTF-16 code unit.
struct Console {
    bool virtualTerminal;
    bool utf8;
    bool wine;
    // Japanese, code page 932, laid out as the console host does; it keeps
    // a lead byte that ends a write for the next one.
    bool doubleByte = false;
    // In virtual-terminal mode because the program turned it on: then a row
    // that a write filled wraps once the write ends, as without the mode.
    bool switched = false;
};

// A console screen buffer under processed output. Characters and blanks
// take `ink`, the console's own attribute but while a write in
// virtual-terminal mode sets its colours; new rows take the console's own.
struct Screen {
    int width, height;
    int x, y;  // the cursor
    uint16_t own, ink;
    Console kind;
    bool pending;             // a full row waits for the next character to wrap
    std::string held;         // what the last write left of a character
    std::vector<Cell> cells;  // a ring of rows, row 0 at `top`
    int top;
    int64_t scrolled;  // rows that have gone off the top
    // A run that held a control byte, for which the program does not ask
    // the code page, ended in a lead byte of code page 932 that the console
    // keeps: where the run after it is coloured is not the program's to
    // know.
    bool undecided;
};

// The cell `index` cells from the top left, row after row.
inline Cell& At(Screen& s, int64_t index) {
    const int64_t row = (s.top + index / s.width) % s.height;
    return s.cells[static_cast<size_t>(row * s.width + index % s.width)];
}
inline Cell& At(Screen& s, int x, int y) {
    return s.cells[static_cast<size_t>((s.top + y) % s.height * s.width + x)];
}
inline const Cell& At(const Screen& s, int x, int y) {
    return s.cells[static_cast<size_t>((s.top + y) % s.height * s.width + x)];
}

void Clear(Screen& screen, int width, int height, int x, int y, uint16_t own, Console kind);

// What the actions leave on the screen.
void LayOnConsole(const std::vector<Action>& actions, Screen& screen);

// The bytes a terminal `width` columns wide receives, or a file or a pipe
// when `width` is 0, viewed as UTF-8 when `utf8` says so.
void Bytes(const std::vector<Action>& actions, uint32_t width, bool utf8, std::string& bytes);

}  // namespace model

#endif

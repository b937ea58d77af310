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
    uint8_t character;
    uint16_t attribute;
};

// A console screen buffer as a legacy console keeps it: processed output,
// a single-byte code page (one byte, one cell) and a row that wraps as soon
// as its last cell is written. Characters, blanks and new rows take the
// console's own attribute.
struct Screen {
    int width, height;
    int x, y;  // the cursor
    uint16_t own;
    std::vector<Cell> cells;
    int64_t scrolled;  // rows that have gone off the top
};

void Clear(Screen& screen, int width, int height, int x, int y, uint16_t own);

// What the actions leave on the screen.
void LayOnConsole(const std::vector<Action>& actions, Screen& screen);

// The bytes a terminal `width` columns wide receives, or a file or a pipe
// when `width` is 0.
void Bytes(const std::vector<Action>& actions, uint32_t width, std::string& bytes);

}  // namespace model

#endif

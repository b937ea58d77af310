// Console cell attributes shown on a terminal, as SGR escape sequences.
#ifndef COLORTEXT_CONSOLE_TERMINAL_COLOURS_H
#define COLORTEXT_CONSOLE_TERMINAL_COLOURS_H

#include <stdint.h>

// "ESC[97;107m" is the longest sequence.
constexpr uint32_t kMaxSgrLength = 10;
// Puts every attribute back to the terminal's default.
constexpr char kSgrReset[] = "\x1b[0m";
constexpr uint32_t kSgrResetLength = sizeof kSgrReset - 1;

// Writes the sequence that selects `attribute`'s colours into `out` and
// returns its length. The console's defaults, light grey on black, stand for
// the terminal's own foreground and background, so plain text (0x07) needs
// no sequence at all (length 0), and a foreground on black keeps whatever
// background the terminal has, light or dark.
uint32_t FormatSgr(uint16_t attribute, uint8_t* out);

#endif

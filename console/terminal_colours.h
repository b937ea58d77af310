// Console cell attributes as SGR escape sequences, for terminals and for
// consoles in virtual-terminal mode.
#ifndef COLORTEXT_CONSOLE_TERMINAL_COLOURS_H
#define COLORTEXT_CONSOLE_TERMINAL_COLOURS_H

#include <stdint.h>

// "ESC[97;107m" is the longest sequence.
constexpr uint32_t kMaxSgrLength = 10;
// Puts every attribute back to the terminal's default.
constexpr char kSgrReset[] = "\x1b[0m";
constexpr uint32_t kSgrResetLength = sizeof kSgrReset - 1;

// A console colour is blue 1, green 2, red 4; an ANSI colour is red 1,
// green 2, blue 4: swap the outer bits.
inline uint8_t AnsiIndex(uint32_t colour) {
    return static_cast<uint8_t>((colour & 2) | (colour & 1) << 2 | (colour & 4) >> 2);
}

// Writes the sequence that selects `attribute`'s colours into `out` and
// returns its length. The console's defaults, light grey on black, stand for
// the terminal's own foreground and background, so plain text (0x07) needs
// no sequence at all (length 0), and a foreground on black keeps whatever
// background the terminal has, light or dark.
uint32_t FormatSgr(uint16_t attribute, uint8_t* out);

// The same with both colours always given, 0x07 as light grey on black, as
// a console in virtual-terminal mode shows the attribute it stores, and
// always kConsoleSgrLength long: a background below 8 has a leading zero,
// "ESC[37;040m", so that a run's sequences are put without a loop.
constexpr uint32_t kConsoleSgrLength = 9;
inline void FormatConsoleSgr(uint16_t attribute, uint8_t* out) {
    const uint32_t foreground = attribute & 0x0F;
    const uint32_t background = (attribute >> 4) & 0x0F;
    out[0] = 0x1B;
    out[1] = '[';
    out[2] = static_cast<uint8_t>(foreground < 8 ? '3' : '9');
    out[3] = static_cast<uint8_t>('0' + AnsiIndex(foreground & 7));
    out[4] = ';';
    out[5] = static_cast<uint8_t>(background < 8 ? '0' : '1');
    out[6] = static_cast<uint8_t>(background < 8 ? '4' : '0');
    out[7] = static_cast<uint8_t>('0' + AnsiIndex(background & 7));
    out[8] = 'm';
}

// Save the console's colours, whatever they are, and restore them exactly.
constexpr char kSgrPush[] = "\x1b[#{";
constexpr char kSgrPop[] = "\x1b[#}";
constexpr uint32_t kSgrPushLength = sizeof kSgrPush - 1;

#endif

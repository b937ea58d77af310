#include "console/terminal_colours.h"

namespace {

// A console colour is blue 1, green 2, red 4; an ANSI colour is red 1,
// green 2, blue 4: swap the outer bits.
uint8_t AnsiIndex(uint8_t colour) {
    return static_cast<uint8_t>((colour & 2) | (colour & 1) << 2 | (colour & 4) >> 2);
}

// One parameter: `normal` + index, or `bright` + index with intensity.
uint8_t* PutParameter(uint8_t* out, uint8_t colour, unsigned normal, unsigned bright) {
    unsigned code = ((colour & 8) != 0 ? bright : normal) + AnsiIndex(colour & 7);
    if (code >= 100) *out++ = static_cast<uint8_t>('0' + code / 100);
    *out++ = static_cast<uint8_t>('0' + code / 10 % 10);
    *out++ = static_cast<uint8_t>('0' + code % 10);
    return out;
}

}  // namespace

uint32_t FormatSgr(uint16_t attribute, uint8_t* out) {
    const uint8_t foreground = attribute & 0x0F;
    const uint8_t background = (attribute >> 4) & 0x0F;
    const bool ownForeground = foreground != 0x07;
    const bool ownBackground = background != 0x00;
    if (!ownForeground && !ownBackground) return 0;

    uint8_t* p = out;
    *p++ = 0x1B;
    *p++ = '[';
    if (ownForeground) p = PutParameter(p, foreground, 30, 90);
    if (ownForeground && ownBackground) *p++ = ';';
    if (ownBackground) p = PutParameter(p, background, 40, 100);
    *p++ = 'm';
    return static_cast<uint32_t>(p - out);
}

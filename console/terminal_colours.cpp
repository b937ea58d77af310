#include "console/terminal_colours.h"

namespace {

// One parameter: 30 to 37 and 90 to 97 for a foreground, 40 to 47 and 100
// to 107 for a background, the second for a bright colour.
uint8_t* PutParameter(uint8_t* out, uint8_t colour, bool background) {
    const bool bright = (colour & 8) != 0;
    if (background && bright) *out++ = '1';
    *out++ = background ? (bright ? '0' : '4') : (bright ? '9' : '3');
    *out++ = static_cast<uint8_t>('0' + AnsiIndex(colour & 7));
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
    if (ownForeground) p = PutParameter(p, foreground, false);
    if (ownForeground && ownBackground) *p++ = ';';
    if (ownBackground) p = PutParameter(p, background, true);
    *p++ = 'm';
    return static_cast<uint32_t>(p - out);
}

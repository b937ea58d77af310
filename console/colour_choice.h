// Whether colours go out as the output takes them, not at all, or as
// escape sequences where no terminal is: the environment's choice, made
// once, at the start of a run.
#ifndef COLORTEXT_CONSOLE_COLOUR_CHOICE_H
#define COLORTEXT_CONSOLE_COLOUR_CHOICE_H

#include <stdint.h>

enum class Colours : uint8_t {
    kAsUsual,  // a console's cells or in-band colour, a file's plain bytes
    kNone,     // the output's own colours only: nothing recoloured, no sequence
    kForced,   // a file or a pipe gets each run in its colour sequences too
};

// NO_COLOR, set to anything, asks for no colour and wins; FORCE_COLOR, set
// to anything but 0 and false, or CLICOLOR_FORCE, to anything but 0, asks
// for colour where no terminal is. A null or empty value is not set.
Colours ChooseColours(const char* noColor, const char* forceColor, const char* cliColorForce);

// The same from the environment, through the platform.
Colours ReadColourChoice();

#endif

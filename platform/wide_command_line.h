// The command line as the user typed it. Windows hands every program its
// command line in UTF-16; colortext reads bytes, and the bytes it writes
// are shown in the console's output code page, so the line is encoded once,
// before any token is read, in that code page. Then a string holds the
// bytes the user's batch file held, as cmd read them.
#ifndef COLORTEXT_PLATFORM_WIDE_COMMAND_LINE_H
#define COLORTEXT_PLATFORM_WIDE_COMMAND_LINE_H

#include "platform/platform.h"

namespace platform {

// WideCharToMultiByte's own values.
constexpr DWORD CP_OEMCP = 1;
constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x400;

// What the encoding needs of the backend.
const uint16_t* GetCommandLineW();
// As the Windows API's, with no default character given (the code page's
// own, `?` for a console's) and none reported; `units` -1 for text that
// ends in a NUL, which is encoded too.
int WideCharToMultiByte(DWORD codePage, DWORD flags, const uint16_t* wide, int units, char* bytes,
                        int size);

// The flags that make a character the code page lacks its default
// character rather than a look-alike (a fullwidth quotation mark becoming
// `"`): WC_NO_BEST_FIT_CHARS, or 0 for the code pages that refuse every
// such flag and have no look-alikes to give.
DWORD NoBestFitFlags(DWORD codePage);

// GetCommandLineW in the console's output code page (the OEM code page when
// the process has no console), NUL-terminated, in static storage.
const char* EncodeCommandLine();

}  // namespace platform

#endif

// The requests that the program answers with a text instead of reading
// tokens: its usage and, on a terminal, its version. Which requests there
// are and what they print differ between platforms, so each build links
// one source that defines them (usage_windows.cpp, usage_posix.cpp).
#ifndef COLORTEXT_INTERPRETER_USAGE_H
#define COLORTEXT_INTERPRETER_USAGE_H

#include <stdint.h>

struct Request {
    // The whole argument text, leaving aside blanks before and after it.
    const char* word;
    // Printed as the token language would print it: the text in the initial
    // colour, each control byte (the line ends) written directly.
    const char* reply;
};

extern const Request kRequests[];
extern const uint32_t kRequestCount;

#endif

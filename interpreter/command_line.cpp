#include "interpreter/command_line.h"

#include "platform/platform.h"

// The program name is not split or unquoted the way a C runtime would do
// it: a leading double quote runs to the next double quote, anything else
// runs to the first blank. Whatever follows is the caller's, untouched.
const unsigned char* FindArgumentText() {
    const unsigned char* position =
        reinterpret_cast<const unsigned char*>(platform::GetCommandLineA());
    unsigned char first = *position;
    if (first == '\0') return position;
    ++position;
    if (first == '"') {
        while (*position != '\0' && *position != '"') ++position;
        if (*position == '"') ++position;
        return position;
    }
    while (*position != '\0' && *position != ' ') ++position;
    return position;
}

bool IsWholeArgumentText(const unsigned char* position, const char* word) {
    position = SkipBlanks(position);
    // A mismatch, the command line's NUL included, ends the comparison.
    for (; *word != '\0'; ++word, ++position) {
        if (*position != static_cast<unsigned char>(*word)) return false;
    }
    return *SkipBlanks(position) == '\0';
}

// Finding the arguments on the raw command line, and stepping over blanks.
// Both work in place on the platform's command line; nothing is copied.
#ifndef COLORTEXT_INTERPRETER_COMMAND_LINE_H
#define COLORTEXT_INTERPRETER_COMMAND_LINE_H

// Where the argument text begins: right after the program name.
const unsigned char* FindArgumentText();

// Steps over blanks (0x20 only; a tab is not a blank). Inline: the token
// loop calls it for every token.
inline const unsigned char* SkipBlanks(const unsigned char* position) {
    while (*position == ' ') ++position;
    return position;
}

// Whether the argument text from `position` is `word` alone, with nothing
// but blanks before and after it.
bool IsWholeArgumentText(const unsigned char* position, const char* word);

#endif

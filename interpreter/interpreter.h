// The token language: quoted strings, decimal character codes with their
// repeat form, and colour switches, read from the command line.
#ifndef COLORTEXT_INTERPRETER_INTERPRETER_H
#define COLORTEXT_INTERPRETER_INTERPRETER_H

#include <stdint.h>

// Interprets the whole command line and returns the exit code, always 0.
int RunCommandLine();

struct Decimal {
    uint16_t value;
    unsigned char terminator;
};

// Reads a decimal number whose first digit has already been taken; leaves
// the position on the first character that is not a digit. Wraps at 65536.
Decimal ReadDecimal(const unsigned char*& position, unsigned char first);

// The value of one digit of a colour switch. Every character has one: the
// arithmetic wraps in 8 bits and nothing is rejected.
uint8_t HexDigitValue(unsigned char c);

#endif

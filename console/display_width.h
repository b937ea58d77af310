// How many columns a terminal gives a character: 0, 1 or 2.
#ifndef COLORTEXT_CONSOLE_DISPLAY_WIDTH_H
#define COLORTEXT_CONSOLE_DISPLAY_WIDTH_H

#include <stdint.h>

// 2 for East Asian wide and fullwidth characters and emoji; 0 for control
// characters, combining marks and the characters that are drawn in no
// column (zero width space, joiners, variation selectors, Hangul medial
// vowels and final consonants, ...); 1 for every other code point.
uint32_t DisplayWidth(uint32_t codePoint);

#endif

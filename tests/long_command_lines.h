// Command lines as long as a process can be given, each filled with one
// kind of token. Shared by the limit tests and the benchmark.
#ifndef COLORTEXT_TESTS_LONG_COMMAND_LINES_H
#define COLORTEXT_TESTS_LONG_COMMAND_LINES_H

#include <stddef.h>

#include <string>

namespace long_command_lines {

// Windows starts a process with at most 32,767 characters of command line,
// the terminating NUL included; one more is taken here, to be on the safe
// side of the bound.
constexpr size_t kLongest = 32767;

// "prog " and `unit` as often as it fits whole, then blanks up to exactly
// `length` characters.
inline std::string Filled(const std::string& unit, size_t length = kLongest) {
    std::string line = "prog ";
    while (line.size() + unit.size() <= length) line += unit;
    line.append(length - line.size(), ' ');
    return line;
}

// How many times Filled() repeats `unit`.
inline size_t Repeats(const std::string& unit, size_t length = kLongest) {
    return (length - 5) / unit.size();
}

// "abc...zabc..." of the given length.
inline std::string Letters(size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i) text += static_cast<char>('a' + i % 26);
    return text;
}

// "prog " and one quoted string of letters, `length` characters in all.
inline std::string OneString(size_t length = kLongest) {
    return "prog \"" + Letters(length - 7) + "\"";
}

}  // namespace long_command_lines

#endif

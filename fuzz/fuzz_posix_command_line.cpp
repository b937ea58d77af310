// Fuzz target for the POSIX backend's command line: the input is a list of
// arguments, argv[0] first, and the line rebuilt from them must be what this
// rule gives: the program name in double quotes when it holds a blank, then
// each argument after a single blank, for as long as whole arguments fit in
// 32,767 characters; the first that does not ends the line.
//
// The arguments are separated by NUL bytes. So that a short input can reach
// the limit, an argument that begins with byte 0x01 is spelled out: two
// bytes of length (low byte first), a fill byte and text; it stands for the
// text followed by the fill byte that many times.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix.h"

// The backend hands over to the program's entry; here nothing runs it.
extern "C" [[noreturn]] void ColortextEntry() { abort(); }

namespace {

constexpr size_t kLongest = 32767;

std::string Argument(const std::string& field) {
    if (field.size() < 4 || field[0] != '\x01') return field;
    const size_t length = static_cast<unsigned char>(field[1]) |
                          static_cast<size_t>(static_cast<unsigned char>(field[2])) << 8;
    return field.substr(4) + std::string(length, field[3]);
}

std::string Expected(const std::vector<std::string>& arguments) {
    std::string line;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string piece = arguments[i];
        if (i == 0 && piece.find(' ') != std::string::npos) piece = "\"" + piece + "\"";
        if (i > 0) piece = " " + piece;
        if (line.size() + piece.size() > kLongest) break;
        line += piece;
    }
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> arguments;
    const char* text = reinterpret_cast<const char*>(data);
    // No bytes, no arguments: argc 0 is possible too. Past twice the limit
    // no more arguments are made: none of them could fit.
    size_t total = 0;
    for (size_t at = 0; at < size && total <= 2 * kLongest;) {
        const size_t length = strnlen(text + at, size - at);
        arguments.push_back(Argument(std::string(text + at, length)));
        total += arguments.back().size() + 1;
        at += length + 1;
    }
    std::vector<const char*> argv;
    for (const std::string& a : arguments) argv.push_back(a.c_str());
    argv.push_back(nullptr);

    BuildCommandLine(static_cast<int>(arguments.size()), argv.data());
    const std::string got = platform::GetCommandLineA();
    const std::string expected = Expected(arguments);
    if (got != expected) {
        fprintf(stderr, "%zu arguments give a line of %zu characters, expected %zu\n",
                arguments.size(), got.size(), expected.size());
        for (size_t i = 0; i < got.size() && i < expected.size(); ++i) {
            if (got[i] != expected[i]) {
                fprintf(stderr, "first difference at %zu\n", i);
                break;
            }
        }
        abort();
    }
    return 0;
}

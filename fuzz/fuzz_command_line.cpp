// Fuzz target: the input is a raw command line, run through the whole
// program on the simulated console, and again behind a marker on the
// console and on a terminal; after every run the checks below must hold,
// or the target aborts with the reason.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "console/terminal_colours.h"
#include "interpreter/interpreter.h"
#include "platform/simulated_console.h"

namespace {

using simulated::Call;
using simulated::Op;

constexpr size_t kRunStorage = 4096;  // text bytes that go out in one write

struct Shape {
    int width, height;
    int16_t x, y;
    uint16_t ownAttribute;
    int terminalWidth;  // not 0: standard output is a terminal this wide
};

// Small buffers with the cursor low down, so that runs wrap and scroll.
constexpr Shape kAlone = {16, 4, 3, 2, 0x2E, 0};
constexpr Shape kBehindMarker = {7, 3, 0, 2, 0x5A, 0};
// A narrow terminal, so that the writer's own column wraps.
constexpr Shape kTerminal = {7, 3, 0, 0, 0x07, 11};

struct Cells {
    int first;  // linear index into the buffer
    int count;
};

// Where the console put a run of n bytes of plain text written from
// `before`: one cell per byte, wrapping at the row's end; when it passes
// the bottom row the buffer scrolls up a row and the text goes with it.
// Bytes scrolled off the top are gone.
Cells WhereTextLanded(const Shape& shape, platform::COORD before, int n) {
    const int start = before.Y * shape.width + before.X;
    const int end = start + n;
    int rows = end / shape.width - (shape.height - 1);
    if (rows < 0) rows = 0;
    const int shift = rows * shape.width;
    const int first = start - shift > 0 ? start - shift : 0;
    return {first, end - shift - first};
}

bool HasControlByte(const std::string& bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) < 0x20) return true;
    }
    return false;
}

std::string CallAt(size_t i, const std::string& what) {
    return "call " + std::to_string(i) + ": " + what;
}

// Every text write is followed by a read of the cursor and then by one
// recolouring in one attribute of exactly the cells the text went to: as
// many as it has bytes, from the cursor read before the write. Plain text
// that scrolled the buffer is the exception the writer works back: its
// recolouring starts as many rows higher as the buffer scrolled, and leaves
// out what went off the top. A write that is not recoloured is a single
// control byte.
std::string CheckCalls(const simulated::Console& console, const Shape& shape) {
    const std::vector<Call>& calls = console.Calls();
    if (calls.size() < 3 || calls[0].op != Op::GetStdHandle ||
        calls[1].op != Op::GetConsoleScreenBufferInfo || calls[2].op != Op::GetCommandLineA) {
        return "the run does not open with the handle, the cursor and the command line";
    }
    platform::COORD cursor = calls[1].cursor;
    for (size_t i = 3; i < calls.size(); ++i) {
        const Call& call = calls[i];
        if (call.foreignHandle) return CallAt(i, "passes a foreign handle");
        if (call.op == Op::GetConsoleScreenBufferInfo) {
            cursor = call.cursor;
            continue;
        }
        if (call.op == Op::GetConsoleOutputCP) continue;
        if (call.op != Op::WriteConsoleA) return CallAt(i, "is not a write: " + Describe(call));
        if (call.reservedPointer) return CallAt(i, "passes a reserved pointer");
        const size_t n = call.bytes.size();
        if (n == 0 || n > kRunStorage) return CallAt(i, "writes " + std::to_string(n) + " bytes");
        if (i + 1 >= calls.size() || calls[i + 1].op != Op::GetConsoleScreenBufferInfo) {
            return CallAt(i, "the cursor is not read back after the write");
        }
        const platform::COORD after = calls[i + 1].cursor;
        if (i + 2 >= calls.size() || calls[i + 2].op != Op::WriteConsoleOutputAttribute) {
            const unsigned char byte = static_cast<unsigned char>(call.bytes[0]);
            if (n != 1 || byte >= 0x20 || byte == '\t') {
                return CallAt(i, "text is written without a recolouring: " + Describe(call));
            }
            cursor = after;
            ++i;
            continue;
        }
        const Call& recolour = calls[i + 2];
        for (uint16_t a : recolour.attributes) {
            if (a != recolour.attributes.front() || a > 0xFF) {
                return CallAt(i + 2, "mixes attributes: " + Describe(recolour));
            }
        }
        Cells want = {cursor.Y * shape.width + cursor.X, static_cast<int>(n)};
        if (!HasControlByte(call.bytes)) {
            want = WhereTextLanded(shape, cursor, static_cast<int>(n));
            const int end = want.first + want.count;
            if (after.Y * shape.width + after.X != end % (shape.width * shape.height)) {
                return CallAt(i, "the console put the cursor elsewhere than the text ended");
            }
        }
        const int got = recolour.coord.Y * shape.width + recolour.coord.X;
        if (got != want.first || recolour.attributes.size() != static_cast<size_t>(want.count)) {
            return CallAt(i + 2, Describe(recolour) + " after " + std::to_string(n) +
                                     " bytes written from (" + std::to_string(cursor.X) + "," +
                                     std::to_string(cursor.Y) + "); expected " +
                                     std::to_string(want.count) + " cells from cell " +
                                     std::to_string(want.first));
        }
        cursor = after;
        i += 2;
    }
    return "";
}

// On a terminal nothing but WriteFile follows the opening calls, and each
// write is one run: at most the storage's worth of text, between the
// sequences for its colours and for the reset.
std::string CheckTerminalCalls(const simulated::Console& console) {
    const std::vector<Call>& calls = console.Calls();
    if (calls.size() < 4 || calls[0].op != Op::GetStdHandle ||
        calls[1].op != Op::GetConsoleScreenBufferInfo || calls[2].op != Op::GetTerminalWidth ||
        calls[3].op != Op::GetCommandLineA) {
        return "the run does not open with the handle, the console test, the terminal's width "
               "and the command line";
    }
    for (size_t i = 4; i < calls.size(); ++i) {
        const Call& call = calls[i];
        if (call.op != Op::WriteFile) return CallAt(i, "is not a WriteFile: " + Describe(call));
        if (call.foreignHandle || call.reservedPointer) {
            return CallAt(i, "passes a foreign handle or an overlapped pointer");
        }
        const size_t n = call.bytes.size();
        if (n == 0 || n > kRunStorage + kMaxSgrLength + kSgrResetLength) {
            return CallAt(i, "writes " + std::to_string(n) + " bytes");
        }
    }
    return "";
}

// Runs the program once on a fresh console of the given shape.
const simulated::Console& Run(const std::string& commandLine, const Shape& shape) {
    simulated::Console& console = simulated::TheConsole();
    console.Reset(shape.width, shape.height, platform::COORD{shape.x, shape.y}, shape.ownAttribute);
    // Stored with exactly its size and the NUL, so that the sanitizer sees
    // any read past the end.
    console.SetCommandLine(commandLine);
    if (shape.terminalWidth != 0) console.SetTerminal(shape.terminalWidth);
    const int code = RunCommandLine();
    if (code != 0) {
        fprintf(stderr, "exit code %d\n", code);
        abort();
    }
    return console;
}

[[noreturn]] void Broken(const std::string& what, const std::string& commandLine) {
    fprintf(stderr, "broken: %s\ncommand line of %zu bytes:\n", what.c_str(), commandLine.size());
    fwrite(commandLine.data(), 1, commandLine.size(), stderr);
    fputc('\n', stderr);
    abort();
}

void Check(const simulated::Console& console, const Shape& shape, const std::string& line) {
    const std::string broken =
        shape.terminalWidth != 0 ? CheckTerminalCalls(console) : CheckCalls(console, shape);
    if (!broken.empty()) Broken(broken, line);
    if (console.OwnAttribute() != shape.ownAttribute) {
        Broken("the console's own attribute changed", line);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The platform hands over a NUL-terminated string: a NUL ends it.
    const char* text = reinterpret_cast<const char*>(data);
    const std::string line(text, strnlen(text, size));

    Check(Run(line, kAlone), kAlone, line);

    // Text that comes first is never lost, whatever follows it, on a console
    // or on a terminal.
    const std::string marked = "prog \"MARKER\" " + line;
    for (const Shape* shape : {&kBehindMarker, &kTerminal}) {
        const simulated::Console& console = Run(marked, *shape);
        Check(console, *shape, marked);
        for (const Call& call : console.Calls()) {
            if (call.op != Op::WriteConsoleA && call.op != Op::WriteFile) continue;
            if (call.bytes.compare(0, 6, "MARKER") != 0) {
                Broken("the first text written is " + Describe(call), marked);
            }
            break;
        }
    }
    return 0;
}

// Helpers shared by the tests: run the whole program on the simulated
// console, and write down the calls it is expected to make.
#ifndef COLORTEXT_TESTS_SIMULATED_RUN_H
#define COLORTEXT_TESTS_SIMULATED_RUN_H

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "interpreter/interpreter.h"
#include "platform/simulated_console.h"

namespace testing_support {

inline simulated::Console& FreshConsole(int width = 40, int height = 8, int x = 0, int y = 0,
                                        uint16_t ownAttribute = 0x07) {
    simulated::Console& console = simulated::TheConsole();
    console.Reset(width, height, platform::COORD{static_cast<int16_t>(x), static_cast<int16_t>(y)},
                  ownAttribute);
    return console;
}

// Writes bytes straight to the console, as another program sharing it would.
inline void WriteToConsole(simulated::Console& console, const std::string& bytes) {
    platform::DWORD written = 0;
    console.WriteConsoleA(console.GetStdHandle(platform::STD_OUTPUT_HANDLE), bytes.data(),
                          static_cast<platform::DWORD>(bytes.size()), &written, nullptr);
}

// Runs the program with `prog` and `arguments` as its raw command line on
// the console as it stands, and returns the calls it made, described.
inline std::vector<std::string> RunProgram(const std::string& arguments) {
    simulated::Console& console = simulated::TheConsole();
    console.SetCommandLine("prog " + arguments);
    int code = RunCommandLine();
    std::vector<std::string> calls = console.DescribedCalls();
    if (code != 0) calls.push_back("exit code " + std::to_string(code));
    return calls;
}

// The calls of a run, built in order: Expect().Flush("Hi", 0x1F, 0, 0).Direct(13).
class Expect {
  public:
    Expect()
        : calls_{"GetStdHandle(-11)",     "GetConsoleScreenBufferInfo", "GetConsoleMode",
                 "SetConsoleCtrlHandler", "SetConsoleMode(0x07)",       "GetCommandLineA"} {}

    // Text written, the cursor read back, then its cells recoloured from (x, y).
    Expect& Flush(const std::string& text, uint16_t attribute, int x, int y) {
        simulated::Call write{};
        write.op = simulated::Op::WriteConsoleA;
        write.bytes = text;
        simulated::Call recolour{};
        recolour.op = simulated::Op::WriteConsoleOutputAttribute;
        recolour.attributes.assign(text.size(), attribute);
        recolour.coord = {static_cast<int16_t>(x), static_cast<int16_t>(y)};
        calls_.push_back(simulated::Describe(write));
        calls_.push_back("GetConsoleScreenBufferInfo");
        calls_.push_back(simulated::Describe(recolour));
        return *this;
    }

    // The output code page asked, as it is once a run holds a byte of 0x80
    // or above.
    Expect& CodePage() {
        calls_.push_back("GetConsoleOutputCP");
        return *this;
    }

    // One control byte written alone, then the cursor read back.
    Expect& Direct(unsigned char byte) {
        simulated::Call write{};
        write.op = simulated::Op::WriteConsoleA;
        write.bytes.assign(1, static_cast<char>(byte));
        calls_.push_back(simulated::Describe(write));
        calls_.push_back("GetConsoleScreenBufferInfo");
        return *this;
    }

    operator std::vector<std::string>() const { return calls_; }

  private:
    std::vector<std::string> calls_;
};

// The text write that the recolouring at `i` belongs to: the write, the
// cursor read back, perhaps the output mode asked, then the recolouring.
// calls.size() when there is none.
inline size_t WriteBefore(const std::vector<simulated::Call>& calls, size_t i) {
    size_t j = i;
    while (j > 0 && calls[j - 1].op == simulated::Op::GetConsoleMode) --j;
    if (j < 2 || calls[j - 1].op != simulated::Op::GetConsoleScreenBufferInfo ||
        calls[j - 2].op != simulated::Op::WriteConsoleA) {
        return calls.size();
    }
    return j - 2;
}

// The attribute that a write to a console in virtual-terminal mode gives
// its text, read from the colour sequence after the one that saves the
// console's colours; -1 for a write without one.
inline int InBandAttribute(const std::string& bytes) {
    // "ESC[#{ESC[" FF ";" BBB "m": ANSI colours are red 1, green 2, blue 4;
    // console colours blue 1.
    const std::string push = "\x1b[#{\x1b[";
    if (bytes.compare(0, push.size(), push) != 0 || bytes.size() < push.size() + 7) return -1;
    auto colour = [](int code) {
        const int ansi = code % 10;
        return (ansi & 2) | (ansi & 1) << 2 | (ansi & 4) >> 2 | (code >= 90 ? 8 : 0);
    };
    const int foreground = std::stoi(bytes.substr(push.size(), 2));
    const int background = std::stoi(bytes.substr(push.size() + 3, 3));
    return colour(background) << 4 | colour(foreground);
}

// What must hold after any run: every recolouring follows a text write and
// covers the cells of that write with one attribute, and the console's own
// attribute is what it was. Returns a description of the first breach.
inline std::string CheckRunInvariants(const simulated::Console& console, uint16_t ownAttribute) {
    const std::vector<simulated::Call>& calls = console.Calls();
    for (size_t i = 0; i < calls.size(); ++i) {
        const simulated::Call& call = calls[i];
        // A run in virtual-terminal mode comes with colour sequences.
        if (call.op == simulated::Op::WriteConsoleA && InBandAttribute(call.bytes) < 0 &&
            call.bytes.size() > 4096) {
            return "call " + std::to_string(i) + " writes " + std::to_string(call.bytes.size()) +
                   " bytes at once";
        }
        if (call.op != simulated::Op::WriteConsoleOutputAttribute) continue;
        const size_t write = WriteBefore(calls, i);
        if (write == calls.size()) {
            return "call " + std::to_string(i) + " recolours without a write before it";
        }
        // A character of two bytes takes up to three cells, with the blank
        // it may leave at the end of a row, and a lead byte the last write
        // left may join the first byte of this one; so may the first bytes
        // of a UTF-8 character, which then shows whole.
        const size_t bytes = calls[write].bytes.size();
        size_t most = simulated::IsDoubleByte(console.CodePage()) ? bytes + bytes / 2 + 2 : bytes;
        for (size_t j = write; j-- > 0;) {
            if (calls[j].op != simulated::Op::WriteConsoleA) continue;
            const std::string& last = calls[j].bytes;
            if (simulated::Utf8Unfinished(reinterpret_cast<const unsigned char*>(last.data()),
                                          last.size()) > 0) {
                most += 2;
            }
            break;
        }
        if (call.attributes.size() > most) {
            return "call " + std::to_string(i) + " recolours more cells than were written";
        }
        for (uint16_t a : call.attributes) {
            if (a != call.attributes.front())
                return "call " + std::to_string(i) + " mixes attributes";
        }
    }
    if (console.OwnAttribute() != ownAttribute) return "the console's own attribute changed";
    return "";
}

// Whatever the console's layout: every cell that a write of plain text put
// a character in (or left blank before a wide character that did not fit)
// carries the attribute of that write's recolouring, or in virtual-terminal
// mode of its colour sequence, and, when no run held control bytes, every
// other cell still has the console's own attribute, the blanks of rows
// that a run scrolled in too. A run with control bytes may colour over any
// cell.
// Needs the whole log. Returns a description of the first cell that breaks
// this.
inline std::string CheckColouredCells(const simulated::Console& console, uint16_t ownAttribute) {
    const std::vector<simulated::Call>& calls = console.Calls();
    std::vector<int> colourOf(calls.size() + 1, -1);
    bool controlRuns = false;
    // A run that holds control bytes is coloured a cell a byte from where
    // it began, over whatever is there.
    std::vector<int> controlColours;
    std::vector<int> unknownColours;
    bool several = false;
    for (size_t i = 0; i < calls.size(); ++i) {
        const int inBand =
            calls[i].op == simulated::Op::WriteConsoleA ? InBandAttribute(calls[i].bytes) : -1;
        if (inBand >= 0) colourOf[calls[i].number] = inBand;
        // Characters of several bytes take cells only the console knows: a
        // row such a run, or one after it, scrolls in by more than the
        // cursor tells keeps its colour in the blanks behind it.
        for (char c : calls[i].bytes) several = several || static_cast<unsigned char>(c) >= 0x80;
        if (inBand >= 0 && several && console.CodePage() != 437) unknownColours.push_back(inBand);
        if (calls[i].op != simulated::Op::WriteConsoleOutputAttribute) continue;
        const size_t write = WriteBefore(calls, i);
        if (write == calls.size()) continue;
        bool control = false;
        for (char c : calls[write].bytes) control = control || static_cast<unsigned char>(c) < 0x20;
        controlRuns = controlRuns || control;
        const std::vector<uint16_t>& run = calls[i].attributes;
        if (control && !run.empty()) controlColours.push_back(run.front());
        if (!control) colourOf[calls[write].number] = run.empty() ? -2 : run.front();
    }
    for (int y = 0; y < console.Height(); ++y) {
        for (int x = 0; x < console.Width(); ++x) {
            const simulated::Cell& cell = console.At(x, y);
            const int colour = cell.write < colourOf.size() ? colourOf[cell.write] : -1;
            if (colour == -2) {
                return "cell (" + std::to_string(x) + "," + std::to_string(y) +
                       ") was written but not recoloured";
            }
            const bool ours = colour >= 0;
            if (!ours && controlRuns) continue;
            const int want = ours ? colour : ownAttribute;
            bool overlaid = false;
            for (int c : controlColours) overlaid = overlaid || cell.attribute == c;
            for (int c : unknownColours) {
                overlaid =
                    overlaid || (cell.write == 0 && cell.character == ' ' && cell.attribute == c);
            }
            if (cell.attribute != want && !overlaid) {
                char what[96];
                snprintf(what, sizeof what, "cell (%d,%d) has %02X, not %02X", x, y, cell.attribute,
                         want);
                return what;
            }
        }
    }
    return "";
}

}  // namespace testing_support

#endif

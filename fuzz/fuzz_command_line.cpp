// Fuzz target: the input is a raw command line, or on some consoles the
// text a user typed, handed over in UTF-16 as Windows hands it. The whole
// program runs it on simulated consoles, into a file and on a terminal, and
// each time what it printed must be exactly what the model (model.h) says:
// every cell's character and colour and the cursor on a console, every byte
// elsewhere.
// Nothing is left out of that: where a long run is cut into writes of 4 KB
// could be the program's own affair, but it shows (each write has its own
// colour sequences on a terminal, and a tab counts from where its write
// began), so the model cuts runs where the README says they are cut. Two
// things the model leaves alone: escape sequences that the command line
// itself holds, which a console in virtual-terminal mode acts on, and, on
// a legacy console in a double-byte code page, a lead byte that a run with
// control bytes ends in and the console keeps for the next; then the
// screen is not compared there, the calls still are.
// Each call is also checked as it is made: on a legacy console every
// recolouring covers exactly the cells of the text written before it, and
// under UTF-8 it covers no more cells than the text has bytes; in
// virtual-terminal mode nothing is recoloured and every run comes between
// the sequences that save and restore the console's colours, only a row's
// last cell has its colour read; a console
// that the program turned virtual-terminal mode on for gets its mode back.
// No row a run scrolled in keeps the run's colour. Any difference aborts
// with the reason.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "console/terminal_colours.h"
#include "fuzz/model.h"
#include "interpreter/interpreter.h"
#include "platform/simulated_console.h"
#include "platform/wide_command_line.h"

namespace {

using simulated::Call;
using simulated::Op;

constexpr size_t kRunStorage = 4096;  // text bytes that go out in one write
// With its colours: each byte may come with a colour sequence either side,
// and a tab as blanks.
constexpr size_t kMostBytesInAWrite = kRunStorage * (2 * kMaxSgrLength + 8) + 64;

enum class Kind { kConsole, kFile, kTerminal };

struct Shape {
    const char* name;
    Kind kind;
    int width, height;  // of the console, or the terminal's width
    int16_t x, y;
    uint16_t ownAttribute;
    bool behindMarker;  // the input follows `prog "MARKER" `
    // The line is handed over as Windows hands it, in UTF-16: the input as
    // text typed in UTF-8 (AsTyped).
    bool typed;
    model::Console console;
    // Windows Terminal's console: recolouring rewrites cells from a UTF-16
    // code unit each.
    bool pseudoConsole;
    // Which inputs run here: those whose length leaves this remainder
    // modulo `every`.
    int every, remainder;
};

constexpr model::Console kLegacy = {false, false, false};
constexpr model::Console kVirtualTerminal = {true, false, false};
constexpr model::Console kUtf8Host = {false, true, false};
constexpr model::Console kUtf8HostVirtualTerminal = {true, true, false};
constexpr model::Console kUtf8Wine = {false, true, true};
constexpr model::Console kJapanese = {false, false, false, true};
constexpr model::Console kJapaneseVirtualTerminal = {true, false, false, true};
constexpr model::Console kSwitched = {true, false, false, false, true};
constexpr model::Console kUtf8Switched = {true, true, false, false, true};
constexpr model::Console kJapaneseSwitched = {true, false, false, true, true};

// The input as the raw command line, its first token taken for the program
// name, and behind a marker, all of it read as arguments. The consoles are
// small, with the cursor low down, so that runs wrap and scroll, and their
// own colours are not those that text starts in; 7 and 12 columns are not a
// whole number of tab stops. The terminals are narrow, so that their column
// wraps: at 11 columns a wrap moves the tab stops and a tab passes the last
// column, at 16 a tab ends right on it. Each input meets four of these in
// turn, by its length: a legacy console; one of today's consoles (one that
// defers the wrap, UTF-8 ones laid out as the console host and as Wine lay
// them out, Japanese, one the program turns the mode on for); a UTF-8 or
// Japanese console in virtual-terminal mode, the program's or its own,
// under a pseudo-console or in a window; and a file or a terminal; so that a
// session tries many inputs and each shape gets its share.
constexpr Shape kShapes[] = {
    {"console 16x4", Kind::kConsole, 16, 4, 3, 2, 0x2E, false, false, kLegacy, false, 2, 0},
    {"console 7x3, typed", Kind::kConsole, 7, 3, 0, 2, 0x5A, true, true, kLegacy, false, 2, 1},
    {"console 16x4 in virtual-terminal mode", Kind::kConsole, 16, 4, 3, 2, 0x2E, false, false,
     kVirtualTerminal, false, 6, 0},
    {"UTF-8 console 16x4", Kind::kConsole, 16, 4, 3, 2, 0x2E, false, false, kUtf8Host, false, 6, 1},
    {"UTF-8 console 12x3 in virtual-terminal mode, typed", Kind::kConsole, 12, 3, 0, 2, 0x5A, true,
     true, kUtf8HostVirtualTerminal, false, 6, 2},
    {"UTF-8 console 13x3 as Wine lays it out, typed", Kind::kConsole, 13, 3, 0, 2, 0x5A, true, true,
     kUtf8Wine, false, 6, 3},
    {"Japanese console 11x3", Kind::kConsole, 11, 3, 0, 2, 0x5A, true, false, kJapanese, false, 6,
     4},
    {"console 16x4 the program turned virtual-terminal mode on for", Kind::kConsole, 16, 4, 3, 2,
     0x2E, false, false, kSwitched, false, 6, 5},
    {"UTF-8 console 12x3 the program turned virtual-terminal mode on for, typed", Kind::kConsole,
     12, 3, 5, 2, 0x5A, true, true, kUtf8Switched, false, 5, 0},
    {"UTF-8 pseudo-console 13x4 the program turned virtual-terminal mode on for", Kind::kConsole,
     13, 4, 9, 3, 0x2E, true, false, kUtf8Switched, true, 5, 1},
    {"Japanese console 11x3 the program turned virtual-terminal mode on for", Kind::kConsole, 11, 3,
     7, 2, 0x5A, true, false, kJapaneseSwitched, false, 5, 2},
    {"Japanese pseudo-console 10x4 the program turned virtual-terminal mode on for", Kind::kConsole,
     10, 4, 0, 3, 0x2E, false, false, kJapaneseSwitched, true, 5, 3},
    {"Japanese console 12x3 in virtual-terminal mode", Kind::kConsole, 12, 3, 4, 1, 0x5A, true,
     false, kJapaneseVirtualTerminal, false, 5, 4},
    {"file", Kind::kFile, 0, 0, 0, 0, 0x07, false, false, kLegacy, false, 4, 0},
    {"file in UTF-8", Kind::kFile, 0, 0, 0, 0, 0x07, false, false, kUtf8Host, false, 4, 1},
    {"terminal 16", Kind::kTerminal, 16, 0, 0, 0, 0x07, true, false, kLegacy, false, 4, 2},
    {"terminal 11", Kind::kTerminal, 11, 0, 0, 0, 0x07, true, false, kLegacy, false, 4, 3},
};

std::string Printable(const std::string& bytes) {
    std::string out;
    for (char byte : bytes) {
        const unsigned char c = static_cast<unsigned char>(byte);
        char hex[8];
        snprintf(hex, sizeof hex, c < 0x20 || c >= 0x7F || c == '\\' ? "\\x%02X" : "%c", c);
        out += hex;
    }
    return out;
}

const Shape* current;
const std::string* currentLine;

[[noreturn]] void Broken(const std::string& what) {
    fprintf(stderr, "broken on the %s: %s\ncommand line of %zu bytes: %s\n", current->name,
            what.c_str(), currentLine->size(), Printable(*currentLine).c_str());
    abort();
}

bool HasControlByte(const unsigned char* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] < 0x20) return true;
    }
    return false;
}

std::string Where(platform::COORD c) {
    return "(" + std::to_string(c.X) + "," + std::to_string(c.Y) + ")";
}

// Checks each call as the program makes it, so that runs of millions of
// bytes need no log. A run opens with the handle, the console test (and,
// when that fails, the terminal's width) and the command line. On a console
// every text write is followed by a read of the cursor and then by one
// recolouring in one attribute of exactly the cells the text went to; a
// write that is not recoloured is a single control byte. Elsewhere only
// WriteFile follows, one run of text (with its colours and reset on a
// terminal) or one control byte at a time, and its bytes must be the next
// ones the model expects.
class CallChecker : public simulated::Observer {
  public:
    CallChecker(const Shape& shape, const std::string& expected)
        : shape_(shape), expected_(expected) {}

    void Saw(const Call& call, const void* data, size_t count) override {
        ++calls_;
        if (call.foreignHandle) Broken(At() + "passes a foreign handle");
        if (calls_ <= Opening()) {
            // A typed line is encoded once, before any token is read, with
            // the flags its code page takes. A console without
            // virtual-terminal mode is asked to take it.
            if (call.op != Opening(calls_ - 1)) Broken("the run opens with " + Describe(call));
            if (call.op == Op::GetConsoleScreenBufferInfo) cursor_ = call.cursor;
            if (call.op == Op::WideCharToMultiByte &&
                call.flags != platform::NoBestFitFlags(call.value)) {
                Broken("the command line is encoded with the wrong flags: " + Describe(call));
            }
            return;
        }
        // Asked at most once a run, when a byte above 0x7F is written; the
        // output mode only at the start.
        if (call.op == Op::GetConsoleOutputCP) {
            if (++codePages_ > 1) Broken(At() + "asks again");
            return;
        }
        if (call.op == Op::GetConsoleMode) Broken(At() + "asks for the output mode again");
        if (shape_.kind == Kind::kConsole && shape_.console.virtualTerminal) {
            InBand(call, static_cast<const char*>(data), count);
        } else if (shape_.kind == Kind::kConsole) {
            OnConsole(call, data, count);
        } else {
            OnFile(call, static_cast<const char*>(data), count);
        }
    }

    void Finish() {
        if (shape_.kind == Kind::kConsole) {
            if (step_ == Step::kCursor) Broken("the cursor is not read back after the last write");
            if (step_ == Step::kRecolour) Unrecoloured();
        } else if (offset_ != expected_.size()) {
            Broken("the output ends after " + std::to_string(offset_) + " of " +
                   std::to_string(expected_.size()) + " bytes; the rest should be " +
                   Printable(expected_.substr(offset_, 80)));
        }
    }

  private:
    enum class Step { kWrite, kCursor, kRecolour };

    // The calls a run opens with, and how many.
    Op Opening(size_t i) const {
        Op ops[8] = {Op::GetStdHandle, Op::GetConsoleScreenBufferInfo, Op::GetTerminalWidth};
        size_t n = 2;
        if (shape_.kind == Kind::kConsole) {
            ops[n++] = Op::GetConsoleMode;
            if (!shape_.console.wine &&
                (!shape_.console.virtualTerminal || shape_.console.switched)) {
                ops[n++] = Op::SetConsoleCtrlHandler;
                ops[n++] = Op::SetConsoleMode;
            }
        } else {
            ++n;
        }
        if (shape_.typed) {
            ops[n++] = Op::GetCommandLineW;
            ops[n++] = Op::GetConsoleOutputCP;
            ops[n++] = Op::WideCharToMultiByte;
        } else {
            ops[n++] = Op::GetCommandLineA;
        }
        return i < n ? ops[i] : Op::ExitProcess;
    }
    size_t Opening() const {
        size_t n = 0;
        while (Opening(n) != Op::ExitProcess) ++n;
        return n;
    }

    // Text comes between the sequences that save the console's colours and
    // give them back; uncoloured go a control byte, what the runs left of a
    // character at the end, and CR LF, where a row is full or taken as full
    // (the program switched the mode on, or nothing tells). The
    // cursor and the colour of a row's last cell may be read, and nothing
    // is recoloured. A mode the program turned on goes back once, at the
    // end.
    void InBand(const Call& call, const char* data, size_t count) {
        if (call.op == Op::GetConsoleScreenBufferInfo) return;
        if (call.op == Op::ReadConsoleOutputAttribute) {
            if (call.value != 1 || call.coord.X != shape_.width - 1) {
                Broken(At() + "reads the colours of cells other than a row's last");
            }
            return;
        }
        if (call.op == Op::SetConsoleMode && shape_.console.switched && ++modes_ == 1) return;
        if (call.op != Op::WriteConsoleA) Broken(At() + "expected a write, not " + Describe(call));
        if (call.reservedPointer) Broken(At() + "passes a reserved pointer");
        const std::string bytes(data, count);
        const std::string push = kSgrPush, pop = kSgrPop;
        if (count > 0 && bytes.compare(0, push.size(), push) != 0) {
            size_t tail = 0;
            while (tail < count && static_cast<unsigned char>(data[tail]) >= 0x80) ++tail;
            const bool control = tail + 1 == count && static_cast<unsigned char>(data[tail]) < 0x20;
            if (tail <= 3 && (control || tail == count)) return;
            if (bytes == "\r\n") return;
        }
        // On a console the program switched, a filled row wraps at the end.
        const size_t end =
            shape_.console.switched && count >= 2 && bytes.compare(count - 2, 2, "\r\n") == 0
                ? count - 2
                : count;
        if (count > kMostBytesInAWrite || bytes.compare(0, push.size(), push) != 0 ||
            end < push.size() + pop.size() ||
            bytes.compare(end - pop.size(), pop.size(), pop) != 0) {
            Broken(At() + "writes " + Printable(bytes.substr(0, 80)) + " out of its colours");
        }
    }

    std::string At() const { return "call " + std::to_string(calls_) + ": "; }

    void OnConsole(const Call& call, const void* data, size_t count) {
        if (step_ == Step::kCursor) {
            if (call.op != Op::GetConsoleScreenBufferInfo) {
                Broken(At() + "the cursor is not read back after the write");
            }
            after_ = call.cursor;
            step_ = Step::kRecolour;
            return;
        }
        if (step_ == Step::kRecolour) {
            step_ = Step::kWrite;
            if (call.op == Op::WriteConsoleOutputAttribute) {
                Recoloured(call, static_cast<const uint16_t*>(data), count);
                return;
            }
            Unrecoloured();
        }
        if (call.op != Op::WriteConsoleA) Broken(At() + "expected a write, not " + Describe(call));
        if (call.reservedPointer) Broken(At() + "passes a reserved pointer");
        if (count == 0 || count > kRunStorage) {
            Broken(At() + "writes " + std::to_string(count) + " bytes");
        }
        written_ = count;
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        keptBefore_ = !kept_.empty();
        const std::string all = simulated::Continued(
            platform::CP_UTF8, kept_, std::string(reinterpret_cast<const char*>(bytes), count));
        kept_ = all.substr(all.size() -
                           simulated::Utf8Unfinished(
                               reinterpret_cast<const unsigned char*>(all.data()), all.size()));
        firstByte_ = bytes[0];
        controls_ = HasControlByte(bytes, count);
        step_ = Step::kCursor;
    }

    void Unrecoloured() {
        if (written_ != 1 || firstByte_ >= 0x20 || firstByte_ == '\t') {
            Broken(At() + std::to_string(written_) +
                   " bytes of text are written without a recolouring");
        }
        cursor_ = after_;
    }

    // From the cursor read before the write, as many cells as it has bytes;
    // but plain text that scrolled the buffer went up with it, so its cells
    // start as many rows higher as it scrolled, leaving out what went off
    // the top.
    void Recoloured(const Call& call, const uint16_t* attributes, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            if (attributes[i] != attributes[0] || attributes[i] > 0xFF) {
                Broken(At() + "the recolouring mixes attributes");
            }
        }
        // Today's consoles: a write takes no more cells than it has bytes,
        // and which ones is for the model to say. Where the cursor cannot
        // tell whether a wrap waits, what follows cannot be told either: a
        // run with control bytes, or one with characters of doubtful width
        // on a UTF-8 console.
        if (shape_.console.utf8 || shape_.console.doubleByte) {
            // A character of two bytes takes up to three cells, with the
            // blank it may leave at the end of a row, and a lead byte that
            // the last write left may join the first byte of this one; so
            // may the first bytes of a UTF-8 character, shown whole then.
            const size_t most = shape_.console.doubleByte ? written_ + written_ / 2 + 2
                                                          : written_ + (keptBefore_ ? 2 : 0);
            if (count > most) Broken(At() + "recolours more cells than were written");
            cursor_ = after_;
            return;
        }
        const int width = shape_.width, height = shape_.height;
        const int start = cursor_.Y * width + cursor_.X;
        int first = start, cells = static_cast<int>(written_);
        if (!controls_) {
            const int end = start + cells;
            const int rows = std::max(0, end / width - (height - 1));
            first = std::max(0, start - rows * width);
            cells = end - rows * width - first;
            if (after_.Y * width + after_.X != (first + cells) % (width * height)) {
                Broken(At() + "the console put the cursor elsewhere than the text ended");
            }
        }
        const int got = call.coord.Y * width + call.coord.X;
        if (got != first || count != static_cast<size_t>(cells)) {
            Broken(At() + std::to_string(count) + " cells recoloured from " + Where(call.coord) +
                   " after " + std::to_string(written_) + " bytes written from " + Where(cursor_) +
                   "; expected " + std::to_string(cells) + " from cell " + std::to_string(first));
        }
        cursor_ = after_;
    }

    void OnFile(const Call& call, const char* data, size_t count) {
        if (call.op != Op::WriteFile) Broken(At() + "is not a WriteFile: " + Describe(call));
        if (call.reservedPointer) Broken(At() + "passes an overlapped pointer");
        if (count == 0 || count > kMostBytesInAWrite) {
            Broken(At() + "writes " + std::to_string(count) + " bytes");
        }
        if (expected_.compare(offset_, count, data, count) != 0) {
            Broken(At() + "writes " + Printable(std::string(data, std::min<size_t>(count, 80))) +
                   " at byte " + std::to_string(offset_) + "; expected " +
                   Printable(expected_.substr(offset_, std::min<size_t>(count, 80))));
        }
        offset_ += count;
    }

    const Shape& shape_;
    const std::string& expected_;
    size_t calls_ = 0;
    size_t offset_ = 0;
    Step step_ = Step::kWrite;
    platform::COORD cursor_ = {0, 0};
    platform::COORD after_ = {0, 0};
    size_t written_ = 0;
    unsigned char firstByte_ = 0;
    bool controls_ = false;
    // The write before this one ended in a UTF-8 character's first bytes,
    // and those this one and what the console kept end in.
    bool keptBefore_ = false;
    std::string kept_;
    int codePages_ = 0;
    int modes_ = 0;
};

// Whether the command line writes an escape character of its own.
bool WritesEscape(const std::vector<model::Action>& actions) {
    return std::any_of(actions.begin(), actions.end(), [](const model::Action& a) {
        return a.kind != model::Action::kTab && a.byte == 0x1B;
    });
}

void CompareScreens(const simulated::Console& console, const model::Screen& want) {
    for (int y = 0; y < want.height; ++y) {
        for (int x = 0; x < want.width; ++x) {
            const simulated::Cell& got = console.At(x, y);
            const model::Cell& cell = model::At(want, x, y);
            if (got.character != cell.character || got.attribute != cell.attribute) {
                char what[96];
                snprintf(what, sizeof what,
                         "cell (%d,%d) holds 0x%02X in %02X; expected 0x%02X in %02X", x, y,
                         got.character, got.attribute, cell.character, cell.attribute);
                Broken(what);
            }
        }
    }
    if (console.Cursor().X != want.x || console.Cursor().Y != want.y) {
        Broken("the cursor is at " + Where(console.Cursor()) + "; expected (" +
               std::to_string(want.x) + "," + std::to_string(want.y) + ")");
    }
}

// Storage kept from input to input, so that a session does not allocate
// afresh for each.
std::string expected;
model::Screen want;

uint32_t CodePage(const Shape& shape) {
    return shape.console.utf8 ? platform::CP_UTF8 : shape.console.doubleByte ? 932 : 437;
}

// `line` is the command line as the program reads it; `typed`, when not
// null, the UTF-16 line it is encoded from.
void RunOn(const Shape& shape, const std::string& line, const std::vector<model::Action>& actions,
           const std::u16string* typed) {
    current = &shape;
    currentLine = &line;
    expected.clear();
    if (shape.kind != Kind::kConsole) {
        model::Bytes(actions, static_cast<uint32_t>(shape.width), shape.console.utf8, expected);
    }
    CallChecker checker(shape, expected);

    simulated::Console& console = simulated::TheConsole();
    const bool isConsole = shape.kind == Kind::kConsole;
    console.Reset(isConsole ? shape.width : 1, isConsole ? shape.height : 1,
                  platform::COORD{shape.x, shape.y}, shape.ownAttribute);
    // Stored with exactly its size and the NUL, so that the sanitizer sees
    // any read past the end.
    console.SetCommandLine(line);
    if (typed != nullptr) console.SetTypedCommandLine(*typed);
    if (shape.kind == Kind::kTerminal) console.SetTerminal(shape.width);
    if (shape.kind == Kind::kFile) console.SetRedirected(true);
    console.SetTakesVirtualTerminal(shape.console.switched);
    console.SetPseudoConsole(shape.pseudoConsole);
    console.SetCodePage(CodePage(shape), shape.console.wine ? simulated::Layout::kWine
                                                            : simulated::Layout::kConsoleHost);
    console.SetDeferredWrap(shape.console.virtualTerminal && !shape.console.switched);
    const platform::DWORD mode = console.Mode();
    console.Observe(&checker);
    const int code = RunCommandLine();
    if (code != 0) Broken("exit code " + std::to_string(code));
    checker.Finish();
    if (console.OwnAttribute() != shape.ownAttribute) Broken("the console's own attribute changed");
    if (console.Mode() != mode) Broken("the console's mode is not given back");

    if (isConsole && !(shape.console.virtualTerminal && WritesEscape(actions))) {
        model::Clear(want, shape.width, shape.height, shape.x, shape.y, shape.ownAttribute,
                     shape.console);
        model::LayOnConsole(actions, want);
        if (!want.undecided) CompareScreens(console, want);
    }
}

// Each input goes to one of two targets, by how much text it makes. Most
// make little, and each costs about as much as it is long; the few whose
// repeats make far more, up to 53 MB, would take most of a session if they
// ran with the rest, so they have their own target (and corpus).
#ifdef COLORTEXT_FUZZ_LONG_RUNS
constexpr bool kLongRuns = true;
#else
constexpr bool kLongRuns = false;
#endif

// Long: more text than 4 bytes for every byte of the command line (what
// tabs can make) and two writes' worth besides.
bool MakesLongRuns(const std::vector<model::Action>& actions, size_t size) {
    uint64_t bytes = 0;
    for (const model::Action& a : actions) bytes += a.kind == model::Action::kTab ? 8 : a.count;
    return bytes > 4 * size + 2 * kRunStorage;
}

// The input as text typed in UTF-8, read as leniently as WTF-8: a surrogate
// in three bytes is that unit, alone or beside its partner, and any other
// byte that begins no character is the unit 0xDC00 + byte, a surrogate
// alone. So an input may hold characters a code page lacks and unpaired
// surrogates of both halves.
void AsTyped(const std::string& bytes, std::u16string& units) {
    units.clear();
    for (size_t i = 0; i < bytes.size();) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        const size_t n = b < 0x80   ? 1
                         : b < 0xC2 ? 0
                         : b < 0xE0 ? 2
                         : b < 0xF0 ? 3
                         : b < 0xF5 ? 4
                                    : 0;
        uint32_t c = n == 1 ? b : n == 2 ? b & 0x1Fu : n == 3 ? b & 0x0Fu : b & 0x07u;
        bool ok = n > 0 && i + n <= bytes.size();
        for (size_t k = 1; ok && k < n; ++k) {
            const unsigned char t = static_cast<unsigned char>(bytes[i + k]);
            ok = (t & 0xC0) == 0x80;
            c = c << 6 | (t & 0x3Fu);
        }
        ok = ok && !(n == 3 && c < 0x800) && !(n == 4 && (c < 0x10000 || c > 0x10FFFF));
        if (!ok) {
            units += static_cast<char16_t>(0xDC00 | b);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            c = 0xDC00 + (c & 0x3FF);
        }
        units += static_cast<char16_t>(c);
        i += n;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::string raw, marked;
    static std::vector<model::Action> rawActions, markedActions;
    // The platform hands over a NUL-terminated string: a NUL ends it.
    const char* text = reinterpret_cast<const char*>(data);
    raw.assign(text, strnlen(text, size));
    marked.assign("prog \"MARKER\" ");
    marked += raw;
    model::Read(raw, rawActions);
    model::Read(marked, markedActions);
    // Not kept in this target's corpus: it belongs to the other one.
    const bool longRuns = MakesLongRuns(rawActions, size) || MakesLongRuns(markedActions, size);
    if (longRuns != kLongRuns) return -1;
    static std::u16string typed;
    static std::string encoded;
    static std::vector<model::Action> encodedActions;
    for (const Shape& shape : kShapes) {
        if (static_cast<int>(size % static_cast<size_t>(shape.every)) != shape.remainder) continue;
        const std::string& line = shape.behindMarker ? marked : raw;
        if (shape.typed) {
            AsTyped(line, typed);
            encoded = simulated::Encode(CodePage(shape), typed, false);
            model::Read(encoded, encodedActions);
            RunOn(shape, encoded, encodedActions, &typed);
        } else {
            RunOn(shape, line, shape.behindMarker ? markedActions : rawActions, nullptr);
        }
    }
    return 0;
}

// Output that takes its colours in-band: a terminal, and a console in
// virtual-terminal mode. Each run is one write of the escape sequence for
// its colours, its text and what gives the output back the colours it had,
// so it is never left coloured, however the program is stopped, and no
// cell is rewritten afterwards. Rows that scroll in take the colours
// current then, so they must scroll in while the output has its own: a
// run's line feeds go out in them, and so do its wraps where the program
// knows them (the character that wraps is written, the cursor goes back to
// the start of its row, and it is written again in the run's colours, which
// erases nothing and keeps the row's soft wrap). On a console, text whose
// cells only the console knows never scrolls it: where it might, the rows
// it can need are scrolled in first, in the console's own colours.
#ifndef COLORTEXT_CONSOLE_IN_BAND_OUTPUT_H
#define COLORTEXT_CONSOLE_IN_BAND_OUTPUT_H

#include <stdint.h>

#include "console/columns.h"
#include "console/pending_text.h"
#include "console/terminal_colours.h"
#include "console/text_measure.h"
#include "platform/platform.h"

// Room for a run whose every byte wraps (written twice, a colour sequence
// either side and a CR between) or follows a filled row (CR LF before it).
constexpr uint32_t kOutputSize =
    (2 * kMaxSgrLength + 3) * kMaxRunLength + 2 * (kSgrPushLength + kMaxSgrLength) + 2;

class InBandOutput {
  public:
    // A terminal `width` columns wide, written with WriteFile.
    void OpenTerminal(uint32_t width);
    // A console in virtual-terminal mode, written with WriteConsoleA, with
    // the cursor and colours of its first snapshot; `switched`: the program
    // turned the mode on, and a row it fills wraps as without the mode.
    void OpenConsole(const platform::CONSOLE_SCREEN_BUFFER_INFO& first, bool switched);
    void Write(platform::HANDLE handle, const Run& run) {
        OnTerminal() ? WriteToTerminal(handle, run) : WriteToConsole(handle, run);
    }
    // Writes the first `count` bytes of the storage alone, uncoloured: a
    // control byte, or at the end the bytes of a character that the runs
    // left unfinished.
    void WriteControl(platform::HANDLE handle, const PendingStorage& storage, uint32_t count);
    // A terminal, which reads UTF-8 whatever the code page.
    [[gnu::always_inline]] bool OnTerminal() const {
        return platform::kHasTerminals && terminal_.width > 0;
    }
    // Counts the columns of the run's bytes that are not counted yet, so
    // that a tab costs only what came since the last one.
    void Count(const Run& run) {
        if (counted_ == 0) {
            terminalStart_ = terminal_;
            consoleStart_ = console_;
        }
        if (OnTerminal()) {
            CountOnTerminal(run);
            return;
        }
        console_.LayOut(run.storage->text + counted_, run.length - counted_, run.kinds,
                        run.multiByte);
        counted_ = run.length;
    }
    // How many of the pending bytes are counted.
    uint32_t Counted() const { return counted_; }
    // Whether the column of the next character is known without asking.
    bool KnowsColumn() const { return OnTerminal() || console_.known; }
    // The blanks a tab takes from the known column.
    uint32_t TabBlanks() {
        if (OnTerminal()) return TerminalTabBlanks();
        return 8 - static_cast<uint32_t>(console_.Next()) % 8;
    }
    // The blanks a tab still takes once the console has said where its
    // cursor is, with nothing pending; in the last column, where a wrap may
    // wait after an escape sequence or from before the run, one blank of the
    // tab, in `attribute`, tells.
    uint32_t AskTabBlanks(platform::HANDLE handle, uint16_t attribute);

  private:
    // Where the next character goes on a console, while text whose cells
    // only the console knows is written: exactly, as the console last said
    // and as text the program lays out moved it since, or within the cells
    // from `least` to `most`, counted row after row from the top left.
    struct Place {
        int32_t x, y;
        int32_t least, most;
        bool exact;
        // Exact: a filled row waits to wrap.
        bool waits;
        // A wrap may wait: exact, the cursor is in the last column and
        // nothing tells; or the text since may have left one. `anywhere`:
        // on the bottom row too (ConsoleColumn).
        bool doubt, anywhere;
    };

    void WriteToTerminal(platform::HANDLE handle, const Run& run);
    void WriteToConsole(platform::HANDLE handle, const Run& run);
    // One write of a run whose every character is a cell, or a control
    // byte, laid out from `at`, which is known.
    void WriteFrame(platform::HANDLE handle, const Run& run, ConsoleColumn& at);
    // A run with characters whose cells only the console knows, or one
    // from where the program does not know the column.
    void WriteMeasured(platform::HANDLE handle, const Run& run, ConsoleColumn& at);
    // Asks the console where the cursor is, after what `before` knew.
    void Ask(platform::HANDLE handle, const Place& before);
    // The same, where all that is known is what `at` knows: the cursor may
    // be anywhere.
    void AskFrom(platform::HANDLE handle, const ConsoleColumn& at);
    // Where a character may go: the first and last cells it may begin in,
    // the furthest it may end in, and whether its last cell may be the
    // last of a row.
    struct Reach {
        int32_t least, most, furthest;
        bool mayFill;
    };
    Reach ReachOf(CharacterCells cells) const;
    uint32_t PutCarried(platform::HANDLE handle, const Run& run, bool switched);
    void EndMeasured(platform::HANDLE handle, ConsoleColumn& at);
    void PutControl(uint8_t c);
    void Move(uint8_t c, bool lineFeed);
    // What a character on the bottom row has done first: nothing, and it
    // is written; something, and it is looked at again; it went out.
    enum class Way : uint8_t { kWrite, kAgain, kWritten };
    Way OnBottomRow(const uint8_t* bytes, CharacterCells cells, uint16_t attribute, bool reaches);
    void PutCharacter(platform::HANDLE handle, const uint8_t* bytes, CharacterCells cells,
                      bool last, const Run& run);
    void WriteLast(platform::HANDLE handle, const uint8_t* bytes, CharacterCells cells,
                   uint16_t attribute);
    void OpenFrame(uint16_t attribute);
    void Flush(platform::HANDLE handle);
    void Put(const uint8_t* bytes, uint32_t count);
    void CountOnTerminal(const Run& run);
    uint32_t TerminalTabBlanks() const;
    uint8_t* PutCharacter(uint8_t* to, const uint8_t* bytes, uint32_t count, bool wraps) const;

    uint32_t counted_;
    TerminalColumn terminal_;  // width 0 on a console
    ConsoleColumn console_;    // not known on a terminal
    // Where the pending text began, once a tab has counted part of it.
    TerminalColumn terminalStart_;
    ConsoleColumn consoleStart_;
    // What gives the output its own colours back, first the sequence alone,
    // then, on a console, the pop; and on a terminal the run's colours.
    uint8_t closing_[kMaxSgrLength + kSgrPushLength];
    uint32_t ownLength_, closingLength_;
    uint8_t colours_[kMaxSgrLength];
    uint32_t coloursLength_;
    // The console's last answer: the cursor, the buffer's size, the window.
    platform::CONSOLE_SCREEN_BUFFER_INFO info_;
    Place place_;
    // The end of the frame being put together in out_; null when none is.
    uint8_t* to_;
    uint8_t out_[kOutputSize];
};

#endif

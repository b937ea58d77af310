// Output that takes its colours in-band: a terminal, and a console in
// virtual-terminal mode. Each run is one write of the escape sequence for
// its colours, its text and what gives the output back the colours it had,
// so it is never left coloured, however the program is stopped, and no
// cell is rewritten afterwards. Rows that scroll in take the colours
// current then, so a run's line feeds, and its wraps where the program
// knows them, happen in the output's own colours: the character that wraps
// is written, the cursor goes back to the start of its row, and it is
// written again in the run's colours, which erases nothing and keeps the
// row's soft wrap.
#ifndef COLORTEXT_CONSOLE_IN_BAND_OUTPUT_H
#define COLORTEXT_CONSOLE_IN_BAND_OUTPUT_H

#include <stdint.h>

#include "console/columns.h"
#include "console/pending_text.h"
#include "console/terminal_colours.h"
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
    // Writes the first byte of the storage alone, uncoloured.
    void WriteControl(platform::HANDLE handle, const PendingStorage& storage);
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
    // cursor is, with nothing pending; in the last column, where a filled
    // row may wait to wrap, one blank of the tab, in `attribute`, tells.
    uint32_t AskTabBlanks(platform::HANDLE handle, PendingStorage& storage, uint16_t attribute);

  private:
    void WriteToTerminal(platform::HANDLE handle, const Run& run);
    void WriteToConsole(platform::HANDLE handle, const Run& run);
    // One write of the run, laid out from `at`.
    void WriteFrame(platform::HANDLE handle, const Run& run, ConsoleColumn& at);
    void WriteUnknown(platform::HANDLE handle, const Run& run, ConsoleColumn& at);
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
    uint8_t out_[kOutputSize];
    platform::CONSOLE_SCREEN_BUFFER_INFO info_;
};

#endif

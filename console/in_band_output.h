// Output that takes its colours in-band: a terminal, and a console in
// virtual-terminal mode. Each run is one write of the escape sequence for
// its colours, its text and what gives the output back the colours it had,
// so it is never left coloured, however the program is stopped, and no
// cell is rewritten afterwards.
#ifndef COLORTEXT_CONSOLE_IN_BAND_OUTPUT_H
#define COLORTEXT_CONSOLE_IN_BAND_OUTPUT_H

#include <stdint.h>

#include "console/columns.h"
#include "console/pending_text.h"
#include "console/terminal_colours.h"
#include "console/text_measure.h"
#include "platform/platform.h"

class InBandOutput {
  public:
    // A terminal `width` columns wide, written with WriteFile.
    void OpenTerminal(uint32_t width);
    // A console in virtual-terminal mode, written with WriteConsoleA, with
    // the cursor and colours of its first snapshot.
    void OpenConsole(const platform::CONSOLE_SCREEN_BUFFER_INFO& first);

    void Write(platform::HANDLE handle, const Run& run) {
        if (OnTerminal()) {
            WriteToTerminal(handle, run);
        } else {
            WriteToConsole(handle, run.storage, run.length,
                           run.multiByte ? run.kinds : run.kinds & ~kHighByte, run.attribute);
        }
    }
    // The same on a console, where `kinds` has kHighByte only when those
    // bytes make characters of several.
    void WriteToConsole(platform::HANDLE handle, PendingStorage* storage, uint32_t length,
                        uint32_t kinds, uint16_t attribute);
    // Writes the first byte of the storage alone, uncoloured.
    void WriteControl(platform::HANDLE handle, const PendingStorage& storage);

    // A terminal, which reads UTF-8 whatever the code page.
    [[gnu::always_inline]] bool OnTerminal() const {
        return platform::kHasTerminals && terminal_.width > 0;
    }

    // Counts the columns of the run's bytes that are not counted yet, so
    // that a tab costs only what came since the last one.
    void Count(const Run& run) {
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
        console_.Settle();
        return 8 - static_cast<uint32_t>(console_.Next()) % 8;
    }
    // The blanks a tab still takes once the console has said where its
    // cursor is, with nothing pending: in the last column, where a row
    // that was filled waits for the next character to wrap, one blank of
    // the tab tells which it is, and is written in `attribute`.
    uint32_t AskTabBlanks(platform::HANDLE handle, PendingStorage& storage, uint16_t attribute);

  private:
    void WriteToTerminal(platform::HANDLE handle, const Run& run);
    void CountOnTerminal(const Run& run);
    uint32_t TerminalTabBlanks() const;

    uint32_t counted_;
    TerminalColumn terminal_;  // width 0 on a console
    ConsoleColumn console_;    // not known on a terminal
    // What follows a run that opens with a colour sequence.
    uint8_t closing_[kMaxSgrLength + kSgrPushLength];
    uint32_t closingLength_;
};

#endif

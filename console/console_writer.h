// The console state of one run: the output handle, the current attribute
// and the text gathered since the last write, handed for writing to the
// part for the kind of output that standard output is.
#ifndef COLORTEXT_CONSOLE_CONSOLE_WRITER_H
#define COLORTEXT_CONSOLE_CONSOLE_WRITER_H

#include <stdint.h>

#include "console/cell_output.h"
#include "console/colour_choice.h"
#include "console/in_band_output.h"
#include "console/pending_text.h"
#include "console/plain_output.h"
#include "console/text_measure.h"
#include "platform/platform.h"

// Three kinds of output, chosen once, at Open:
// - a console's cells (cell_output.h): text is written at the cursor in the
//   console's own attribute, then the cells it took are recoloured;
// - in-band colour (in_band_output.h): a console in virtual-terminal mode,
//   or a terminal, gets each run with the escape sequences for its colours;
// - plain bytes (plain_output.h): a file or a pipe.
// Each gets the same bytes in the same order. The environment may ask for
// no colour, or for colour in a file or a pipe too (colour_choice.h).
//
// No constructor: a static instance is zero-filled by the loader, and
// Open() sets every field its kind of output uses, so no start-up code runs.
class ConsoleWriter {
  public:
    static constexpr uint32_t kStorageSize = ::kStorageSize;
    static constexpr uint32_t kMaxRunLength = ::kMaxRunLength;
    static constexpr uint16_t kInitialAttribute = 0x07;

    void Open();

    void Append(uint8_t byte) {
        if (length_ == kMaxRunLength) Flush(true);
        if (length_ == 0 && begunCount_ > 0) GoOn(byte);
        kinds_ |= KindOf(byte);
        storage_.text[length_++] = byte;
    }
    void AppendRepeated(uint8_t byte, uint16_t count);
    void AppendBytes(const uint8_t* bytes, uint32_t count);
    // Blanks up to the next multiple of 8 from the column in which the next
    // appended byte will land. Where the output alone knows how many cells
    // the pending text took, it is written first, and the console asked.
    void AppendTab();
    uint32_t PendingLength() const { return length_; }
    // Without colour every run keeps the initial attribute, in which a
    // terminal gets no sequence; a console's cells are not recoloured.
    void SetAttribute(uint16_t attribute) {
        if (colours_ != Colours::kNone) attribute_ = attribute;
    }

    void FlushPending() {
        if (length_ > 0) Flush(false);
    }
    void WriteDirect(uint8_t byte);
    // The last flush, and a character the text left unfinished, which the
    // console keeps; a console's mode goes back to what it was at Open.
    void Close() {
        FlushPending();
        if (begunCount_ > 0) {
            for (uint32_t i = 0; i < begunCount_; ++i) storage_.text[i] = begun_[i];
            WriteControl(begunCount_);
        }
        platform::RestoreConsoleMode();
    }

  private:
    enum class Output : uint8_t { kCells, kInBand, kPlain };
    // In this order: the last two read characters of several bytes.
    enum class Encoding : uint8_t { kNotAsked, kSingleByte, kUtf8, kDoubleByte };

    // Writes the pending text, of which there is some; `full`: storage is.
    void Flush(bool full);
    // Writes the run, and keeps what it leaves of the pending text; `full`:
    // of a run that goes on.
    void Write(const Run& run, bool full = false);
    // The first byte after a character that the last run left unfinished
    // on a console in virtual-terminal mode.
    void GoOn(uint8_t byte);
    // Returns how many of the pending text's bytes are held back.
    uint32_t HoldBack();
    // Writes the first `count` bytes of the storage alone, uncoloured.
    void WriteControl(uint32_t count);
    bool MultiByte(uint32_t kinds);
    // Whether bytes of 0x80 and above may make characters of several: always
    // on a terminal, which reads UTF-8; elsewhere as the code page says.
    bool ReadsCharacters() {
        if (output_ == Output::kInBand && inBand_.OnTerminal()) return true;
        if (encoding_ == Encoding::kNotAsked) AskCodePage();
        return encoding_ >= Encoding::kUtf8;
    }
    void AskCodePage();
    // The pending text as a run, less what a full storage holds back.
    Run Pending(bool full) {
        Run run = {&storage_, length_, kinds_, false, attribute_, nullptr, 0, begun_, begunCount_};
        heldCount_ = 0;
        // A character the run before began makes this one of several bytes.
        if (length_ > 0 && ((run.kinds & kHighByte) != 0 || begunCount_ > 0)) {
            run.multiByte = MultiByte(run.kinds | kHighByte);
            if (full || (output_ == Output::kInBand && !inBand_.OnTerminal())) {
                run.length -= HoldBack();
            } else if (output_ == Output::kCells && storage_.text[length_ - 1] >= 0x80 &&
                       ReadsCharacters() && encoding_ == Encoding::kUtf8) {
                run.unfinished = Utf8UnfinishedTail(storage_.text, length_);
            }
            if (encoding_ == Encoding::kDoubleByte) run.leads = &leads_;
        }
        return run;
    }

    platform::HANDLE handle_;
    Output output_;
    Encoding encoding_;  // the output code page, asked at a run's first high byte
    Colours colours_;
    LeadBytes leads_;
    uint16_t attribute_;
    uint32_t length_;
    uint32_t kinds_;  // the kinds of byte the pending text holds
    // A character held back from the pending text, as far as it has come.
    uint8_t held_[3];
    uint32_t heldCount_;
    // The bytes of a character that a run on a console in virtual-terminal
    // mode left unfinished, for the next to go on with: the console would
    // have kept them, and lost them unless the next byte goes on with them.
    uint8_t begun_[3];
    uint32_t begunCount_;
    PendingStorage storage_;
    CellOutput cells_;
    InBandOutput inBand_;
    PlainOutput plain_;
};

#endif

// The console state of one run: the output handle, the current attribute
// and the text gathered since the last write, handed for writing to the
// part for the kind of output that standard output is.
#ifndef COLORTEXT_CONSOLE_CONSOLE_WRITER_H
#define COLORTEXT_CONSOLE_CONSOLE_WRITER_H

#include <stdint.h>

#include "console/cell_output.h"
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
// Each gets the same bytes in the same order.
//
// The writer has no constructor: a static instance is zero-filled by the
// loader, and Open() sets every field that its kind of output uses, so no
// start-up code is needed.
class ConsoleWriter {
  public:
    static constexpr uint32_t kStorageSize = ::kStorageSize;
    static constexpr uint32_t kMaxRunLength = ::kMaxRunLength;
    static constexpr uint16_t kInitialAttribute = 0x07;

    void Open();

    void Append(uint8_t byte) {
        if (length_ == kMaxRunLength) Flush(true);
        storage_.text[length_++] = byte;
    }
    void AppendRepeated(uint8_t byte, uint16_t count) {
        // At least one byte, and room for them all.
        if (kFastPaths && count - 1u < kMaxRunLength - length_ && scanned_ == length_) {
            // One byte, many times: its kind is known without looking.
            kinds_ |= KindOf(byte);
            uint8_t* const to = storage_.text + length_;
            for (uint32_t i = 0; i < count; ++i) to[i] = byte;
            length_ += count;
            scanned_ = length_;
            return;
        }
        AppendRepeatedAnyCount(byte, count);
    }
    void AppendBytes(const uint8_t* bytes, uint32_t count) {
        if (kFastPaths && count <= kMaxRunLength - length_ && scanned_ == length_) {
            // Looked at as they are copied.
            kinds_ |= CopyKinds(storage_.text + length_, bytes, count);
            length_ += count;
            scanned_ = length_;
            return;
        }
        AppendBytesAnyCount(bytes, count);
    }
    // Blanks up to the next multiple of 8 from the column in which the next
    // appended byte will land. Where the output alone knows how many cells
    // the pending text took, it is written first, and the console asked.
    void AppendTab() {
        if (kFastPaths && length_ < kMaxRunLength) {
            const uint32_t kinds = PendingKinds();
            if (output_ == Output::kCells && (kinds & kHighByte) == 0) {
                AppendBlanks(8 - cells_.Column(length_) % 8);
                return;
            }
            const uint32_t blanks =
                output_ == Output::kInBand && kinds == 0 ? inBand_.PlainTabBlanks(length_) : 0;
            if (blanks > 0) {
                AppendBlanks(blanks);
                return;
            }
        }
        AppendTabAfterAnyText();
    }
    uint32_t PendingLength() const { return length_; }
    void SetAttribute(uint16_t attribute) { attribute_ = attribute; }

    void FlushPending() {
        if (length_ == 0) return;
        // Text a cell a byte goes straight to its part.
        if (kFastPaths && (PendingKinds() & kHighByte) == 0 && output_ != Output::kPlain) {
            if (output_ == Output::kCells) {
                cells_.WriteBytes(handle_, &storage_, length_, (kinds_ & kControlByte) != 0,
                                  attribute_);
            } else if (!inBand_.OnTerminal()) {
                inBand_.WriteToConsole(handle_, &storage_, length_, kinds_, attribute_);
            } else {
                Flush(false);
                return;
            }
            length_ = 0;
            scanned_ = 0;
            kinds_ = 0;
            return;
        }
        Flush(false);
    }
    void WriteDirect(uint8_t byte) {
        if (kFastPaths && output_ != Output::kPlain) {
            if (length_ > 0) Flush(false);
            storage_.text[0] = byte;
            if (output_ == Output::kCells) {
                cells_.WriteControl(handle_, storage_);
            } else {
                inBand_.WriteControlQuickly(handle_, storage_);
            }
            return;
        }
        WriteDirectToAnyOutput(byte);
    }

  private:
    enum class Output : uint8_t { kCells, kInBand, kPlain };
    // In this order: the last two read characters of several bytes.
    enum class Encoding : uint8_t { kNotAsked, kSingleByte, kUtf8, kDoubleByte };

    void AppendRepeatedAnyCount(uint8_t byte, uint16_t count);
    void AppendBytesAnyCount(const uint8_t* bytes, uint32_t count);
    void AppendTabAfterAnyText();
    void WriteDirectToAnyOutput(uint8_t byte);
    // A tab's 1 to 8 blanks, into a storage that is not full: they are put
    // as one word of eight, which the storage has room for past any pending
    // text, and as many of them as the tab takes are pending.
    void AppendBlanks(uint32_t count) {
        if (count > kMaxRunLength - length_) {
            AppendRepeatedAnyCount(' ', static_cast<uint16_t>(count));
            return;
        }
        static_assert(kMaxRunLength + 8 <= kStorageSize, "a word of blanks fits past the text");
        __builtin_memcpy(storage_.text + length_, "        ", 8);
        if (scanned_ == length_) scanned_ += count;
        length_ += count;
    }
    // Writes the pending text, of which there is some; `full`: because the
    // storage is.
    void Flush(bool full);
    // Writes the run, and keeps what it leaves of the pending text.
    void Write(const Run& run);
    uint32_t HoldBack();
    bool MultiByte(uint32_t kinds);
    // Whether bytes of 0x80 and above may make characters of several bytes:
    // always on a terminal, which reads UTF-8; elsewhere when the code page
    // says so.
    bool ReadsCharacters() {
        if (output_ == Output::kInBand && inBand_.OnTerminal()) return true;
        if (encoding_ == Encoding::kNotAsked) AskCodePage();
        return encoding_ >= Encoding::kUtf8;
    }
    void AskCodePage();
    // What kinds of byte the pending text holds; each byte is looked at
    // once, whatever asks.
    uint32_t PendingKinds() {
        if (scanned_ != length_) {
            kinds_ |= KindsOf(storage_.text + scanned_, length_ - scanned_);
            scanned_ = length_;
        }
        return kinds_;
    }
    // The pending text as a run, less what a full storage holds back.
    Run Pending(bool full) {
        Run run = {&storage_, length_, PendingKinds(), false, attribute_, nullptr};
        if ((run.kinds & kHighByte) != 0) {
            run.multiByte = MultiByte(run.kinds);
            if (encoding_ == Encoding::kDoubleByte) run.leads = &leads_;
            if (full) run.length -= HoldBack();
        }
        return run;
    }

    platform::HANDLE handle_;
    Output output_;
    // The output code page; asked once, when a run first holds a byte of
    // 0x80 or above.
    Encoding encoding_;
    LeadBytes leads_;
    uint16_t attribute_;
    uint32_t length_;
    // What kinds of byte the first `scanned_` pending bytes hold.
    uint32_t kinds_;
    uint32_t scanned_;
    // A character held back from a full storage while the rest is written.
    uint8_t held_[3];
    PendingStorage storage_;
    CellOutput cells_;
    InBandOutput inBand_;
    PlainOutput plain_;
};

#endif

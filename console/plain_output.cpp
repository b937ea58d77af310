#include "console/plain_output.h"

#include "console/text_measure.h"

uint32_t PlainOutput::Count(const Run& run) {
    file_.LayOut(run.storage->text + counted_, run.length - counted_,
                 run.multiByte && run.leads == nullptr, run.leads);
    counted_ = run.length;
    return file_.column;
}

namespace {

uint8_t* PutReset(uint8_t* to) {
    __builtin_memcpy(to, kSgrReset, kSgrResetLength);
    return to + kSgrResetLength;
}

}  // namespace

// As a terminal gets it, less what needs a width: the colours, the run and
// a reset; a line feed, VT or FF goes out between a reset and the colours
// again, so that a line shown apart, or a row it scrolls in, takes none of
// them.
uint32_t PlainOutput::Colour(const Run& run) {
    uint8_t* to = out_ + FormatSgr(run.attribute, out_);
    for (uint32_t i = 0; i < run.length; ++i) {
        const uint8_t c = run.storage->text[i];
        const bool line = static_cast<uint8_t>(c - '\n') < 3;
        if (line) to = PutReset(to);
        *to++ = c;
        if (line) to += FormatSgr(run.attribute, to);
    }
    return static_cast<uint32_t>(PutReset(to) - out_);
}

void PlainOutput::Write(platform::HANDLE handle, const Run& run) {
    Count(run);
    counted_ = 0;
    const uint8_t* bytes = run.storage->text;
    uint32_t length = run.length;
    // Light grey on black stands for the reader's own colours: no sequence.
    if (coloured_ && FormatSgr(run.attribute, out_) > 0) {
        length = Colour(run);
        bytes = out_;
    }
    platform::DWORD written;
    platform::WriteFile(handle, bytes, length, &written, nullptr);
}

void PlainOutput::WriteControl(platform::HANDLE handle, const PendingStorage& storage,
                               uint32_t count) {
    file_.column = FileColumn::AfterControl(file_.column, storage.text[count - 1]);
    platform::DWORD written;
    platform::WriteFile(handle, storage.text, count, &written, nullptr);
}

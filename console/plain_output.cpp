#include "console/plain_output.h"

#include "console/text_measure.h"

uint32_t PlainOutput::Count(const Run& run) {
    file_.LayOut(run.storage->text + counted_, run.length - counted_,
                 run.multiByte && run.leads == nullptr, run.leads);
    counted_ = run.length;
    return file_.column;
}

void PlainOutput::Write(platform::HANDLE handle, const Run& run) {
    Count(run);
    counted_ = 0;
    platform::DWORD written;
    platform::WriteFile(handle, run.storage->text, run.length, &written, nullptr);
}

void PlainOutput::WriteControl(platform::HANDLE handle, const PendingStorage& storage,
                               uint32_t count) {
    file_.column = FileColumn::AfterControl(file_.column, storage.text[count - 1]);
    platform::DWORD written;
    platform::WriteFile(handle, storage.text, count, &written, nullptr);
}

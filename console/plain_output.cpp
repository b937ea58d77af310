#include "console/plain_output.h"

#include "console/columns.h"
#include "console/text_measure.h"

uint32_t PlainOutput::Count(const Run& run) {
    column_ = FileColumn(column_, run.storage->text + counted_, run.length - counted_, run.kinds,
                         run.multiByte);
    counted_ = run.length;
    return column_;
}

void PlainOutput::Write(platform::HANDLE handle, const Run& run) {
    Count(run);
    counted_ = 0;
    platform::DWORD written;
    platform::WriteFile(handle, run.storage->text, run.length, &written, nullptr);
}

void PlainOutput::WriteControl(platform::HANDLE handle, const PendingStorage& storage) {
    column_ = FileColumn(column_, storage.text, 1, kControlByte, false);
    platform::DWORD written;
    platform::WriteFile(handle, storage.text, 1, &written, nullptr);
}

#include "platform/wide_command_line.h"

namespace platform {

namespace {

// The longest command line Windows passes is 32,767 UTF-16 units with its
// NUL. No code page a console uses makes more than 3 bytes of a unit: UTF-8
// makes 3 of one in the Basic Multilingual Plane and 4 of a surrogate pair,
// the double-byte code pages 2.
constexpr int kMostUnits = 32767;
constexpr int kMostBytes = 3 * kMostUnits;
char encoded[kMostBytes];

}  // namespace

DWORD NoBestFitFlags(DWORD codePage) {
    // UTF-8 and GB18030 take only WC_ERR_INVALID_CHARS; UTF-7, Symbol, the
    // ISO 2022 pages (50220 to 50229) and ISCII (57002 to 57011) no flag at
    // all. None of them has look-alikes.
    const bool refused = codePage >= 65000 || codePage == 54936 || codePage == 42 ||
                         codePage - 50220 < 10 || codePage - 57002 < 10;
    return refused ? 0 : WC_NO_BEST_FIT_CHARS;
}

const char* EncodeCommandLine() {
    const uint16_t* wide = GetCommandLineW();
    DWORD codePage = GetConsoleOutputCP();
    if (codePage == 0) codePage = CP_OEMCP;
    const DWORD flags = NoBestFitFlags(codePage);
    // The line and its NUL, which is encoded too; 0 when the call fails,
    // and then the storage holds nothing to go by.
    int length = WideCharToMultiByte(codePage, flags, wide, -1, encoded, kMostBytes);
    // A code page that refuses the flag after all (the OEM code page of a
    // system set to UTF-8, say) still gets the text.
    if (length == 0 && flags != 0) {
        length = WideCharToMultiByte(codePage, 0, wide, -1, encoded, kMostBytes);
    }
    if (length == 0) encoded[0] = '\0';
    return encoded;
}

}  // namespace platform

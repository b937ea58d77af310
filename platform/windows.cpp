// Windows backend: each function is a direct call into kernel32.
#include "platform/platform.h"
#include "platform/wide_command_line.h"

// After our own declarations: <windows.h> defines STD_OUTPUT_HANDLE and
// friends as macros.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <stddef.h>

namespace platform {

static_assert(sizeof(CONSOLE_SCREEN_BUFFER_INFO) == sizeof(::CONSOLE_SCREEN_BUFFER_INFO),
              "screen buffer info must match the console API's layout");
static_assert(offsetof(CONSOLE_SCREEN_BUFFER_INFO, dwCursorPosition) ==
                  offsetof(::CONSOLE_SCREEN_BUFFER_INFO, dwCursorPosition),
              "cursor position must match the console API's layout");

HANDLE GetStdHandle(DWORD nStdHandle) { return ::GetStdHandle(nStdHandle); }

BOOL GetConsoleScreenBufferInfo(HANDLE hConsoleOutput, CONSOLE_SCREEN_BUFFER_INFO* info) {
    return ::GetConsoleScreenBufferInfo(hConsoleOutput,
                                        reinterpret_cast<::CONSOLE_SCREEN_BUFFER_INFO*>(info));
}

BOOL WriteConsoleA(HANDLE hConsoleOutput, const void* buffer, DWORD count, DWORD* written,
                   void* reserved) {
    return ::WriteConsoleA(hConsoleOutput, buffer, count, reinterpret_cast<::DWORD*>(written),
                           reserved);
}

BOOL WriteConsoleOutputAttribute(HANDLE hConsoleOutput, const WORD* attributes, DWORD length,
                                 COORD writeCoord, DWORD* written) {
    ::COORD start = {writeCoord.X, writeCoord.Y};
    return ::WriteConsoleOutputAttribute(hConsoleOutput, attributes, length, start,
                                         reinterpret_cast<::DWORD*>(written));
}

DWORD GetConsoleOutputCP() { return ::GetConsoleOutputCP(); }

BOOL GetConsoleMode(HANDLE hConsoleHandle, DWORD* mode) {
    return ::GetConsoleMode(hConsoleHandle, reinterpret_cast<::DWORD*>(mode));
}

BOOL WriteFile(HANDLE hFile, const void* buffer, DWORD count, DWORD* written, void* overlapped) {
    return ::WriteFile(hFile, buffer, count, reinterpret_cast<::DWORD*>(written),
                       static_cast<::OVERLAPPED*>(overlapped));
}

DWORD GetTerminalWidth(HANDLE) { return 0; }
extern const bool kHasTerminals = false;

// Not ::GetCommandLineA: that is the line in the ANSI code page, with
// look-alikes for what it lacks, and the console shows its own.
const char* GetCommandLineA() { return EncodeCommandLine(); }

const uint16_t* GetCommandLineW() {
    static_assert(sizeof(WCHAR) == sizeof(uint16_t), "a UTF-16 unit is 16 bits");
    return reinterpret_cast<const uint16_t*>(::GetCommandLineW());
}

int WideCharToMultiByte(DWORD codePage, DWORD flags, const uint16_t* wide, int units, char* bytes,
                        int size) {
    return ::WideCharToMultiByte(codePage, flags, reinterpret_cast<LPCWCH>(wide), units, bytes,
                                 size, nullptr, nullptr);
}

void ExitProcess(unsigned exitCode) { ::ExitProcess(exitCode); }

}  // namespace platform

// Windows backend: each function is a direct call into kernel32.
#include "platform/platform.h"

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

const char* GetCommandLineA() { return ::GetCommandLineA(); }

void ExitProcess(unsigned exitCode) { ::ExitProcess(exitCode); }

}  // namespace platform

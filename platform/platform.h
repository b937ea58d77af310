// The boundary to the operating system: the six console and process
// functions that colortext calls, with the platform's own names and types.
// Exactly one backend in this directory implements them; which one is
// chosen at link time, so nothing above this header knows the platform.
#ifndef COLORTEXT_PLATFORM_PLATFORM_H
#define COLORTEXT_PLATFORM_PLATFORM_H

#include <stdint.h>

namespace platform {

using HANDLE = void*;
using DWORD = uint32_t;
using WORD = uint16_t;
using BOOL = int;

struct COORD {
    int16_t X;
    int16_t Y;
};

struct SMALL_RECT {
    int16_t Left;
    int16_t Top;
    int16_t Right;
    int16_t Bottom;
};

// Laid out as the console API lays it out: 22 bytes.
struct CONSOLE_SCREEN_BUFFER_INFO {
    COORD dwSize;
    COORD dwCursorPosition;
    WORD wAttributes;
    SMALL_RECT srWindow;
    COORD dwMaximumWindowSize;
};

constexpr DWORD STD_OUTPUT_HANDLE = static_cast<DWORD>(-11);

// No result is ever examined by the program; a call that fails has no
// effect. The results are declared only so that the backends stay honest
// about what the operating system returns.
HANDLE GetStdHandle(DWORD nStdHandle);
BOOL GetConsoleScreenBufferInfo(HANDLE hConsoleOutput, CONSOLE_SCREEN_BUFFER_INFO* info);
BOOL WriteConsoleA(HANDLE hConsoleOutput, const void* buffer, DWORD count, DWORD* written,
                   void* reserved);
BOOL WriteConsoleOutputAttribute(HANDLE hConsoleOutput, const WORD* attributes, DWORD length,
                                 COORD writeCoord, DWORD* written);
const char* GetCommandLineA();
[[noreturn]] void ExitProcess(unsigned exitCode);

}  // namespace platform

#endif

// The boundary to the operating system: the console, file and process
// functions that colortext calls, with the Windows API's own names and
// types. Exactly one backend in this directory implements them; which one
// is chosen at link time, so nothing above this header knows the platform.
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
// Output mode bit: escape sequences are acted on, colour sequences among
// them, and text that fills the last column of a row leaves the cursor
// there until the next character.
constexpr DWORD ENABLE_VIRTUAL_TERMINAL_PROCESSING = 0x0004;
// The output code page in which the console reads bytes as UTF-8.
constexpr DWORD CP_UTF8 = 65001;

// The program examines one result only: whether the first
// GetConsoleScreenBufferInfo succeeds, which tells a console from a file, a
// pipe or a terminal. A call that fails otherwise has no effect; the mode a
// failed GetConsoleMode leaves untouched is 0.
HANDLE GetStdHandle(DWORD nStdHandle);
BOOL GetConsoleScreenBufferInfo(HANDLE hConsoleOutput, CONSOLE_SCREEN_BUFFER_INFO* info);
// Writes the bytes as they are, for output that is not a console.
BOOL WriteFile(HANDLE hFile, const void* buffer, DWORD count, DWORD* written, void* overlapped);
// The width in columns of the terminal that `handle` is, when it is one
// that shows colour escape sequences; 0 for anything else. Windows output
// is a console or plain bytes, so there it is always 0.
DWORD GetTerminalWidth(HANDLE handle);
// Whether GetTerminalWidth can ever say "a terminal". A constant of the
// backend, so that where it is false the optimiser leaves out everything
// that only a terminal needs (its colour sequences, its character widths).
extern const bool kHasTerminals;
BOOL WriteConsoleA(HANDLE hConsoleOutput, const void* buffer, DWORD count, DWORD* written,
                   void* reserved);
BOOL WriteConsoleOutputAttribute(HANDLE hConsoleOutput, const WORD* attributes, DWORD length,
                                 COORD writeCoord, DWORD* written);
// The colours of cells from `readCoord` on, row after row; used on a
// console in virtual-terminal mode to tell whether a character reached the
// last column of its row, which the cursor alone does not tell.
BOOL ReadConsoleOutputAttribute(HANDLE hConsoleOutput, WORD* attributes, DWORD length,
                                COORD readCoord, DWORD* read);
// The code page in which the console, or a file viewed where the program
// runs, reads bytes of 0x80 and above; 0 when it cannot be told. The writer
// asks it only when such a byte is written.
DWORD GetConsoleOutputCP();
// The console's output mode; asked once, at the start, on a console. A
// console that takes ENABLE_VIRTUAL_TERMINAL_PROCESSING but shows escape
// sequences as text (Wine's) has the flag left out of what is reported.
BOOL GetConsoleMode(HANDLE hConsoleHandle, DWORD* mode);
// Whether the console keeps what a write leaves of a character of several
// bytes unfinished, and joins it with the next write, as Windows' console
// host does; Wine's shows it as a replacement character at once. Known once
// the mode has been asked.
bool KeepsUnfinishedCharacters();
// Turns virtual-terminal processing on for the rest of the run on the
// console `handle`, whose output mode `mode` lacks it, and returns whether
// the console took it; a console that would not act on it (one that
// GetConsoleMode leaves the flag out for, one before Windows 10) refuses.
// Once it is on, `mode` is given back by RestoreConsoleMode, or, when the
// process is stopped first (Ctrl+C, Ctrl+Break, its window closed), before
// it ends; from then on no WriteConsoleA is carried out, so no escape
// sequence can reach a console that would show it as text.
BOOL TurnOnVirtualTerminal(HANDLE handle, DWORD mode);
// Gives the console back the mode TurnOnVirtualTerminal changed, if it did.
void RestoreConsoleMode();
// The environment variables that choose how colours go out
// (console/colour_choice.h), in this order. Each backend keeps their names,
// NO_COLOR, FORCE_COLOR and CLICOLOR_FORCE, where it keeps its own text.
enum class Variable : uint8_t { kNoColor, kForceColor, kCliColorForce };
// The variable's value, as GetEnvironmentVariableA gives it: when it fits
// in `size` bytes with its NUL, it is copied there and its length returned;
// otherwise the size it needs, NUL included, is returned, and `buffer` may
// hold anything. 0: not set, or empty. Windows names ignore case.
DWORD GetEnvironmentVariableA(Variable variable, char* buffer, DWORD size);
// The command line, NUL-terminated, in the bytes the console shows: on
// Windows the UTF-16 line encoded in the console's output code page
// (wide_command_line.h), on POSIX the terminal's bytes as they came.
const char* GetCommandLineA();
[[noreturn]] void ExitProcess(unsigned exitCode);

}  // namespace platform

#endif

// A platform backend that only counts calls: no screen, no log, so that a
// benchmark measures the program and little else. The cursor stays at the
// top left of a tall buffer, as on a fresh console window.
#ifndef COLORTEXT_BENCH_COUNTING_CONSOLE_H
#define COLORTEXT_BENCH_COUNTING_CONSOLE_H

#include <stdint.h>

namespace counting {

// One entry per platform function; a new function needs an entry here, its
// case in Name(), and a definition in counting_console.cpp that counts it.
enum Function {
    kGetStdHandle,
    kGetConsoleScreenBufferInfo,
    kWriteConsoleA,
    kWriteConsoleOutputAttribute,
    kReadConsoleOutputAttribute,
    kWriteFile,
    kGetConsoleOutputCP,
    kGetConsoleMode,
    kTurnOnVirtualTerminal,
    kRestoreConsoleMode,
    kGetTerminalWidth,
    kGetCommandLineA,
    kExitProcess,
    kFunctions
};

const char* Name(Function function);

// The command line that GetCommandLineA returns; the caller keeps it alive.
void SetCommandLine(const char* commandLine);
// Sets every count to zero.
void ResetCounts();
uint64_t Calls(Function function);
uint64_t AllCalls();

}  // namespace counting

#endif

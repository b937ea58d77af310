#include "bench/counting_console.h"

#include <stdlib.h>

#include "platform/platform.h"

namespace counting {

namespace {

platform::HANDLE const kOutputHandle = reinterpret_cast<platform::HANDLE>(0x5100);
const char* commandLine = "";
uint64_t calls[kFunctions];

}  // namespace

const char* Name(Function function) {
    switch (function) {
        case kGetStdHandle:
            return "GetStdHandle";
        case kGetConsoleScreenBufferInfo:
            return "GetConsoleScreenBufferInfo";
        case kWriteConsoleA:
            return "WriteConsoleA";
        case kWriteConsoleOutputAttribute:
            return "WriteConsoleOutputAttribute";
        case kReadConsoleOutputAttribute:
            return "ReadConsoleOutputAttribute";
        case kWriteFile:
            return "WriteFile";
        case kGetConsoleOutputCP:
            return "GetConsoleOutputCP";
        case kGetConsoleMode:
            return "GetConsoleMode";
        case kTurnOnVirtualTerminal:
            return "TurnOnVirtualTerminal";
        case kRestoreConsoleMode:
            return "RestoreConsoleMode";
        case kGetTerminalWidth:
            return "GetTerminalWidth";
        case kGetCommandLineA:
            return "GetCommandLineA";
        case kExitProcess:
            return "ExitProcess";
        case kFunctions:
            break;
    }
    return "?";
}

void SetCommandLine(const char* line) { commandLine = line; }

void ResetCounts() {
    for (uint64_t& count : calls) count = 0;
}

uint64_t Calls(Function function) { return calls[function]; }

uint64_t AllCalls() {
    uint64_t all = 0;
    for (uint64_t count : calls) all += count;
    return all;
}

}  // namespace counting

namespace platform {

using counting::calls;

HANDLE GetStdHandle(DWORD) {
    ++calls[counting::kGetStdHandle];
    return counting::kOutputHandle;
}

BOOL GetConsoleScreenBufferInfo(HANDLE, CONSOLE_SCREEN_BUFFER_INFO* info) {
    ++calls[counting::kGetConsoleScreenBufferInfo];
    *info = CONSOLE_SCREEN_BUFFER_INFO{{120, 9001}, {0, 0}, 0x07, {0, 0, 119, 29}, {120, 63}};
    return 1;
}

BOOL WriteConsoleA(HANDLE, const void*, DWORD count, DWORD* written, void*) {
    ++calls[counting::kWriteConsoleA];
    *written = count;
    return 1;
}

BOOL WriteConsoleOutputAttribute(HANDLE, const WORD*, DWORD length, COORD, DWORD* written) {
    ++calls[counting::kWriteConsoleOutputAttribute];
    *written = length;
    return 1;
}

BOOL ReadConsoleOutputAttribute(HANDLE, WORD* attributes, DWORD length, COORD, DWORD* read) {
    ++calls[counting::kReadConsoleOutputAttribute];
    for (DWORD i = 0; i < length; ++i) attributes[i] = 0x07;
    *read = length;
    return 1;
}

BOOL WriteFile(HANDLE, const void*, DWORD count, DWORD* written, void*) {
    ++calls[counting::kWriteFile];
    *written = count;
    return 1;
}

DWORD GetConsoleOutputCP() {
    ++calls[counting::kGetConsoleOutputCP];
    return 437;
}

BOOL GetConsoleMode(HANDLE, DWORD* mode) {
    ++calls[counting::kGetConsoleMode];
    *mode = 3;
    return 1;
}

bool KeepsUnfinishedCharacters() { return true; }

// A console host before Windows 10: the mode cannot be changed.
BOOL TurnOnVirtualTerminal(HANDLE, DWORD) {
    ++calls[counting::kTurnOnVirtualTerminal];
    return 0;
}

void RestoreConsoleMode() { ++calls[counting::kRestoreConsoleMode]; }

// An environment that sets none of the colour variables.
DWORD GetEnvironmentVariableA(Variable, char*, DWORD) { return 0; }

DWORD GetTerminalWidth(HANDLE) {
    ++calls[counting::kGetTerminalWidth];
    return 0;
}
extern const bool kHasTerminals = false;

const char* GetCommandLineA() {
    ++calls[counting::kGetCommandLineA];
    return counting::commandLine;
}

void ExitProcess(unsigned exitCode) {
    ++calls[counting::kExitProcess];
    exit(static_cast<int>(exitCode));
}

}  // namespace platform

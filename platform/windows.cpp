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

namespace {

// The console whose mode the program changed, and the mode to give back.
// Set before the stop handler can run, and read under `busy`.
HANDLE switchedHandle;
DWORD modeBefore;
bool switched;
// Taken around every console write and every change of the mode: a stop
// handler, which runs on a thread of its own, waits for a write in flight
// and then keeps it, so no write follows the mode it gives back.
long busy;

void Take() {
    while (__atomic_exchange_n(&busy, 1, __ATOMIC_ACQUIRE) != 0) __builtin_ia32_pause();
}
void Give() { __atomic_store_n(&busy, 0, __ATOMIC_RELEASE); }

void GiveModeBack() {
    if (switched) ::SetConsoleMode(switchedHandle, modeBefore);
    switched = false;
}

// Ctrl+C, Ctrl+Break, the window closed: the mode goes back, and the
// default handler, which FALSE passes the event on to, ends the process.
BOOL WINAPI OnStop(::DWORD) {
    Take();
    GiveModeBack();
    return FALSE;
}

// Wine's console takes the virtual-terminal flag and shows sequences as
// text; its ntdll, and no Windows', exports wine_get_version. Told once,
// when the mode is first asked, which comes before any change of it.
bool onWine;
const char kNtdll[] = "ntdll";
const char kWineVersion[] = "wine_get_version";

}  // namespace

BOOL WriteConsoleA(HANDLE hConsoleOutput, const void* buffer, DWORD count, DWORD* written,
                   void* reserved) {
    Take();
    const BOOL done = ::WriteConsoleA(hConsoleOutput, buffer, count,
                                      reinterpret_cast<::DWORD*>(written), reserved);
    Give();
    return done;
}

// The handler comes first, and the mode is changed under `busy`: a stop
// from then on finds the mode it is to give back.
BOOL TurnOnVirtualTerminal(HANDLE handle, DWORD mode) {
    if (onWine) return 0;
    switchedHandle = handle;
    modeBefore = mode;
    ::SetConsoleCtrlHandler(OnStop, TRUE);
    Take();
    switched = ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
    Give();
    return switched ? 1 : 0;
}

bool KeepsUnfinishedCharacters() { return !onWine; }

// No write follows at the end of a run, and a stop handler that gives the
// mode back meanwhile gives back the same.
void RestoreConsoleMode() { GiveModeBack(); }

BOOL WriteConsoleOutputAttribute(HANDLE hConsoleOutput, const WORD* attributes, DWORD length,
                                 COORD writeCoord, DWORD* written) {
    ::COORD start = {writeCoord.X, writeCoord.Y};
    return ::WriteConsoleOutputAttribute(hConsoleOutput, attributes, length, start,
                                         reinterpret_cast<::DWORD*>(written));
}

BOOL ReadConsoleOutputAttribute(HANDLE hConsoleOutput, WORD* attributes, DWORD length,
                                COORD readCoord, DWORD* read) {
    ::COORD start = {readCoord.X, readCoord.Y};
    return ::ReadConsoleOutputAttribute(hConsoleOutput, attributes, length, start,
                                        reinterpret_cast<::DWORD*>(read));
}

DWORD GetConsoleOutputCP() { return ::GetConsoleOutputCP(); }

BOOL GetConsoleMode(HANDLE hConsoleHandle, DWORD* mode) {
    const BOOL done = ::GetConsoleMode(hConsoleHandle, reinterpret_cast<::DWORD*>(mode));
    onWine = ::GetProcAddress(::GetModuleHandleA(kNtdll), kWineVersion) != nullptr;
    if (onWine) *mode &= ~static_cast<DWORD>(ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    return done;
}

BOOL WriteFile(HANDLE hFile, const void* buffer, DWORD count, DWORD* written, void* overlapped) {
    return ::WriteFile(hFile, buffer, count, reinterpret_cast<::DWORD*>(written),
                       static_cast<::OVERLAPPED*>(overlapped));
}

namespace {

// By platform::Variable.
const char kVariables[][15] = {"NO_COLOR", "FORCE_COLOR", "CLICOLOR_FORCE"};

}  // namespace

DWORD GetEnvironmentVariableA(Variable variable, char* buffer, DWORD size) {
    return ::GetEnvironmentVariableA(kVariables[static_cast<int>(variable)], buffer, size);
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

// POSIX backend, for Linux and macOS terminals: standard output is file
// descriptor 1, written with write(2); the command line is rebuilt from argv.
// There is no console screen buffer here, so the writer sends plain bytes,
// with colour escape sequences when the output is a terminal.
#include "platform/posix.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/platform.h"

extern "C" [[noreturn]] void ColortextEntry();

namespace {

// As long as the longest command line Windows passes, and its NUL.
constexpr size_t kCommandLineSize = 32768;
char commandLine[kCommandLineSize];

constexpr uint32_t kDefaultWidth = 80;

int Descriptor(platform::HANDLE handle) {
    return static_cast<int>(reinterpret_cast<intptr_t>(handle));
}

}  // namespace

// The program name, in double quotes if it holds a blank, then the
// arguments joined by single blanks: the command line as Windows would pass
// it. The shell has taken the quotes off already, so a script that wants a
// string in quotes puts the quotes inside its own: '"Hello"'. Only whole
// arguments are kept: one that does not fit ends the line before it.
void BuildCommandLine(int argc, const char* const* argv) {
    size_t used = 0;
    for (int i = 0; i < argc; ++i) {
        const char* argument = argv[i];
        const size_t length = strlen(argument);
        const bool quoted = i == 0 && strchr(argument, ' ') != nullptr;
        const size_t needed = length + (quoted ? 2 : 0) + (i > 0 ? 1 : 0);
        if (needed >= kCommandLineSize - used) break;
        if (i > 0) commandLine[used++] = ' ';
        if (quoted) commandLine[used++] = '"';
        memcpy(commandLine + used, argument, length);
        used += length;
        if (quoted) commandLine[used++] = '"';
    }
    commandLine[used] = '\0';
}

namespace platform {

HANDLE GetStdHandle(DWORD nStdHandle) {
    const intptr_t descriptor = nStdHandle == STD_OUTPUT_HANDLE ? STDOUT_FILENO : -1;
    // The handle carries the descriptor itself; it is never dereferenced.
    return reinterpret_cast<HANDLE>(descriptor);  // NOLINT(performance-no-int-to-ptr)
}

BOOL GetConsoleScreenBufferInfo(HANDLE, CONSOLE_SCREEN_BUFFER_INFO*) { return 0; }

BOOL WriteConsoleA(HANDLE, const void*, DWORD, DWORD*, void*) { return 0; }

BOOL WriteConsoleOutputAttribute(HANDLE, const WORD*, DWORD, COORD, DWORD*) { return 0; }

BOOL ReadConsoleOutputAttribute(HANDLE, WORD*, DWORD, COORD, DWORD*) { return 0; }

// Terminals and text files here hold UTF-8.
DWORD GetConsoleOutputCP() { return CP_UTF8; }

BOOL GetConsoleMode(HANDLE, DWORD*) { return 0; }

bool KeepsUnfinishedCharacters() { return false; }

BOOL TurnOnVirtualTerminal(HANDLE, DWORD) { return 0; }

void RestoreConsoleMode() {}

// A terminal or a pipe may take fewer bytes than asked, or be interrupted
// by a signal: go on until all are written or the output fails for good.
// An output that another program set to non-blocking (the flag belongs to
// the open file, which the shell hands on) refuses what does not fit for
// now: wait until it takes more, as a blocking one would.
BOOL WriteFile(HANDLE hFile, const void* buffer, DWORD count, DWORD* written, void*) {
    const char* bytes = static_cast<const char*>(buffer);
    const int descriptor = Descriptor(hFile);
    DWORD done = 0;
    while (done < count) {
        const ssize_t n = write(descriptor, bytes + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd ready = {descriptor, POLLOUT, 0};
            if (poll(&ready, 1, -1) >= 0 || errno == EINTR) continue;
        }
        if (n <= 0) break;
        done += static_cast<DWORD>(n);
    }
    *written = done;
    return done == count ? 1 : 0;
}

namespace {

const char* const kVariables[] = {"NO_COLOR", "FORCE_COLOR", "CLICOLOR_FORCE"};

}  // namespace

DWORD GetEnvironmentVariableA(Variable variable, char* buffer, DWORD size) {
    const char* value = getenv(kVariables[static_cast<int>(variable)]);
    if (value == nullptr) return 0;
    const size_t length = strlen(value);
    if (length >= size) return static_cast<DWORD>(length < UINT32_MAX ? length + 1 : UINT32_MAX);
    memcpy(buffer, value, length + 1);
    return static_cast<DWORD>(length);
}

// A dumb terminal shows escape sequences as text, so it counts as plain.
DWORD GetTerminalWidth(HANDLE handle) {
    const int descriptor = Descriptor(handle);
    if (isatty(descriptor) == 0) return 0;
    const char* term = getenv("TERM");
    if (term != nullptr && strcmp(term, "dumb") == 0) return 0;
    winsize size{};
    if (ioctl(descriptor, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return kDefaultWidth;
}

extern const bool kHasTerminals = true;

const char* GetCommandLineA() { return commandLine; }

void ExitProcess(unsigned exitCode) { _exit(static_cast<int>(exitCode)); }

}  // namespace platform

// The C library's entry: keep the arguments, then hand over to the
// program's own entry, which never returns. A reader that has gone away
// (a closed pipe) makes writes fail instead of ending the process, so the
// exit code stays 0 as it does on Windows.
int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    BuildCommandLine(argc, argv);
    ColortextEntry();
}

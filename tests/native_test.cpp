// The native program as a process: its command line rebuilt from argv, and
// its bytes written into a pipe and into a file.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "interpreter/usage.h"

namespace {

const char* const kProgram = COLORTEXT_NATIVE_PROGRAM;

struct Outcome {
    std::string bytes;
    int exitCode;  // -1 when the process did not exit normally
};

int Wait(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// TERM as given, or unset when `term` is null; of the variables that
// choose colours, only those in `environment` (NAME=VALUE each).
pid_t Start(const std::string& path, const std::vector<std::string>& arguments, int output,
            const char* term = "xterm", const std::vector<std::string>& environment = {}) {
    pid_t child = fork();
    if (child == 0) {
        for (const char* name : {"NO_COLOR", "FORCE_COLOR", "CLICOLOR_FORCE"}) unsetenv(name);
        for (const std::string& variable : environment) putenv(strdup(variable.c_str()));
        if (term != nullptr) {
            setenv("TERM", term, 1);
        } else {
            unsetenv("TERM");
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(path.c_str()));
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        dup2(output, STDOUT_FILENO);
        execv(kProgram, argv.data());
        _exit(127);
    }
    return child;
}

std::string ReadAll(int descriptor) {
    std::string bytes;
    char buffer[4096];
    ssize_t n;
    while ((n = read(descriptor, buffer, sizeof buffer)) > 0) bytes.append(buffer, size_t(n));
    return bytes;
}

// argv[0] is `path`, as a shell would pass it; the program itself is run.
Outcome RunIntoPipe(const std::vector<std::string>& arguments,
                    const std::string& path = "colortext",
                    const std::vector<std::string>& environment = {}) {
    int ends[2];
    if (pipe(ends) != 0) return {"", -1};
    pid_t child = Start(path, arguments, ends[1], "xterm", environment);
    close(ends[1]);
    std::string bytes = ReadAll(ends[0]);
    close(ends[0]);
    return {bytes, Wait(child)};
}

Outcome RunIntoFile(const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment) {
    char name[] = "/tmp/colortext-output-XXXXXX";
    int file = mkstemp(name);
    if (file < 0) return {"", -1};
    int code = Wait(Start("colortext", arguments, file, "xterm", environment));
    lseek(file, 0, SEEK_SET);
    std::string bytes = ReadAll(file);
    close(file);
    unlink(name);
    return {bytes, code};
}

const std::vector<std::string> kDiskFull = {"/0C", "\"ERROR:\"", "/07", "\" disk full\"",
                                            "13",  "10"};

const struct {
    const char* name;
    std::vector<std::string> arguments;
    std::string bytes;
    std::vector<std::string> environment = {};
} kCases[] = {
    {"road, one token an argument", {"/1F", "\"Hello\"", "13", "10"}, "Hello\r\n"},
    {"worked example in one argument",
     {"/1F \"Hello, \"\"world\"\"\" 13 10 45*5 /7 9\"x\""},
     "Hello, \"world\"\r\n-----   x"},
    {"tab stops", {"\"a\"9\"b\"", "13", "10"}, "a       b\r\n"},
    {"blanks inside a string", {"\"two  blanks\""}, "two  blanks"},
    {"high bytes unchanged", {"\"\xC9\xCD\xBB\"", "200"}, "\xC9\xCD\xBB\xC8"},
    {"no arguments", {}, ""},
    {"malformed", {"\"ok\"", "q", "\"never\""}, "ok"},
    {"unterminated string", {"\"open"}, "open"},
    {"empty argument", {"\"a\"", "", "\"b\""}, "ab"},
    {"version", {"--version"}, "colortext " COLORTEXT_VERSION "\n"},
    {"help, with blanks around", {" -h "}, kRequests[1].reply},
    {"usage, in one argument", {" /?"}, kRequests[2].reply},
    {"help and more is no request", {"--help", "\"x\""}, ""},
    {"FORCE_COLOR", kDiskFull, "\x1b[91mERROR:\x1b[0m disk full\r\n", {"FORCE_COLOR=1"}},
    {"CLICOLOR_FORCE", kDiskFull, "\x1b[91mERROR:\x1b[0m disk full\r\n", {"CLICOLOR_FORCE=1"}},
    {"NO_COLOR wins", kDiskFull, "ERROR: disk full\r\n", {"NO_COLOR=1", "FORCE_COLOR=1"}},
};

TEST(NativeProgram, WritesThePlainBytesIntoAPipeAndAFile) {
    for (const auto& c : kCases) {
        Outcome piped = RunIntoPipe(c.arguments, "colortext", c.environment);
        EXPECT_EQ(piped.bytes, c.bytes) << c.name;
        EXPECT_EQ(piped.exitCode, 0) << c.name;
        Outcome filed = RunIntoFile(c.arguments, c.environment);
        EXPECT_EQ(filed.bytes, c.bytes) << c.name;
        EXPECT_EQ(filed.exitCode, 0) << c.name;
    }
}

// Without the quotes around a name with a blank, the arguments would begin
// at "with", which is no token, and nothing would be written.
TEST(NativeProgram, QuotesAProgramNameThatHoldsABlank) {
    Outcome outcome = RunIntoPipe({"/0C", "\"x\""}, "/opt/dir with blanks/colortext");
    EXPECT_EQ(outcome.bytes, "x");
    EXPECT_EQ(outcome.exitCode, 0);
}

// The command line holds at most 32,767 characters, as on Windows, and only
// whole arguments: a longer one is left out with all that follows it.
TEST(NativeProgram, KeepsWholeArgumentsUpToTheLongestCommandLine) {
    // A string argument of `length` characters, its quotes included.
    auto quoted = [](size_t length) { return "\"" + std::string(length - 2, 'f') + "\""; };
    // The quoted name (32 characters), a blank, "a" and a blank leave 32,730.
    const std::string name = "/opt/dir with blanks/colortext";
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        std::string path;
        std::string bytes;
    } cases[] = {
        {"long argument",
         {quoted(32002), "13", "10"},
         "colortext",
         std::string(32000, 'f') + "\r\n"},
        {"far too long", {"\"a\"", quoted(40002), "\"b\""}, "colortext", "a"},
        {"ends on the last character",
         {"\"a\"", quoted(32730)},
         name,
         "a" + std::string(32728, 'f')},
        {"one character too many", {"\"a\"", quoted(32731), "\"b\""}, name, "a"},
    };
    for (const auto& c : cases) {
        Outcome outcome = RunIntoPipe(c.arguments, c.path);
        EXPECT_EQ(outcome.bytes, c.bytes) << c.name;
        EXPECT_EQ(outcome.exitCode, 0) << c.name;
    }
}

// Standard output is a terminal of `columns` (0: one that reports none);
// returns what the terminal received, its line discipline set to pass the
// bytes unchanged.
Outcome RunOnTerminal(const std::vector<std::string>& arguments, const char* term,
                      unsigned short columns) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return {"", -1};
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    termios raw{};
    tcgetattr(terminal, &raw);
    cfmakeraw(&raw);
    tcsetattr(terminal, TCSANOW, &raw);
    winsize size{};
    size.ws_row = 24;
    size.ws_col = columns;
    ioctl(terminal, TIOCSWINSZ, &size);
    pid_t child = Start("colortext", arguments, terminal, term);
    close(terminal);
    // Once the program has ended and its side is closed, reading fails (EIO).
    std::string bytes;
    char buffer[4096];
    ssize_t n;
    while ((n = read(master, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) bytes.append(buffer, static_cast<size_t>(n));
    }
    close(master);
    return {bytes, Wait(child)};
}

// Colours go to a terminal unless it is a dumb one; tabs and the column
// follow the width it reports, 80 when it reports none.
TEST(NativeProgram, WritesToATerminalAsWideAsItSays) {
    const std::string red = "\x1b[91m", off = "\x1b[0m", letters(25, 'A'), tabs(10, '\t');
    const struct {
        const char* name;
        const char* term;
        unsigned short columns;
        std::vector<std::string> arguments;
        std::string bytes;
    } cases[] = {
        {"xterm", "xterm", 80, {"/0C", "\"x\"", "9", "\"y\""}, red + "x       y" + off},
        {"TERM unset", nullptr, 80, {"/0C", "\"x\""}, red + "x" + off},
        {"dumb terminal", "dumb", 80, {"/0C", "\"x\"", "9", "\"y\""}, "x       y"},
        // 25 letters end in column 5 of 20, column 25 of 80.
        {"narrow", "xterm", 20, {"65*25", "/0C", "9", "\"x\""}, letters + red + "   x" + off},
        {"wide", "xterm", 80, {"65*25", "/0C", "9", "\"x\""}, letters + red + "       x" + off},
        // The tenth raw tab reaches column 80 and stops in the last one, 79
        // of the 80 taken for none; x wraps in the terminal's own colours.
        {"none",
         "xterm",
         0,
         {"\"a\"", "9*10", "/0C", "9", "\"x\""},
         "a" + tabs + red + " " + off + "x\r" + red + "x" + off},
    };
    for (const auto& c : cases) {
        Outcome outcome = RunOnTerminal(c.arguments, c.term, c.columns);
        EXPECT_EQ(outcome.bytes, c.bytes) << c.name;
        EXPECT_EQ(outcome.exitCode, 0) << c.name;
    }
}

// A non-blocking output (the flag belongs to the open file, so whoever
// shares it may have set it) takes part of a write and then refuses more
// until its reader catches up; every byte must still arrive.
TEST(NativeProgram, WritesEverythingToASlowNonBlockingReader) {
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    const int small = 2048;
    setsockopt(ends[1], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    setsockopt(ends[0], SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    fcntl(ends[1], F_SETFL, fcntl(ends[1], F_GETFL) | O_NONBLOCK);
    pid_t child = Start("colortext", {"65*40000", "13", "10"}, ends[1]);
    close(ends[1]);
    std::string bytes;
    char buffer[700];
    ssize_t n;
    while ((n = read(ends[0], buffer, sizeof buffer)) > 0) {
        bytes.append(buffer, static_cast<size_t>(n));
        usleep(200);
    }
    close(ends[0]);
    EXPECT_EQ(bytes, std::string(40000, 'A') + "\r\n");
    EXPECT_EQ(Wait(child), 0);
}

// A reader that has gone away makes the writes fail, not the program.
TEST(NativeProgram, ExitsZeroWhenThePipeIsClosed) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    pid_t child = Start("colortext", {"65*65535", "13", "10"}, ends[1]);
    close(ends[1]);
    EXPECT_EQ(Wait(child), 0);
}

}  // namespace

// The native program as a process: its command line rebuilt from argv, and
// its bytes written into a pipe and into a file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
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

pid_t Start(const std::string& path, const std::vector<std::string>& arguments, int output) {
    pid_t child = fork();
    if (child == 0) {
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
                    const std::string& path = "colortext") {
    int ends[2];
    if (pipe(ends) != 0) return {"", -1};
    pid_t child = Start(path, arguments, ends[1]);
    close(ends[1]);
    std::string bytes = ReadAll(ends[0]);
    close(ends[0]);
    return {bytes, Wait(child)};
}

Outcome RunIntoFile(const std::vector<std::string>& arguments) {
    char name[] = "/tmp/colortext-output-XXXXXX";
    int file = mkstemp(name);
    if (file < 0) return {"", -1};
    int code = Wait(Start("colortext", arguments, file));
    lseek(file, 0, SEEK_SET);
    std::string bytes = ReadAll(file);
    close(file);
    unlink(name);
    return {bytes, code};
}

const struct {
    const char* name;
    std::vector<std::string> arguments;
    std::string bytes;
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
};

TEST(NativeProgram, WritesThePlainBytesIntoAPipeAndAFile) {
    for (const auto& c : kCases) {
        Outcome piped = RunIntoPipe(c.arguments);
        EXPECT_EQ(piped.bytes, c.bytes) << c.name;
        EXPECT_EQ(piped.exitCode, 0) << c.name;
        Outcome filed = RunIntoFile(c.arguments);
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
    const std::string fits = "\"" + std::string(32000, 'f') + "\"";
    Outcome outcome = RunIntoPipe({fits, "13", "10"});
    EXPECT_EQ(outcome.bytes, std::string(32000, 'f') + "\r\n");

    const std::string tooLong = "\"" + std::string(40000, 'x') + "\"";
    outcome = RunIntoPipe({"\"a\"", tooLong, "\"b\""});
    EXPECT_EQ(outcome.bytes, "a");
    EXPECT_EQ(outcome.exitCode, 0);
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

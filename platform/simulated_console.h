// A simulated console for tests: a small screen buffer that acts on output
// the way a console in processed-output mode does, a settable raw command
// line, and a log of every platform call with its arguments.
#ifndef COLORTEXT_PLATFORM_SIMULATED_CONSOLE_H
#define COLORTEXT_PLATFORM_SIMULATED_CONSOLE_H

#include <stdint.h>

#include <string>
#include <vector>

#include "platform/platform.h"

namespace simulated {

struct Cell {
    unsigned char character;
    uint16_t attribute;
};

enum class Op {
    GetStdHandle,
    GetConsoleScreenBufferInfo,
    WriteConsoleA,
    WriteConsoleOutputAttribute,
    WriteFile,
    GetTerminalWidth,
    GetCommandLineA,
    ExitProcess,
};

struct Call {
    Op op;
    uint32_t value;                    // GetStdHandle: which handle; ExitProcess: the code
    bool foreignHandle;                // passed a handle other than the console's output
    bool reservedPointer;              // WriteConsoleA, WriteFile: the last argument was not null
    std::string bytes;                 // WriteConsoleA, WriteFile: the bytes passed
    std::vector<uint16_t> attributes;  // WriteConsoleOutputAttribute: the run passed
    platform::COORD coord;             // WriteConsoleOutputAttribute: the start
    platform::COORD cursor;            // the cursor once the call returned
};

// Renders a call on one line, e.g. `GetStdHandle(-11)`,
// `WriteConsoleA "Hi\x0D"` or `WriteConsoleOutputAttribute 1F*5 at (0,0)`;
// the form tests compare. Anything unexpected in the other arguments is
// spelled out: `... on a foreign handle`, `... with a reserved pointer`.
std::string Describe(const Call& call);

// Sees each call as it is made, for runs whose calls are too many or too
// long to keep. The call it is shown carries no bytes or attributes: those
// come as they were passed, `count` bytes or attributes at `data`.
class Observer {
  public:
    virtual void Saw(const Call& call, const void* data, size_t count) = 0;

  protected:
    ~Observer() = default;
};

class Console {
  public:
    // A blank buffer of width x height cells in the console's own attribute,
    // the cursor at `cursor`, an empty log and an empty command line.
    void Reset(int width, int height, platform::COORD cursor, uint16_t ownAttribute);
    // The raw command line, byte for byte, in storage of exactly its size
    // plus the terminating NUL, so a read past it is caught by a sanitizer.
    void SetCommandLine(const std::string& raw);
    // Standard output is a file or a pipe: every console call fails, and
    // WriteFile appends to Written().
    void SetRedirected(bool redirected) { redirected_ = redirected; }
    // For runs too long to log whole: the log keeps only the last `calls`
    // calls (0, as after Reset: all of them). CallCount() and BytesWritten()
    // still count every call and every byte passed to WriteConsoleA.
    void LimitLog(size_t calls) { logLimit_ = calls; }
    uint64_t CallCount() const { return callCount_; }
    uint64_t BytesWritten() const { return bytesWritten_; }
    // Shows every call to `observer` instead of logging it; Written() then
    // stays empty too. Reset() ends it.
    void Observe(Observer* observer) { observer_ = observer; }
    // Standard output is a terminal `width` columns wide that shows colour
    // escape sequences: redirected, and GetTerminalWidth says so.
    void SetTerminal(int width) {
        redirected_ = true;
        terminalWidth_ = width;
    }

    int Width() const { return width_; }
    int Height() const { return height_; }
    platform::COORD Cursor() const { return cursor_; }
    uint16_t OwnAttribute() const { return ownAttribute_; }
    const Cell& At(int x, int y) const { return cells_[Index(x, y)]; }
    std::string RowText(int y) const;
    // Run-length form, e.g. "1F*5 07*15".
    std::string RowAttributes(int y) const;
    // Everything WriteFile wrote, in order.
    const std::string& Written() const { return written_; }
    const std::vector<Call>& Calls() const { return calls_; }
    std::vector<std::string> DescribedCalls() const;

    // The platform functions, as the backend forwards them.
    platform::HANDLE GetStdHandle(platform::DWORD which);
    bool GetConsoleScreenBufferInfo(platform::HANDLE handle,
                                    platform::CONSOLE_SCREEN_BUFFER_INFO* info);
    bool WriteConsoleA(platform::HANDLE handle, const void* buffer, platform::DWORD count,
                       platform::DWORD* written, void* reserved);
    bool WriteConsoleOutputAttribute(platform::HANDLE handle, const platform::WORD* attributes,
                                     platform::DWORD length, platform::COORD start,
                                     platform::DWORD* written);
    bool WriteFile(platform::HANDLE handle, const void* buffer, platform::DWORD count,
                   platform::DWORD* written, void* overlapped);
    platform::DWORD GetTerminalWidth(platform::HANDLE handle);
    const char* GetCommandLineA();
    void ExitProcess(unsigned code);

  private:
    size_t Index(int x, int y) const {
        return static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x);
    }
    bool IsConsole(platform::HANDLE handle) const;
    Call& Log(Op op, platform::HANDLE handle);
    void Report(const Call& call, const void* data = nullptr, size_t count = 0) {
        if (observer_ != nullptr) observer_->Saw(call, data, count);
    }
    void Show(unsigned char c);
    void NextRow();

    int width_ = 0;
    int height_ = 0;
    platform::COORD cursor_ = {0, 0};
    uint16_t ownAttribute_ = 0x07;
    bool redirected_ = false;
    int terminalWidth_ = 0;
    std::string written_;
    std::vector<Cell> cells_;
    std::vector<char> commandLine_ = std::vector<char>(1, '\0');
    std::vector<Call> calls_;
    size_t logLimit_ = 0;
    uint64_t callCount_ = 0;
    uint64_t bytesWritten_ = 0;
    Observer* observer_ = nullptr;
    Call observed_ = {};
};

// The one console that the simulated backend's platform functions act on.
Console& TheConsole();

}  // namespace simulated

#endif

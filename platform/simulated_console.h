// A simulated console for tests: a small screen buffer that acts on output
// the way a console in processed-output mode does, a settable raw command
// line, and a log of every platform call with its arguments. It can act on
// output as the legacy console does or as virtual-terminal mode does (the
// wrap deferred, colour sequences obeyed), read bytes in a single-byte code
// page or as UTF-8, laid out as Windows' console host or as Wine's console
// lays out characters, and recolour cells as a pseudo-console does.
#ifndef COLORTEXT_PLATFORM_SIMULATED_CONSOLE_H
#define COLORTEXT_PLATFORM_SIMULATED_CONSOLE_H

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace simulated {

// A character that takes two cells fills the second with this.
constexpr uint32_t kSecondHalf = 0xFFFFFFFF;

// 16 bytes: the fuzz target writes and compares every cell of many screens.
struct Cell {
    // The byte in a single-byte code page, the code point under UTF-8.
    uint32_t character;
    uint16_t attribute;
    // How many combining marks are joined to the character (the console
    // host's layout under UTF-8); Console::Mark gives the first of them.
    uint16_t marks;
    // Which WriteConsoleA put the character here: its Call::number, 0 for
    // none since Reset.
    uint64_t write;
};

// How a UTF-8 console gives characters cells.
enum class Layout {
    kConsoleHost,  // East Asian wide characters and emoji two cells, combining marks
                   // none (joined to the character before them), the rest one
    kWine,         // one cell per UTF-16 code unit
};

enum class Op {
    GetStdHandle,
    GetConsoleScreenBufferInfo,
    WriteConsoleA,
    WriteConsoleOutputAttribute,
    ReadConsoleOutputAttribute,
    WriteFile,
    GetConsoleOutputCP,
    GetConsoleMode,
    SetConsoleMode,
    SetConsoleCtrlHandler,
    GetTerminalWidth,
    GetCommandLineA,
    GetCommandLineW,
    WideCharToMultiByte,
    ExitProcess,
};

struct Call {
    Op op;
    uint64_t number;                   // 1 for the first call since Reset, counting every call
    uint32_t value;                    // GetStdHandle: which handle; ExitProcess: the code;
                                       // SetConsoleMode: the mode;
                                       // WideCharToMultiByte: the code page
    uint32_t flags;                    // WideCharToMultiByte: the flags
    bool foreignHandle;                // passed a handle other than the console's output
    bool reservedPointer;              // WriteConsoleA, WriteFile: the last argument was not null
    std::string bytes;                 // WriteConsoleA, WriteFile: the bytes passed
    std::vector<uint16_t> attributes;  // WriteConsoleOutputAttribute: the run passed
    platform::COORD coord;             // Write- and ReadConsoleOutputAttribute: the start
    platform::COORD cursor;            // the cursor once the call returned
};

// Renders a call on one line, e.g. `GetStdHandle(-11)`,
// `WriteConsoleA "Hi\x0D"` or `WriteConsoleOutputAttribute 1F*5 at (0,0)`;
// the form tests compare. Anything unexpected in the other arguments is
// spelled out: `... on a foreign handle`, `... with a reserved pointer`.
std::string Describe(const Call& call);

// The UTF-8 bytes of a code point.
std::string Utf8(uint32_t codePoint);

// How many bytes at the end of `text` begin a UTF-8 character that they do
// not finish but could go on to: 0 to 3.
size_t Utf8Unfinished(const unsigned char* text, size_t count);

// What the console host reads of a write's `bytes` after it kept `held`,
// the first bytes of a character that the last write left unfinished, in
// `codePage`: the character, and the rest, when the write goes on with it;
// otherwise the kept bytes are lost, and the write is read as it is. (A
// byte from 0x40 goes on with a lead byte of a double-byte code page.)
std::string Continued(uint32_t codePage, const std::string& held, const std::string& bytes);

// The bytes of `text` from `i` as a UTF-8 console reads them: one
// character, its code point returned and `i` moved past it, or U+FFFD for a
// single byte that begins no valid sequence (a sequence cut off by the end
// of the text is invalid too).
uint32_t DecodeUtf8(const unsigned char* text, size_t count, size_t& i);

// Whether `codePage` is one of the double-byte code pages of Japan, China
// and Korea: 932, 936, 949, 950.
bool IsDoubleByte(uint32_t codePage);

// The bytes of `text` from `i` as such a code page reads them, through the
// C library's iconv (CP932, GBK, CP949, BIG5): one character, its code
// point returned and `i` moved past it; U+FFFD for bytes that make none,
// and for a lead byte followed by one below 0x40, which is read afresh.
// kLeadAtTheEnd for a lead byte that ends the text, `i` left on it.
constexpr uint32_t kLeadAtTheEnd = 0xFFFFFFFE;
uint32_t DecodeDoubleByte(uint32_t codePage, const unsigned char* text, size_t count, size_t& i);

// UTF-16 `units` as WideCharToMultiByte puts them in `codePage` (through
// iconv where it is not UTF-8): a character the code page lacks, and an
// unpaired surrogate, become `?`, or, with `bestFit`, a look-alike where
// Windows has one (a fullwidth quotation mark `"`, an ideographic space a
// blank, infinity `8`); under UTF-8 an unpaired surrogate becomes U+FFFD.
std::string Encode(uint32_t codePage, const std::u16string& units, bool bestFit);

// East Asian wide and fullwidth characters and emoji: what Windows' console
// host gives two cells, from the project's table of display widths.
bool IsWide(uint32_t codePoint);

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
    // The command line as Windows hands it over, in UTF-16: GetCommandLineA
    // is then the backend's encoding of it (wide_command_line.h). The OEM
    // code page, taken when the output code page is 0 (no console), is 437.
    void SetTypedCommandLine(const std::u16string& wide);
    bool Typed() const { return typed_; }
    // Standard output is a file or a pipe: every console call fails, and
    // WriteFile appends to Written().
    void SetRedirected(bool redirected) { redirected_ = redirected; }
    // For runs too long to log whole: the log keeps only the last `calls`
    // calls (0, as after Reset: all of them). CallCount() and BytesWritten()
    // still count every call and every byte passed to WriteConsoleA.
    void LimitLog(size_t calls) { logLimit_ = calls; }
    uint64_t CallCount() const { return callCount_; }
    uint64_t BytesWritten() const { return bytesWritten_; }
    // Virtual-terminal mode: text that fills the last column leaves the
    // cursor there, and the wrap happens when the next character comes.
    // Colour sequences (SGR with the colours of 16, and pushing and popping
    // the attribute) set the current attribute, which text, the blank before
    // a wide character that does not fit and rows scrolled in then take.
    // `ESC [ K` blanks the rest of the cursor's row in it; `ESC [ n A` and
    // `ESC [ n G` move the cursor up and to a column.
    // CR, LF, VT, FF and BS move the cursor and drop a pending wrap, a TAB
    // only moves it, SUB shows U+2426, and the other controls and DEL are
    // dropped. Any other escape sequence is shown as text, ESC as a cell of
    // 0x1B.
    // As Wine's console does, a console laid out as Wine lays it out takes
    // the mode and reports it, but shows sequences as text and wraps at
    // once.
    void SetVirtualTerminal(bool on) {
        mode_ = on ? mode_ | platform::ENABLE_VIRTUAL_TERMINAL_PROCESSING
                   : mode_ & ~platform::ENABLE_VIRTUAL_TERMINAL_PROCESSING;
    }
    // The same switch, by the name of what it first did.
    void SetDeferredWrap(bool deferred) { SetVirtualTerminal(deferred); }
    // Whether SetConsoleMode takes virtual-terminal processing, as the
    // console host has since Windows 10; after Reset it refuses, as the
    // ones before did (Wine's takes it whatever this says).
    void SetTakesVirtualTerminal(bool takes) { takesVirtualTerminal_ = takes; }
    // The output mode: processed output and wrapping at the end of a row,
    // and virtual-terminal processing when it is on.
    platform::DWORD Mode() const { return mode_; }
    // Stops the program just before its call number `call` (Call::number),
    // as Ctrl+C (event 0), Ctrl+Break (1) or closing the window (2) does:
    // the handler the program set, if any, runs then, between two of its
    // calls as a thread of its own would, and once it has passed the event
    // on the process ends; none of the program's calls after that is
    // carried out or logged.
    void StopBefore(uint64_t call, platform::DWORD event = 0) {
        stopAt_ = call;
        stopEvent_ = event;
    }
    // Whether the process has been stopped; a stop that is due is delivered
    // first. The backend asks before each call.
    bool Ended();
    // Whether this console is Wine's, which the backend tells apart.
    bool OnWine() const { return layout_ == Layout::kWine; }
    // A pseudo-console stands between the program and the terminal: there,
    // WriteConsoleOutputAttribute writes its cells back as it read them, a
    // UTF-16 code unit each, so a cell whose text needs more (a character
    // beyond U+FFFF, a character with a joined mark) becomes U+FFFD.
    void SetPseudoConsole(bool on) { pseudoConsole_ = on; }
    // The output code page: bytes are cells in a single-byte one; under
    // CP_UTF8 and the double-byte ones they are decoded and laid out as
    // `layout` does. Bytes go through the code page before anything reads
    // them as controls or escape sequences; the console host keeps a
    // character that a write leaves unfinished for the next write.
    void SetCodePage(uint32_t codePage, Layout layout = Layout::kConsoleHost) {
        codePage_ = codePage;
        layout_ = layout;
    }
    // Shows every call to `observer` instead of logging it; Written() then
    // stays empty too. Reset() ends it.
    void Observe(Observer* observer) { observer_ = observer; }
    // Standard output is a terminal `width` columns wide that shows colour
    // escape sequences: redirected, and GetTerminalWidth says so.
    void SetTerminal(int width) {
        redirected_ = true;
        terminalWidth_ = width;
    }

    // The window shows the rows from `top` to the bottom one; the cursor
    // cannot be moved up past it. After Reset it shows the whole buffer.
    void SetWindowTop(int top) { windowTop_ = top; }
    // The process's environment, as Windows keeps it: names ignore case,
    // and setting a name again, in any case, replaces its value. Reading it
    // is not logged: it changes nothing that a test compares. A value too
    // long for the reader's storage leaves "0" there, as a careless reader
    // would misread it.
    void SetEnvironmentVariable(const std::string& name, const std::string& value);
    platform::DWORD GetEnvironmentVariableA(const char* name, char* buffer, platform::DWORD size);

    int Width() const { return width_; }
    int Height() const { return height_; }
    platform::COORD Cursor() const { return cursor_; }
    // The current attribute: the one given at Reset, unless colour
    // sequences changed it.
    uint16_t OwnAttribute() const { return ownAttribute_; }
    uint32_t CodePage() const { return codePage_; }
    const Cell& At(int x, int y) const { return cells_[Index(x, y)]; }
    // The first combining mark joined to the character at (x, y), 0 for none;
    // the console keeps no other.
    uint32_t Mark(int x, int y) const { return At(x, y).marks != 0 ? marks_[Index(x, y)] : 0; }
    // The row's characters: bytes, or UTF-8 under CP_UTF8, where the second
    // half of a two-cell character adds nothing and a joined mark follows
    // its character. A character that is no byte (U+2426 for SUB) is UTF-8
    // in any code page.
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
    bool ReadConsoleOutputAttribute(platform::HANDLE handle, platform::WORD* attributes,
                                    platform::DWORD length, platform::COORD start,
                                    platform::DWORD* read);
    bool WriteFile(platform::HANDLE handle, const void* buffer, platform::DWORD count,
                   platform::DWORD* written, void* overlapped);
    platform::DWORD GetConsoleOutputCP();
    bool GetConsoleMode(platform::HANDLE handle, platform::DWORD* mode);
    bool SetConsoleMode(platform::HANDLE handle, platform::DWORD mode);
    using HandlerRoutine = platform::BOOL (*)(platform::DWORD event);
    bool SetConsoleCtrlHandler(HandlerRoutine handler, bool add);
    platform::DWORD GetTerminalWidth(platform::HANDLE handle);
    const char* GetCommandLineA();
    const uint16_t* GetCommandLineW();
    // Refuses, as Windows does, flags the code page does not take, and
    // storage too small for the bytes.
    int WideCharToMultiByte(platform::DWORD codePage, platform::DWORD flags, const uint16_t* wide,
                            int units, char* bytes, int size);
    void ExitProcess(unsigned code);

  private:
    // The rows are a ring, so that scrolling moves no cells: row 0 is the
    // one at `top_`.
    size_t Index(int x, int y) const {
        const size_t row = (top_ + static_cast<size_t>(y)) % static_cast<size_t>(height_);
        return row * static_cast<size_t>(width_) + static_cast<size_t>(x);
    }
    bool IsConsole(platform::HANDLE handle) const;
    Call& Log(Op op, platform::HANDLE handle);
    void Report(const Call& call, const void* data = nullptr, size_t count = 0) {
        if (observer_ != nullptr) observer_->Saw(call, data, count);
    }
    void Show(unsigned char c);
    void Act(unsigned char c);
    void Decode(const unsigned char* bytes, size_t count, std::vector<uint32_t>& text);
    bool Sequence(const std::vector<uint32_t>& text, size_t& i);
    bool CursorOrColours(const std::vector<uint32_t>& text, size_t j, size_t& i);
    // `how` is 'A' (up `n` rows) or 'G' (to column `n`, from 1).
    void MoveCursor(uint32_t how, int n);
    void EraseToRowEnd();
    void ShowVirtualTerminal(const std::vector<uint32_t>& text);
    void ShowCharacter(uint32_t codePoint);
    void Join(uint32_t mark);
    void Put(uint32_t character);
    void NextRow();
    // Whether output acts on escape sequences and defers the wrap.
    bool VirtualTerminal() const {
        return (mode_ & platform::ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 &&
               layout_ != Layout::kWine;
    }

    int width_ = 0;
    int height_ = 0;
    size_t top_ = 0;
    platform::COORD cursor_ = {0, 0};
    uint16_t ownAttribute_ = 0x07;      // the current attribute
    uint16_t defaultAttribute_ = 0x07;  // the one given at Reset
    // Attributes pushed by `ESC [ # {`, oldest first; a push onto a full
    // stack forgets the oldest.
    uint16_t pushed_[10] = {};
    size_t pushes_ = 0;
    bool redirected_ = false;
    platform::DWORD mode_ = 0x3;
    bool takesVirtualTerminal_ = false;
    HandlerRoutine handler_ = nullptr;
    uint64_t stopAt_ = 0;
    platform::DWORD stopEvent_ = 0;
    bool ended_ = false;
    bool pseudoConsole_ = false;
    bool wrapPending_ = false;
    uint32_t codePage_ = 437;
    Layout layout_ = Layout::kConsoleHost;
    // The console host keeps a lead byte, or the first bytes of a UTF-8
    // character, that end a write for the next.
    std::string held_;
    int windowTop_ = 0;
    int terminalWidth_ = 0;
    std::string written_;
    std::vector<Cell> cells_;
    // Beside each cell, its first joined mark, read only while the cell
    // counts one; empty until a mark is first joined.
    std::vector<uint32_t> marks_;
    std::vector<std::pair<std::string, std::string>> environment_;
    std::vector<char> commandLine_ = std::vector<char>(1, '\0');
    std::u16string wideCommandLine_;
    bool typed_ = false;
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

// Runs colortext.exe in a real console, Wine's, and checks what it leaves
// there. For each case the driver makes a fresh screen buffer (cleared, in
// the console's own attribute 0x2E unless the case says otherwise, the
// cursor where the case puts it), starts colortext.exe on it as cmd does,
// with CreateProcessW and the case's command line in UTF-16, waits, and
// reads back the exit code, the cursor, the buffer's own attribute and every
// cell. Cases that redirect standard output into a file or a pipe read the
// bytes instead. A case's command line is the bytes of a batch file saved in
// the console's code page, which cmd decodes with it, or text as typed; a
// case may run a batch file through cmd instead.
//
// The driver runs inside Wine, whose console host needs a terminal:
// tests/wine/run.sh gives it one in tmux and collects the report. With
// --pictures it plays the README's scenes instead (see Scenes()).
//   usage: driver.exe REPORT-FILE [NAME-FILTER | --pictures FOLDER]
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "interpreter/usage.h"

namespace {

// Where run.sh puts the program: once at a path without blanks, once at one
// with them.
const char kProgram[] = "C:\\ct\\colortext.exe";
const char kSpacedProgram[] = "C:\\dir with spaces\\colortext.exe";

enum class Output { kConsole, kFile, kPipe };

struct Case {
    std::string theme;
    std::string name;
    std::string application = kProgram;
    std::string commandLine;
    Output output = Output::kConsole;
    SHORT width = 80;
    SHORT height = 25;
    COORD start = {0, 0};
    WORD own = 0x2E;
    // The console's output code page during the run; 0 leaves it as it is.
    UINT codePage = 0;
    // The command line is text as typed, in UTF-8 here, rather than bytes in
    // the console's code page.
    bool typed = false;
    // When not empty: the lines of a batch file, as typed, which the case
    // saves in the console's code page and runs with `cmd /c`.
    std::string batch;
    // On a console: the characters from (0, 0), row after row, without the
    // blanks that end the buffer; the attributes of every cell, run-length
    // ("1F*5 2E*", a last run without a count fills the rest); the cursor.
    std::string text;
    std::string attributes;
    COORD cursor = {0, 0};
    // Redirected: the bytes written.
    std::string bytes;

    // Builders, so that the table below reads as the cases do.
    Case& At(SHORT x, SHORT y) {
        start = {x, y};
        return *this;
    }
    Case& Buffer(SHORT w, SHORT h) {
        width = w;
        height = h;
        return *this;
    }
    Case& Program(const char* path, const std::string& line) {
        application = path;
        commandLine = line;
        return *this;
    }
    // Each row but the last is padded with blanks to the buffer's width.
    Case& Rows(const std::vector<std::string>& rows) {
        text.clear();
        for (size_t i = 0; i < rows.size(); ++i) {
            text += rows[i];
            if (i + 1 < rows.size()) text.append(size_t(width) - rows[i].size(), ' ');
        }
        return *this;
    }
    // The same for UTF-8 text on a UTF-8 console, where Wine gives each
    // UTF-16 code unit a cell.
    Case& Utf8Rows(const std::vector<std::string>& rows) {
        codePage = CP_UTF8;
        text.clear();
        for (size_t i = 0; i < rows.size(); ++i) {
            text += rows[i];
            const int cells = MultiByteToWideChar(CP_UTF8, 0, rows[i].data(),
                                                  static_cast<int>(rows[i].size()), nullptr, 0);
            if (i + 1 < rows.size()) text.append(size_t(width) - size_t(cells), ' ');
        }
        return *this;
    }
    // The same in a double-byte code page: the command line, given in
    // UTF-8 like the rows, is put in it.
    Case& DoubleByteRows(UINT page, const std::vector<std::string>& rows) {
        Utf8Rows(rows);
        codePage = page;
        std::wstring wide(commandLine.size(), L'\0');
        wide.resize(size_t(MultiByteToWideChar(
            CP_UTF8, 0, commandLine.data(), int(commandLine.size()), &wide[0], int(wide.size()))));
        commandLine.assign(wide.size() * 2, '\0');
        commandLine.resize(
            size_t(WideCharToMultiByte(page, 0, wide.data(), int(wide.size()), &commandLine[0],
                                       int(commandLine.size()), nullptr, nullptr)));
        return *this;
    }
    // The command line as typed, on a console in `page`: the rows are what
    // it shows, in UTF-8 like the rows above.
    Case& Typed(UINT page, const std::vector<std::string>& rows) {
        Utf8Rows(rows);
        codePage = page;
        typed = true;
        return *this;
    }
    Case& Batch(const std::string& lines) {
        batch = lines;
        return *this;
    }
    Case& Text(const std::string& t) {
        text = t;
        return *this;
    }
    Case& Attributes(const std::string& runs) {
        attributes = runs;
        return *this;
    }
    Case& Cursor(SHORT x, SHORT y) {
        cursor = {x, y};
        return *this;
    }
    Case& Into(Output where, const std::string& written) {
        output = where;
        bytes = written;
        return *this;
    }
};

std::wstring Widen(UINT page, const std::string& bytes) {
    std::wstring wide(bytes.size(), L'\0');
    wide.resize(size_t(
        MultiByteToWideChar(page, 0, bytes.data(), int(bytes.size()), &wide[0], int(wide.size()))));
    return wide;
}

std::string Narrow(UINT page, const std::wstring& wide) {
    std::string bytes(wide.size() * 4, '\0');
    bytes.resize(size_t(WideCharToMultiByte(page, 0, wide.data(), int(wide.size()), &bytes[0],
                                            int(bytes.size()), nullptr, nullptr)));
    return bytes;
}

// Starts `commandLine` with `output` as standard output and the screen as
// standard error, inheriting handles, as cmd starts a program.
bool Start(const std::wstring& application, const std::wstring& commandLine, HANDLE output,
           HANDLE screen, PROCESS_INFORMATION* process) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = screen;
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    return CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          nullptr, &startup, process) != 0;
}

Case Check(const char* theme, const char* name, const std::string& arguments) {
    Case c;
    c.theme = theme;
    c.name = name;
    c.commandLine = "colortext " + arguments;
    return c;
}

std::string Repeat(const std::string& piece, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i) out += piece;
    return out;
}

// The usage as the console shows it: line after line in 0x07, on a buffer
// whose own attribute is 0x2E. It must fit 16 lines of 79 columns.
Case Usage(const char* name, const std::string& arguments) {
    Case c = Check("usage", name, arguments);
    std::vector<std::string> lines;
    std::string attributes;
    const std::string reply = kRequests[0].reply;
    for (size_t at = 0, end; (end = reply.find("\r\n", at)) != std::string::npos; at = end + 2) {
        lines.push_back(reply.substr(at, end - at));
        const size_t length = lines.back().size();
        if (length > 79) return c.Text("a line of " + std::to_string(length) + " columns");
        if (length > 0) attributes += "07*" + std::to_string(length) + " ";
        attributes += "2E*" + std::to_string(80 - length) + " ";
    }
    if (lines.size() > 16) return c.Text(std::to_string(lines.size()) + " lines");
    return c.Rows(lines).Attributes(attributes + "2E*").Cursor(0, static_cast<SHORT>(lines.size()));
}

// The longest command line Windows passes: 32,767 characters with its NUL.
// Check() puts "colortext " in front of the arguments.
const size_t kLongestArguments = 32766 - 10;

std::vector<Case> Cases() {
    const std::string world = "Hello, \"world\"";
    const std::string longText = Repeat("abcdefghij", 2000);
    const std::string longestString(kLongestArguments - 2, 'q');
    const std::string check = "\xE2\x9C\x93", han = "\xE4\xB8\xAD", emoji = "\xF0\x9F\x98\x80";
    // In UTF-8 here, put in the console's code page by DoubleByteRows.
    const std::string a = "\u3042", kana = "\u3042\u3044\u3046", tokyo = "\u6771\u4eac",
                      osaka = "\u5927\u962a\u5e9c", chinese = "\u4e2d\u6587";
    const size_t pairs = kLongestArguments / 12;
    std::vector<Case> cases = {
        // The two examples every reader meets first.
        Check("examples", "road", "/1F \"Hello\" 13 10")
            .Rows({"Hello"})
            .Attributes("1F*5 2E*")
            .Cursor(0, 1),
        Check("examples", "quotes, controls, repeat and tab",
              "/1F \"Hello, \"\"world\"\"\" 13 10 45*5 /7 9\"x\"")
            .Rows({world, "-----   x"})
            .Attributes("1F*14 2E*66 1F*5 07*4 2E*")
            .Cursor(9, 1),

        // A run is coloured wherever the console put it.
        Check("edges", "a run that crosses the right edge", "/1F \"0123456789\"")
            .At(75, 0)
            .Rows({std::string(75, ' ') + "01234", "56789"})
            .Attributes("2E*75 1F*10 2E*")
            .Cursor(5, 1),
        // The buffer scrolls twice. Wine fills the rows that scroll in with
        // blanks in 0x07, not in the buffer's own attribute.
        Check("edges", "a run that scrolls the buffer", "/1F " + Repeat("65*10 ", 10))
            .At(70, 24)
            .Text(std::string(22 * 80 + 70, ' ') + std::string(100, 'A'))
            .Attributes("2E*1830 1F*100 07*")
            .Cursor(10, 24),

        // The console's own attribute is never the program's.
        Check("own attribute", "text before any switch is 0x07", "\"plain\" /1F \"blue\"")
            .Rows({"plainblue"})
            .Attributes("07*5 1F*4 2E*")
            .Cursor(9, 0),
        Check("own attribute", "a directly written glyph keeps it", "/1F \"a\" 1 \"b\"")
            .Rows({"a\x01"
                   "b"})
            .Attributes("1F*1 2E*1 1F*1 2E*")
            .Cursor(3, 0),

        // The console acts on control codes.
        Check("controls", "carriage return, line feed, backspace",
              "\"abc\" 13 \"X\" 10 \"Y\" 8 \"Z\"")
            .Rows({"Xbc", "Z"})
            .Attributes("07*3 2E*77 07*1 2E*")
            .Cursor(1, 1),
        Check("controls", "bell shows nothing", "\"a\" 7 \"b\"")
            .Rows({"ab"})
            .Attributes("07*2 2E*")
            .Cursor(2, 0),
        Check("controls", "tab stops count from the cursor", "\"abc\" 9 \"d\" 13 10 9 \"e\"")
            .At(2, 0)
            .Rows({"  abc   d", "        e"})
            .Attributes("2E*2 07*7 2E*71 07*9 2E*")
            .Cursor(9, 1),

        // How the program name is written.
        Check("program name", "quoted, with blanks, a token straight after", "")
            .Program(kSpacedProgram, "\"C:\\dir with spaces\\colortext.exe\"/1F\"Hi\"")
            .Rows({"Hi"})
            .Attributes("1F*2 2E*")
            .Cursor(2, 0),
        Check("program name", "unquoted full path", "")
            .Program(kProgram, "C:\\ct\\colortext.exe /1F \"Hi\"")
            .Rows({"Hi"})
            .Attributes("1F*2 2E*")
            .Cursor(2, 0),

        // Text far past the writer's storage, written whole and coloured.
        Check("long text", "a 20,000-byte string", "/1F \"" + longText + "\"")
            .Buffer(80, 300)
            .Text(longText)
            .Attributes("1F*20000 2E*")
            .Cursor(0, 250),
        Check("long text", "65*65535", "65*65535")
            .Buffer(80, 820)
            .Text(std::string(65535, 'A'))
            .Attributes("07*65535 2E*")
            .Cursor(15, 819),
        Check("long text", "the longest command line, one string", "\"" + longestString + "\"")
            .Buffer(80, 420)
            .Text(longestString)
            .Attributes("07*32754 2E*")
            .Cursor(34, 409),
        Check("long text", "the longest command line, alternating colours",
              Repeat("/1F\"a\"/4E\"b\"", pairs))
            .Buffer(80, 100)
            .Text(Repeat("ab", pairs))
            .Attributes(Repeat("1F*1 4E*1 ", pairs) + "2E*")
            .Cursor(static_cast<SHORT>(pairs * 2 % 80), static_cast<SHORT>(pairs * 2 / 80)),

        // Bytes of 0x80 and above pass unchanged, in code page 437.
        Check("bytes", "0x80 and above", "\"\x80\xC9\xCD\xBB\xFF\" 200 255")
            .Rows({"\x80\xC9\xCD\xBB\xFF\xC8\xFF"})
            .Attributes("07*7 2E*")
            .Cursor(7, 0),

        // Text as typed, started as cmd starts programs: the console shows
        // what was typed, whatever its code page, and a character that the
        // code page lacks as `?`, never as a look-alike that is a token's
        // quote or blank.
        Check("typed", "accented Latin and box drawing, 437",
              "/0E \"caf\u00e9 \u2550\u2550\u2550\" 13 10")
            .Typed(437, {"caf\u00e9 \u2550\u2550\u2550"})
            .Attributes("0E*8 2E*")
            .Cursor(0, 1),
        Check("typed", "accented Latin and what 850 lacks", "/1F \"na\u00efve \u221e\"")
            .Typed(850, {"na\u00efve ?"})
            .Attributes("1F*7 2E*")
            .Cursor(7, 0),
        Check("typed", "Cyrillic, 866", "/0A \"\u041f\u0440\u0438\u0432\u0435\u0442\" 13 10")
            .Typed(866, {"\u041f\u0440\u0438\u0432\u0435\u0442"})
            .Attributes("0A*6 2E*")
            .Cursor(0, 1),
        Check("typed", "a check mark and an emoji, 65001",
              "/0A \"" + check + " ok \U0001F680\" 13 10")
            .Typed(CP_UTF8, {check + " ok \U0001F680"})
            .Attributes("0A*7 2E*")
            .Cursor(0, 1),
        Check("typed", "CJK, 932", "/1F \"" + tokyo + "\" /07 \"x\"")
            .Typed(932, {tokyo + "x"})
            .Attributes("1F*2 07*1 2E*")
            .Cursor(3, 0),
        Check("typed", "a fullwidth quotation mark inside a string", "/1F \"a\uff02b\" 13 10")
            .Typed(437, {"a?b"})
            .Attributes("1F*3 2E*")
            .Cursor(0, 1),
        Check("typed", "into a file, as echo writes it", "\"caf\u00e9\" 13 10")
            .Typed(437, {})
            .Into(Output::kFile, "caf\x82\r\n"),
        // A batch file saved in the console's code page, which Wine's cmd
        // reads in the OEM code page, 437, whatever chcp says.
        Check("typed", "a batch file beside echo", "")
            .Batch("@C:\\ct\\colortext.exe /0E \"caf\u00e9 \u2550\u2550\u2550\" 13 10\r\n"
                   "@echo caf\u00e9 \u2550\u2550\u2550\r\n")
            .Typed(437, {"caf\u00e9 \u2550\u2550\u2550", "caf\u00e9 \u2550\u2550\u2550"})
            .Attributes("0E*8 2E*")
            .Cursor(0, 2),

        // Malformed command lines end the output early, never the program.
        Check("malformed", "a letter", "\"ok\" q \"never\"")
            .Rows({"ok"})
            .Attributes("07*2 2E*")
            .Cursor(2, 0),
        Check("malformed", "an unterminated string", "/1F \"open")
            .Rows({"open"})
            .Attributes("1F*4 2E*")
            .Cursor(4, 0),
        Check("malformed", "a lone slash", "\"a\" /")
            .Rows({"a"})
            .Attributes("07*1 2E*")
            .Cursor(1, 0),
        Check("malformed", "a repeat without a count", "65*").Rows({""}).Attributes("2E*"),
        Check("malformed", "a tab between tokens", "65 \t66")
            .Rows({"A"})
            .Attributes("07*1 2E*")
            .Cursor(1, 0),
        Check("malformed", "high bytes outside a string", "\xFF\xFE 65")
            .Rows({""})
            .Attributes("2E*"),
        // Only a blank after the name: Wine hands a child whose command line
        // is empty its application name instead, so that cannot be tried.
        Check("malformed", "no arguments", "").Rows({""}).Attributes("2E*"),

        // A UTF-8 console: one cell per character, as Wine lays them out
        // (a cell per UTF-16 code unit), coloured exactly; a character is
        // never cut in two, which would show as replacement characters.
        Check("utf-8", "an accented letter", "/1F \"h\xC3\xA9llo\" 13 10")
            .Utf8Rows({"h\xC3\xA9llo"})
            .Attributes("1F*5 2E*")
            .Cursor(0, 1),
        Check("utf-8", "a check mark", "/0A \"" + check + " ok\" 13 10")
            .Utf8Rows({check + " ok"})
            .Attributes("0A*4 2E*")
            .Cursor(0, 1),
        Check("utf-8", "East Asian characters", "/1F \"" + han + han + "\" /07 \"x\"")
            .Utf8Rows({han + han + "x"})
            .Attributes("1F*2 07*1 2E*")
            .Cursor(3, 0),
        Check("utf-8", "an emoji, two code units", "/1F \"" + emoji + "!\" /07 \"x\"")
            .Utf8Rows({emoji + "!x"})
            .Attributes("1F*3 07*1 2E*")
            .Cursor(4, 0),
        Check("utf-8", "a combining mark", "/1F \"e\xCC\x81!\" /07 \"x\"")
            .Utf8Rows({"e\xCC\x81!x"})
            .Attributes("1F*3 07*1 2E*")
            .Cursor(4, 0),
        Check("utf-8", "a tab table",
              "\"caf\xC3\xA9\" 9 \"1\" 13 10 \"th\xC3\xA9\" 9 \"2\" 13 10 \"" + han + han +
                  "\" 9 \"3\"")
            .Utf8Rows({"caf\xC3\xA9    1", "th\xC3\xA9     2", han + han + "      3"})
            .Attributes("07*9 2E*71 07*9 2E*71 07*9 2E*")
            .Cursor(9, 2),
        Check("utf-8", "check marks that wrap from the bottom row",
              "/1F \"" + Repeat(check, 30) + "\"")
            .Buffer(20, 4)
            .At(0, 3)
            .Utf8Rows({"", "", Repeat(check, 20), Repeat(check, 10)})
            .Attributes("2E*40 1F*30 07*")
            .Cursor(10, 3),
        Check("utf-8", "many check marks from the bottom row", "/1F \"" + Repeat(check, 300) + "\"")
            .Buffer(20, 4)
            .At(0, 3)
            .Utf8Rows({Repeat(check, 20), Repeat(check, 20), Repeat(check, 20)})
            .Attributes("1F*60 07*")
            .Cursor(0, 3),
        Check("utf-8", "East Asian characters from the bottom row",
              "/1F \"" + Repeat(han, 30) + "\"")
            .Buffer(20, 4)
            .At(5, 3)
            .Utf8Rows({"", "", "     " + Repeat(han, 15), Repeat(han, 15)})
            .Attributes("2E*45 1F*30 07*")
            .Cursor(15, 3),
        Check("utf-8", "longer than the writer's storage", "/1F \"" + Repeat(check, 1500) + "\"")
            .Buffer(80, 25)
            .Utf8Rows({Repeat(check, 1500)})
            .Attributes("1F*1500 2E*")
            .Cursor(60, 18),
        Check("utf-8", "ASCII as on any console", "/1F \"Hello\" 13 10")
            .Utf8Rows({"Hello"})
            .Attributes("1F*5 2E*")
            .Cursor(0, 1),

        // Double-byte code pages: Wine gives each character a cell, one
        // byte or two.
        Check("932", "a coloured kana run", "/1F \"" + kana + "\" /07 \"x\"")
            .DoubleByteRows(932, {kana + "x"})
            .Attributes("1F*3 07*1 2E*")
            .Cursor(4, 0),
        Check("932", "a tab table", "\"" + tokyo + "\" 9 \"1\" 13 10 \"" + osaka + "\" 9 \"2\"")
            .DoubleByteRows(932, {tokyo + "      1", osaka + "     2"})
            .Attributes("07*9 2E*71 07*9 2E*")
            .Cursor(9, 1),
        Check("932", "longer than the writer's storage", "/1F \"" + Repeat(a, 2100) + "\"")
            .Buffer(80, 30)
            .DoubleByteRows(932, {Repeat(a, 2100)})
            .Attributes("1F*2100 2E*")
            .Cursor(20, 26),
        Check("936", "a coloured run", "/1F \"" + chinese + "\" /07 \"x\"")
            .DoubleByteRows(936, {chinese + "x"})
            .Attributes("1F*2 07*1 2E*")
            .Cursor(3, 0),
        Check("936", "a tab table", "\"" + chinese + "\" 9 \"1\" 13 10 \"" + han + "a\" 9 \"2\"")
            .DoubleByteRows(936, {chinese + "      1", han + "a      2"})
            .Attributes("07*9 2E*71 07*9 2E*")
            .Cursor(9, 1),
        Check("936", "longer than the writer's storage", "/1F \"" + Repeat(han, 2100) + "\"")
            .Buffer(80, 30)
            .DoubleByteRows(936, {Repeat(han, 2100)})
            .Attributes("1F*2100 2E*")
            .Cursor(20, 26),

        // /? alone, blanks around it allowed, prints the usage; with more it
        // is a colour switch as ever.
        Usage("/? alone", "/?"),
        Usage("/? with blanks around", "   /?  "),
        Check("usage", "/? and more is a colour switch", "/? \"x\"")
            .Rows({"x"})
            .Attributes("08*1 2E*")
            .Cursor(1, 0),
        Check("usage", "/? into a file", "/?").Into(Output::kFile, kRequests[0].reply),

        // Not a console: the same bytes, uncoloured.
        Check("redirected", "road into a file", "/1F \"Hello\" 13 10")
            .Into(Output::kFile, "Hello\r\n"),
        Check("redirected", "road into a pipe", "/1F \"Hello\" 13 10")
            .Into(Output::kPipe, "Hello\r\n"),
        Check("redirected", "tab stops into a file", "\"a\"9\"b\" 13 10 \"abc\" 9 \"d\"")
            .Into(Output::kFile, "a       b\r\nabc     d"),
        Check("redirected", "worked example into a pipe",
              "/1F \"Hello, \"\"world\"\"\" 13 10 45*5 /7 9\"x\"")
            .Into(Output::kPipe, world + "\r\n-----   x"),
        Check("redirected", "high bytes and controls into a file", "\"\xC9\xCD\" 7 205*2 8")
            .Into(Output::kFile, "\xC9\xCD\x07\xCD\xCD\x08"),
        Check("redirected", "long text into a pipe", "65*65535 13 10")
            .Into(Output::kPipe, std::string(65535, 'A') + "\r\n"),

        // Set by a batch file: colour into a pipe or a file when asked, none
        // on a console, whatever the name's case.
        Check("environment", "FORCE_COLOR=1 into a pipe", "")
            .Batch("@set FORCE_COLOR=1\r\n@C:\\ct\\colortext.exe /0C \"ERROR:\" /07 \" disk full\" "
                   "13 10")
            .Into(Output::kPipe, "\x1b[91mERROR:\x1b[0m disk full\r\n"),
        Check("environment", "FORCE_COLOR=1 into a file", "")
            .Batch("@set FORCE_COLOR=1\r\n@C:\\ct\\colortext.exe /1F \"Hi\" 13 10 /07 \"a\" /4E 9 "
                   "\"x\"")
            .Into(Output::kFile, "\x1b[97;44mHi\x1b[0m\r\na\x1b[93;41m       x\x1b[0m"),
        Check("environment", "NO_COLOR=1 on a console", "")
            .Batch("@set no_color=1\r\n@C:\\ct\\colortext.exe /1F \"a\" 9 \"b\"")
            .Rows({"a       b"})
            .Attributes("2E*")
            .Cursor(9, 0),
    };
    return cases;
}

// ---------------------------------------------------------------------------

std::vector<WORD> ExpandRuns(const std::string& runs, size_t cells, std::string* error) {
    std::vector<WORD> out;
    const char* p = runs.c_str();
    while (*p) {
        char* end;
        unsigned long value = strtoul(p, &end, 16);
        if (end == p || *end != '*') {
            *error = "bad run-length text: " + runs;
            return out;
        }
        p = end + 1;
        unsigned long count = strtoul(p, &end, 10);
        if (end == p) count = out.size() < cells ? cells - out.size() : 0;
        out.insert(out.end(), count, static_cast<WORD>(value));
        p = end;
        while (*p == ' ') ++p;
    }
    return out;
}

std::string Runs(const std::vector<WORD>& values) {
    std::string out;
    for (size_t i = 0; i < values.size();) {
        size_t j = i;
        while (j < values.size() && values[j] == values[i]) ++j;
        char run[32];
        snprintf(run, sizeof run, "%s%02X*%u", out.empty() ? "" : " ", values[i],
                 static_cast<unsigned>(j - i));
        out += run;
        i = j;
    }
    return out;
}

std::string Printable(const std::string& bytes, size_t limit = 160) {
    std::string out;
    for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x20 || c >= 0x7F || c == '\\') {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    if (bytes.size() > limit) out += "... (" + std::to_string(bytes.size()) + " bytes)";
    return out;
}

std::string FirstDifference(const std::string& expected, const std::string& actual) {
    size_t i = 0;
    while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) ++i;
    return "at " + std::to_string(i) + ": expected \"" + Printable(expected.substr(i), 60) +
           "\", got \"" + Printable(actual.substr(i), 60) + "\"";
}

HANDLE MakeScreenBuffer(const Case& c, SECURITY_ATTRIBUTES* inherit, std::string* error) {
    HANDLE buffer =
        CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  inherit, CONSOLE_TEXTMODE_BUFFER, nullptr);
    if (buffer == INVALID_HANDLE_VALUE) {
        *error = "CreateConsoleScreenBuffer failed: " + std::to_string(GetLastError());
        return buffer;
    }
    // A buffer may not be smaller than its window: shrink the window first.
    SMALL_RECT window = {0, 0, static_cast<SHORT>(c.width - 1),
                         static_cast<SHORT>((c.height < 25 ? c.height : 25) - 1)};
    SetConsoleWindowInfo(buffer, TRUE, &window);
    if (!SetConsoleScreenBufferSize(buffer, COORD{c.width, c.height})) {
        *error = "SetConsoleScreenBufferSize failed: " + std::to_string(GetLastError());
    }
    DWORD done;
    const DWORD cells = DWORD(c.width) * DWORD(c.height);
    FillConsoleOutputCharacterA(buffer, ' ', cells, COORD{0, 0}, &done);
    FillConsoleOutputAttribute(buffer, c.own, cells, COORD{0, 0}, &done);
    SetConsoleTextAttribute(buffer, c.own);
    SetConsoleCursorPosition(buffer, c.start);
    return buffer;
}

std::string ReadFileWhole(HANDLE file) {
    std::string bytes;
    char chunk[65536];
    DWORD n;
    while (ReadFile(file, chunk, sizeof chunk, &n, nullptr) && n > 0) bytes.append(chunk, n);
    return bytes;
}

// Runs one case; returns what went wrong, or "" when all is as expected.
std::string Run(const Case& c, DWORD* milliseconds) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    std::string error;
    HANDLE screen = MakeScreenBuffer(c, &inherit, &error);
    if (!error.empty()) return error;

    HANDLE output = screen, reader = nullptr;
    const char* fileName = "C:\\ct\\output.bin";
    if (c.output == Output::kFile) {
        output = CreateFileA(fileName, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    } else if (c.output == Output::kPipe) {
        CreatePipe(&reader, &output, &inherit, 1 << 16);
        SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
    }

    PROCESS_INFORMATION process = {};
    const UINT codePage = GetConsoleOutputCP();
    if (c.codePage != 0) SetConsoleOutputCP(c.codePage);
    std::wstring application = Widen(CP_UTF8, c.application);
    std::wstring line = Widen(c.typed ? CP_UTF8 : GetConsoleOutputCP(), c.commandLine);
    if (!c.batch.empty()) {
        const std::string saved = Narrow(GetConsoleOutputCP(), Widen(CP_UTF8, c.batch));
        HANDLE file = CreateFileA("C:\\ct\\case.bat", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD done;
        WriteFile(file, saved.data(), DWORD(saved.size()), &done, nullptr);
        CloseHandle(file);
        application = L"C:\\windows\\system32\\cmd.exe";
        line = L"cmd /c C:\\ct\\case.bat";
    }
    const DWORD began = GetTickCount();
    if (!Start(application, line, output, screen, &process)) {
        return "CreateProcessW failed: " + std::to_string(GetLastError());
    }
    std::string written;
    if (c.output == Output::kPipe) {
        CloseHandle(output);
        written = ReadFileWhole(reader);
        CloseHandle(reader);
    }
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        error = "still running after 60 s";
    }
    *milliseconds = GetTickCount() - began;
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (exitCode != 0) {
        char code[16];
        snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(exitCode));
        error += std::string(error.empty() ? "" : "; ") + "exit code " + code;
    }

    if (c.output == Output::kFile) {
        CloseHandle(output);
        HANDLE file = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        written = ReadFileWhole(file);
        CloseHandle(file);
        DeleteFileA(fileName);
    }

    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(screen, &info);
    const DWORD cells = DWORD(c.width) * DWORD(c.height);
    std::string text(cells, ' ');
    std::vector<WORD> attributes(cells);
    DWORD done;
    if (c.codePage != 0) {
        // Read as UTF-16, a code unit a cell, then put into UTF-8 to compare.
        std::vector<wchar_t> wide(cells);
        ReadConsoleOutputCharacterW(screen, wide.data(), cells, COORD{0, 0}, &done);
        const int n =
            WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(cells), nullptr, 0, nullptr, nullptr);
        text.assign(size_t(n), ' ');
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(cells), &text[0], n, nullptr, nullptr);
    } else {
        ReadConsoleOutputCharacterA(screen, &text[0], cells, COORD{0, 0}, &done);
    }
    ReadConsoleOutputAttribute(screen, attributes.data(), cells, COORD{0, 0}, &done);
    CloseHandle(screen);
    SetConsoleOutputCP(codePage);

    auto add = [&error](const std::string& what) {
        error += std::string(error.empty() ? "" : "\n      ") + what;
    };
    if (info.wAttributes != c.own) {
        char what[64];
        snprintf(what, sizeof what, "the console's own attribute is %02X, not %02X",
                 info.wAttributes, c.own);
        add(what);
    }
    if (c.output != Output::kConsole) {
        if (written != c.bytes) add("bytes " + FirstDifference(c.bytes, written));
        std::vector<WORD> untouched(cells, c.own);
        if (text != std::string(cells, ' ') || attributes != untouched) {
            add("the screen was written on");
        }
        return error;
    }

    size_t end = text.find_last_not_of(' ');
    text.resize(end == std::string::npos ? 0 : end + 1);
    if (text != c.text) add("text " + FirstDifference(c.text, text));
    std::string runError;
    std::vector<WORD> expected = ExpandRuns(c.attributes, cells, &runError);
    if (!runError.empty()) add(runError);
    if (attributes != expected) {
        add("attributes:\n        expected " + Printable(Runs(expected), 400) +
            "\n        got      " + Printable(Runs(attributes), 400));
    }
    if (info.dwCursorPosition.X != c.cursor.X || info.dwCursorPosition.Y != c.cursor.Y) {
        add("cursor (" + std::to_string(info.dwCursorPosition.X) + "," +
            std::to_string(info.dwCursorPosition.Y) + "), expected (" + std::to_string(c.cursor.X) +
            "," + std::to_string(c.cursor.Y) + ")");
    }
    return error;
}

// ---------------------------------------------------------------------------
// Pictures for the README: command lines run one after another on one
// screen buffer, each after a prompt line that the driver writes there as
// cmd would; the cells are then dumped for tools/svg_picture.cpp.

struct Scene {
    const char* name;
    SHORT width;
    std::vector<std::string> arguments;
};

std::vector<Scene> Scenes() {
    return {
        {"console-examples",
         90,
         {
             "/0C \"ERROR:\" /07 \" the build failed\" 13 10",
             "/1F 61*34 13 10 \"  Nightly build: all tests green  \" 13 10 61*34 13 10",
             "\"core\" 9 /0A \"ok\" 13 10 /07 \"ui\" 9 /0C \"failed\" 13 10",
             "/0E 205*20 \" code page 437 \" 205*20 13 10",
         }},
    };
}

// Runs one command line of a scene with `screen` as its standard output.
std::string RunOn(HANDLE screen, const std::string& commandLine) {
    PROCESS_INFORMATION process = {};
    if (!Start(Widen(CP_UTF8, kProgram), Widen(GetConsoleOutputCP(), commandLine), screen, screen,
               &process)) {
        return "CreateProcessW failed: " + std::to_string(GetLastError());
    }
    const bool ended = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended ? "" : "still running after 60 s";
}

// Plays the scene and writes its cells to `path`: "cells WIDTH HEIGHT",
// then a line per row of four hex digits per cell, character and attribute.
std::string DrawScene(const Scene& scene, const std::string& path) {
    Case shape;
    shape.width = scene.width;
    shape.height = 25;
    shape.own = 0x07;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    std::string error;
    HANDLE screen = MakeScreenBuffer(shape, &inherit, &error);
    if (!error.empty()) return error;
    DWORD done;
    for (const std::string& arguments : scene.arguments) {
        const std::string commandLine = "colortext " + arguments;
        const std::string prompt = "C:\\>" + commandLine + "\r\n";
        WriteConsoleA(screen, prompt.data(), DWORD(prompt.size()), &done, nullptr);
        error = RunOn(screen, commandLine);
        if (!error.empty()) return error;
    }
    WriteConsoleA(screen, "C:\\>", 4, &done, nullptr);

    const DWORD cells = DWORD(shape.width) * DWORD(shape.height);
    std::string text(cells, ' ');
    std::vector<WORD> attributes(cells);
    ReadConsoleOutputCharacterA(screen, &text[0], cells, COORD{0, 0}, &done);
    ReadConsoleOutputAttribute(screen, attributes.data(), cells, COORD{0, 0}, &done);
    CloseHandle(screen);
    FILE* out = fopen(path.c_str(), "wb");
    if (!out) return "cannot write " + path;
    fprintf(out, "cells %d %d\n", shape.width, shape.height);
    for (DWORD i = 0; i < cells; ++i) {
        fprintf(out, "%02X%02X%s", static_cast<unsigned char>(text[i]), attributes[i] & 0xFF,
                (i + 1) % DWORD(shape.width) == 0 ? "\n" : "");
    }
    fclose(out);
    return "";
}

int DrawScenes(FILE* report, const std::string& folder) {
    int written = 0, failed = 0;
    for (const Scene& scene : Scenes()) {
        const std::string error = DrawScene(scene, folder + "\\" + scene.name + ".cells");
        if (error.empty()) {
            ++written;
        } else {
            ++failed;
            fprintf(report, "FAIL  picture %s: %s\n", scene.name, error.c_str());
        }
    }
    fprintf(report, "pictures: %d written, %d failed\n", written, failed);
    fclose(report);
    return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: driver.exe REPORT-FILE [NAME-FILTER | --pictures FOLDER]\n");
        return 2;
    }
    FILE* report = fopen(argv[1], "w");
    if (!report) return 2;
    // The variables that choose colours are the cases' own to set.
    for (const char* name : {"NO_COLOR", "FORCE_COLOR", "CLICOLOR_FORCE"}) {
        SetEnvironmentVariableA(name, nullptr);
    }
    if (argc > 3 && strcmp(argv[2], "--pictures") == 0) return DrawScenes(report, argv[3]);
    const char* filter = argc > 2 ? argv[2] : "";
    int passed = 0, failed = 0;
    DWORD total = 0;
    for (const Case& c : Cases()) {
        const std::string title = c.theme + ": " + c.name;
        if (!strstr(title.c_str(), filter)) continue;
        DWORD ms = 0;
        const std::string error = Run(c, &ms);
        total += ms;
        if (error.empty()) {
            ++passed;
            fprintf(report, "ok    %-68s %6lu ms\n", title.c_str(), static_cast<unsigned long>(ms));
        } else {
            ++failed;
            fprintf(report, "FAIL  %s\n      %s\n", title.c_str(), error.c_str());
        }
        fflush(report);
    }
    fprintf(report, "colortext.exe ran for %lu ms in all\n", static_cast<unsigned long>(total));
    fprintf(report, "wine console: %d passed, %d failed\n", passed, failed);
    fclose(report);
    return failed == 0 ? 0 : 1;
}

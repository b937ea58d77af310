// Draws a screen as an SVG picture: each cell's character in its colours,
// from the console's 16-colour palette, in a monospace font. The screen is
// read from standard input in one of two forms:
//   --cells   a console's cells as tests/wine/driver.cpp dumps them: a line
//             "cells WIDTH HEIGHT", then a line per row of four hex digits
//             per cell, the character (code page 437) and the attribute;
//   --ansi W  a terminal's screen as tmux capture-pane -e prints it: text
//             with colour escape sequences, rows W columns wide.
// Blank rows at the bottom are left out. The same screen gives the same
// bytes, so a committed picture can be compared with a fresh one.
//   usage: colortext_picture --cells | --ansi WIDTH  <screen >picture.svg
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

struct Cell {
    char32_t character = U' ';
    int foreground = 7;
    int background = 0;
};

using Screen = std::vector<std::vector<Cell>>;

// The console's colours, by attribute digit.
const char* const kPalette[16] = {"#000000", "#000080", "#008000", "#008080", "#800000", "#800080",
                                  "#808000", "#c0c0c0", "#808080", "#0000ff", "#00ff00", "#00ffff",
                                  "#ff0000", "#ff00ff", "#ffff00", "#ffffff"};

// Code page 437: the glyphs of the control codes, then of 0x80 to 0xFF.
const char32_t kControlGlyphs[32] = {
    U' ',      U'\u263A', U'\u263B', U'\u2665', U'\u2666', U'\u2663', U'\u2660', U'\u2022',
    U'\u25D8', U'\u25CB', U'\u25D9', U'\u2642', U'\u2640', U'\u266A', U'\u266B', U'\u263C',
    U'\u25BA', U'\u25C4', U'\u2195', U'\u203C', U'\u00B6', U'\u00A7', U'\u25AC', U'\u21A8',
    U'\u2191', U'\u2193', U'\u2192', U'\u2190', U'\u221F', U'\u2194', U'\u25B2', U'\u25BC'};
const char32_t kHighGlyphs[128] = {
    U'Ç', U'ü', U'é', U'â', U'ä', U'à', U'å', U'ç', U'ê', U'ë', U'è', U'ï', U'î', U'ì', U'Ä', U'Å',
    U'É', U'æ', U'Æ', U'ô', U'ö', U'ò', U'û', U'ù', U'ÿ', U'Ö', U'Ü', U'¢', U'£', U'¥', U'₧', U'ƒ',
    U'á', U'í', U'ó', U'ú', U'ñ', U'Ñ', U'ª', U'º', U'¿', U'⌐', U'¬', U'½', U'¼', U'¡', U'«', U'»',
    U'░', U'▒', U'▓', U'│', U'┤', U'╡', U'╢', U'╖', U'╕', U'╣', U'║', U'╗', U'╝', U'╜', U'╛', U'┐',
    U'└', U'┴', U'┬', U'├', U'─', U'┼', U'╞', U'╟', U'╚', U'╔', U'╩', U'╦', U'╠', U'═', U'╬', U'╧',
    U'╨', U'╤', U'╥', U'╙', U'╘', U'╒', U'╓', U'╫', U'╪', U'┘', U'┌', U'█', U'▄', U'▌', U'▐', U'▀',
    U'α', U'ß', U'Γ', U'π', U'Σ', U'σ', U'µ', U'τ', U'Φ', U'Θ', U'Ω', U'δ', U'∞', U'φ', U'ε', U'∩',
    U'≡', U'±', U'≥', U'≤', U'⌠', U'⌡', U'÷', U'≈', U'°', U'∙', U'·', U'√', U'ⁿ', U'²', U'■', U' '};

char32_t FromCodePage437(unsigned byte) {
    if (byte < 0x20) return kControlGlyphs[byte];
    if (byte == 0x7F) return U'\u2302';
    if (byte >= 0x80) return kHighGlyphs[byte - 0x80];
    return static_cast<char32_t>(byte);
}

bool ReadCells(FILE* in, Screen& screen) {
    int width = 0, height = 0;
    if (fscanf(in, "cells %d %d", &width, &height) != 2 || width <= 0 || height <= 0) return false;
    screen.assign(static_cast<size_t>(height), std::vector<Cell>(static_cast<size_t>(width)));
    for (std::vector<Cell>& row : screen) {
        for (Cell& cell : row) {
            unsigned value = 0;
            if (fscanf(in, "%4x", &value) != 1) return false;
            cell.character = FromCodePage437(value >> 8);
            cell.foreground = static_cast<int>(value & 0x0F);
            cell.background = static_cast<int>(value >> 4 & 0x0F);
        }
    }
    return true;
}

// An ANSI colour (red 1, green 2, blue 4) as a console colour (blue 1,
// green 2, red 4).
int ConsoleColour(int ansi) { return (ansi & 2) | (ansi & 1) << 2 | (ansi & 4) >> 2; }

// Selects colours as a terminal would; anything else is left alone.
void ApplySgr(const std::vector<int>& parameters, Cell& pen) {
    for (size_t i = 0; i < parameters.size(); ++i) {
        const int p = parameters[i];
        if (p == 0) {
            pen = Cell{};
        } else if (p >= 30 && p <= 37) {
            pen.foreground = ConsoleColour(p - 30);
        } else if (p >= 90 && p <= 97) {
            pen.foreground = ConsoleColour(p - 90) + 8;
        } else if (p == 39) {
            pen.foreground = Cell{}.foreground;
        } else if (p >= 40 && p <= 47) {
            pen.background = ConsoleColour(p - 40);
        } else if (p >= 100 && p <= 107) {
            pen.background = ConsoleColour(p - 100) + 8;
        } else if (p == 49) {
            pen.background = Cell{}.background;
        } else if ((p == 38 || p == 48) && i + 2 < parameters.size() && parameters[i + 1] == 5) {
            const int n = parameters[i + 2];
            if (n < 16)
                (p == 38 ? pen.foreground : pen.background) = ConsoleColour(n & 7) + (n & 8);
            i += 2;
        }
    }
}

// One UTF-8 character from `text` at `at`, which it moves past it.
char32_t DecodeUtf8(const std::string& text, size_t& at) {
    const unsigned char lead = static_cast<unsigned char>(text[at++]);
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    for (; extra > 0 && at < text.size(); --extra) {
        c = c << 6 | (static_cast<unsigned char>(text[at++]) & 0x3F);
    }
    return c;
}

bool ReadAnsi(FILE* in, int width, Screen& screen) {
    std::string text;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, in)) > 0;) text.append(chunk, n);
    Cell pen;
    screen.emplace_back(static_cast<size_t>(width));
    size_t column = 0;
    for (size_t at = 0; at < text.size();) {
        if (text[at] == '\x1b' && at + 1 < text.size() && text[at + 1] == '[') {
            std::vector<int> parameters(1, 0);
            for (at += 2; at < text.size() && (isdigit(text[at]) || text[at] == ';'); ++at) {
                if (text[at] == ';') {
                    parameters.push_back(0);
                } else {
                    parameters.back() = parameters.back() * 10 + (text[at] - '0');
                }
            }
            if (at < text.size() && text[at++] == 'm') ApplySgr(parameters, pen);
            continue;
        }
        if (text[at] == '\n') {
            ++at;
            screen.emplace_back(static_cast<size_t>(width));
            column = 0;
            continue;
        }
        Cell cell = pen;
        cell.character = DecodeUtf8(text, at);
        if (column < screen.back().size()) screen.back()[column++] = cell;
    }
    return true;
}

bool IsBlank(const std::vector<Cell>& row) {
    for (const Cell& cell : row) {
        if (cell.character != U' ' || cell.background != 0) return false;
    }
    return true;
}

void PutUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void PutEscaped(std::string& out, char32_t c) {
    switch (c) {
        case U'&':
            out += "&amp;";
            break;
        case U'<':
            out += "&lt;";
            break;
        case U'>':
            out += "&gt;";
            break;
        default:
            PutUtf8(out, c);
    }
}

// Cells of 9 by 18 pixels, inside a margin of 10.
constexpr int kCellWidth = 9, kCellHeight = 18, kMargin = 10;

std::string Svg(Screen screen) {
    while (!screen.empty() && IsBlank(screen.back())) screen.pop_back();
    const int columns = screen.empty() ? 0 : static_cast<int>(screen[0].size());
    const int rows = static_cast<int>(screen.size());
    char line[256];
    std::string out;
    snprintf(line, sizeof line,
             "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" "
             "font-family=\"DejaVu Sans Mono, monospace\" font-size=\"15\" "
             "xml:space=\"preserve\">\n"
             "<rect width=\"100%%\" height=\"100%%\" rx=\"6\" fill=\"%s\"/>\n",
             columns * kCellWidth + 2 * kMargin, rows * kCellHeight + 2 * kMargin, kPalette[0]);
    out += line;
    for (int y = 0; y < rows; ++y) {
        const std::vector<Cell>& row = screen[static_cast<size_t>(y)];
        const int top = kMargin + y * kCellHeight;
        // Backgrounds other than the screen's own, a rectangle per run.
        for (int x = 0; x < columns;) {
            int end = x;
            while (end < columns && row[end].background == row[x].background) ++end;
            if (row[x].background != 0) {
                snprintf(line, sizeof line,
                         "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"%s\"/>\n",
                         kMargin + x * kCellWidth, top, (end - x) * kCellWidth, kCellHeight,
                         kPalette[row[x].background]);
                out += line;
            }
            x = end;
        }
        // Text, a run per foreground, without the blanks at its ends; its
        // length is pinned to its cells, whatever the font's advance.
        for (int x = 0; x < columns;) {
            if (row[x].character == U' ') {
                ++x;
                continue;
            }
            int end = x, last = x;
            for (; end < columns && row[end].foreground == row[x].foreground; ++end) {
                if (row[end].character != U' ') last = end;
            }
            snprintf(line, sizeof line, "<text x=\"%d\" y=\"%d\" textLength=\"%d\" fill=\"%s\">",
                     kMargin + x * kCellWidth, top + 14, (last + 1 - x) * kCellWidth,
                     kPalette[row[x].foreground]);
            out += line;
            for (int i = x; i <= last; ++i) PutEscaped(out, row[i].character);
            out += "</text>\n";
            x = last + 1;
        }
    }
    out += "</svg>\n";
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    Screen screen;
    bool ok = false;
    if (argc == 2 && strcmp(argv[1], "--cells") == 0) {
        ok = ReadCells(stdin, screen);
    } else if (argc == 3 && strcmp(argv[1], "--ansi") == 0 && atoi(argv[2]) > 0) {
        ok = ReadAnsi(stdin, atoi(argv[2]), screen);
    } else {
        fprintf(stderr, "usage: %s --cells | --ansi WIDTH  <screen >picture.svg\n", argv[0]);
        return 2;
    }
    if (!ok) {
        fprintf(stderr, "%s: the screen on standard input cannot be read\n", argv[0]);
        return 1;
    }
    const std::string svg = Svg(screen);
    fwrite(svg.data(), 1, svg.size(), stdout);
    return 0;
}

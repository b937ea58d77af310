// Measures of text that need no console: what kinds of byte it holds, where
// its UTF-8 characters begin and end, and how many cells they may take.
#ifndef COLORTEXT_CONSOLE_TEXT_MEASURE_H
#define COLORTEXT_CONSOLE_TEXT_MEASURE_H

#include <stdint.h>

// Kinds of byte that may make text other than one cell a byte: below 0x20,
// which a console acts on or shows as a glyph; 0x80 and above, whose look
// is up to the code page; DEL, which a file viewed in a terminal and a
// console in virtual-terminal mode show as nothing.
constexpr uint32_t kControlByte = 1;
constexpr uint32_t kHighByte = 2;
constexpr uint32_t kDeleteByte = 4;

inline uint32_t KindOf(uint8_t byte) {
    if (static_cast<uint8_t>(byte - 0x20) < 0x5F) return 0;
    return byte < 0x20 ? kControlByte : byte == 0x7F ? kDeleteByte : kHighByte;
}

// The kinds of all the bytes together.
uint32_t KindsOf(const uint8_t* text, uint32_t count);

// How many bytes the UTF-8 character that `lead` begins has; a byte that
// begins none is a character of its own.
uint32_t Utf8Length(uint8_t lead);

// How many bytes at the end of the text begin a character that the text
// does not finish but could go on to: 0 to 3.
uint32_t Utf8UnfinishedTail(const uint8_t* text, uint32_t count);
// The same of the `begunCount` bytes at `begun` followed by the text, which
// a short text may go on with: the bytes are copied to `tail` (which may be
// `begun`), and there may be more of them than the text has.
uint32_t Utf8UnfinishedTailAfter(const uint8_t* begun, uint32_t begunCount, const uint8_t* text,
                                 uint32_t count, uint8_t* tail);

// The lead bytes of a double-byte code page: the `firstCount` bytes from
// 0x81, and the `secondCount` from `secondStart`, begin characters of two
// bytes. All zero: not a double-byte code page.
struct LeadBytes {
    uint8_t firstCount, secondStart, secondCount;

    bool Has(uint8_t byte) const {
        return static_cast<uint8_t>(byte - 0x81) < firstCount ||
               static_cast<uint8_t>(byte - secondStart) < secondCount;
    }
};

// 932 (Japanese): 0x81 to 0x9F and 0xE0 to 0xFC; 936, 949 and 950 (Chinese
// and Korean): 0x81 to 0xFE; none for any other code page.
LeadBytes LeadBytesOf(uint32_t codePage);

// Whether the text, which begins with a character, ends in a lead byte
// whose trail byte has not come.
bool EndsInLeadByte(const uint8_t* text, uint32_t count, LeadBytes leads);

// Whether `next` goes on with the `count` bytes at `begun`, which begin a
// character they do not finish: in a double-byte code page (`leads` not
// null) any byte from 0x40 does; in UTF-8 a byte in the range its place
// in the character allows.
bool GoesOn(const uint8_t* begun, uint32_t count, uint8_t next, const LeadBytes* leads);

// One character of text as a console in virtual-terminal mode reads it, and
// the fewest and most cells it can take there, from its bytes alone,
// whatever the console host's version or font: an ASCII character, SUB (a
// symbol) and a byte of its own in a double-byte code page one; a character
// of several bytes up to two, and at the fewest none in UTF-8 (a combining
// mark) and one in a double-byte code page; a byte that begins or goes on
// with no character at most one (a replacement character) and at the
// fewest none; DEL and the other control bytes none.
struct CharacterCells {
    uint8_t length;
    int8_t least, most;
};
// `leads`: the lead bytes of a double-byte code page, or null for UTF-8.
CharacterCells CellsOf(const uint8_t* text, uint32_t count, const LeadBytes* leads);

// How many cells text may take on a console; in a double-byte code page,
// whether it ends in a lead byte that its trail byte has not followed.
struct CellRange {
    int32_t least, most;
    bool endsInLead = false;
};

// The cells of UTF-8 text on a console: an ASCII character takes one; any
// other from none (a combining mark) to two (an East Asian character, an
// emoji), as the console decides, but never more than it has bytes, and a
// byte that begins or continues no character shows as one replacement
// character. It measures the longest front of the text that ends before a
// character and is at most `limit` bytes long, with `spread` above 0 one
// that keeps the range narrower than `spread`, and returns its length.
uint32_t MeasureUtf8(const uint8_t* text, uint32_t count, int32_t spread, uint32_t limit,
                     CellRange& range);

// The same for text in a double-byte code page: a character of two bytes
// takes one or two cells, as the console decides, and one that meets a
// single cell left of a row leaves it blank and goes on in the next, so
// that text may take more cells than it has bytes; a byte of its own takes
// one; a lead byte that ends the text may show as nothing, kept for the
// next write. It measures at most `limit` bytes, ending before a character,
// and with `spread` above 0 keeps the range narrower.
uint32_t MeasureDoubleByte(const uint8_t* text, uint32_t count, LeadBytes leads, int32_t spread,
                           uint32_t limit, CellRange& range);

#endif

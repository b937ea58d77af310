#include "console/text_measure.h"

uint32_t KindsOf(const uint8_t* text, uint32_t count) {
    uint32_t kinds = 0;
    for (uint32_t i = 0; i < count; ++i) kinds |= KindOf(text[i]);
    return kinds;
}

uint32_t Utf8Length(uint8_t lead) {
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

namespace {

// Whether `second` can follow the UTF-8 lead byte `lead`: its range rules
// out overlong forms, surrogates and code points past U+10FFFF.
bool Utf8SecondByte(uint8_t lead, uint8_t second) {
    const uint8_t low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const uint8_t high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    return second >= low && second <= high;
}

}  // namespace

uint32_t Utf8UnfinishedTail(const uint8_t* text, uint32_t count) {
    for (uint32_t back = 1; back <= 3 && back <= count; ++back) {
        const uint8_t lead = text[count - back];
        if ((lead & 0xC0) == 0x80) continue;
        if (lead < 0xC2 || lead > 0xF4 || Utf8Length(lead) <= back) return 0;
        // The second byte, when there is one, in the range the lead allows.
        return back == 1 || Utf8SecondByte(lead, text[count - back + 1]) ? back : 0;
    }
    return 0;
}

uint32_t Utf8UnfinishedTailAfter(const uint8_t* begun, uint32_t begunCount, const uint8_t* text,
                                 uint32_t count, uint8_t* tail) {
    // Three bytes of text hold the lead byte of any character they leave
    // unfinished.
    uint8_t joined[6];
    const uint8_t* from = text;
    uint32_t length = count;
    if (count < 3 && begunCount > 0) {
        for (uint32_t i = 0; i < begunCount; ++i) joined[i] = begun[i];
        for (uint32_t i = 0; i < count; ++i) joined[begunCount + i] = text[i];
        from = joined;
        length = begunCount + count;
    }
    const uint32_t kept = Utf8UnfinishedTail(from, length);
    for (uint32_t i = 0; i < kept; ++i) tail[i] = from[length - kept + i];
    return kept;
}

uint32_t MeasureUtf8(const uint8_t* text, uint32_t count, int32_t spread, uint32_t limit,
                     CellRange& range) {
    range = {0, 0, false};
    int32_t following = 0;  // continuation bytes the last lead byte announced
    for (uint32_t i = 0; i < count; ++i, ++range.most) {
        const uint8_t byte = text[i];
        if (byte >= 0x80 && byte < 0xC0 && following > 0) {
            --following;
            continue;
        }
        // A character begins here: ASCII, a lead byte, or a byte that
        // continues nothing and shows alone.
        const int32_t length = byte < 0x80 ? 1 : static_cast<int32_t>(Utf8Length(byte));
        const int32_t wider = range.most - range.least + (byte < 0x80 ? 0 : length);
        if (i > 0 && ((spread > 0 && wider >= spread) ||
                      range.most + length > static_cast<int32_t>(limit))) {
            return i;
        }
        following = length - 1;
        range.least += byte < 0x80 ? 1 : 0;
    }
    return count;
}

LeadBytes LeadBytesOf(uint32_t codePage) {
    LeadBytes leads = {0, 0, 0};
    if (codePage == 932) {
        leads = {0x9F - 0x80, 0xE0, 0xFC - 0xDF};
    } else if (codePage == 936 || codePage - 949 <= 1) {
        leads.firstCount = 0xFE - 0x80;
    }
    return leads;
}

bool EndsInLeadByte(const uint8_t* text, uint32_t count, LeadBytes leads) {
    uint32_t i = 0;
    while (i + 1 < count) i += leads.Has(text[i]) ? 2u : 1u;
    return i + 1 == count && leads.Has(text[i]);
}

uint32_t MeasureDoubleByte(const uint8_t* text, uint32_t count, LeadBytes leads, int32_t spread,
                           uint32_t limit, CellRange& range) {
    // Each character takes a cell at least; a double one two at most and
    // the blank it may leave at the end of a row. A lead byte that ends the
    // text may show as nothing, kept for the next write.
    range = {0, 0, false};
    uint32_t i = 0;
    while (i < count) {
        const bool lead = leads.Has(text[i]);
        const uint32_t length = lead && i + 1 < count ? 2 : 1;
        const int32_t most = range.most + (length == 2 ? 3 : 1);
        if (i > 0 && (i + length > limit || (spread > 0 && most - range.least - 1 >= spread))) {
            break;
        }
        i += length;
        range.endsInLead = lead && length == 1;
        range = {range.least + (range.endsInLead ? 0 : 1), most, range.endsInLead};
    }
    return i;
}

namespace {

// The length of the UTF-8 character that the text begins with, 0 when its
// bytes make none: a lead byte from 0xC2 to 0xF4, and the bytes it
// announces, the second in the range the lead allows.
uint32_t Utf8Character(const uint8_t* text, uint32_t count) {
    const uint8_t lead = text[0];
    const uint32_t length = Utf8Length(lead);
    if (lead < 0xC2 || lead > 0xF4 || length > count) return 0;
    if (!Utf8SecondByte(lead, text[1])) return 0;
    for (uint32_t i = 2; i < length; ++i) {
        if ((text[i] & 0xC0) != 0x80) return 0;
    }
    return length;
}

}  // namespace

bool GoesOn(const uint8_t* begun, uint32_t count, uint8_t next, const LeadBytes* leads) {
    if (leads != nullptr) return next >= 0x40;
    return count == 1 ? Utf8SecondByte(begun[0], next) : (next & 0xC0) == 0x80;
}

CharacterCells CellsOf(const uint8_t* text, uint32_t count, const LeadBytes* leads) {
    const uint8_t c = text[0];
    if (c < 0x80) {
        const int8_t cells = (c >= 0x20 && c != 0x7F) || c == 0x1A ? 1 : 0;
        return {1, cells, cells};
    }
    if (leads == nullptr) {
        const uint32_t length = Utf8Character(text, count);
        return CharacterCells{static_cast<uint8_t>(length > 0 ? length : 1), 0,
                              static_cast<int8_t>(length > 0 ? 2 : 1)};
    }
    if (!leads->Has(c)) return {1, 1, 1};
    // No byte below 0x40 ends a character of two.
    if (count > 1 && text[1] >= 0x40) return {2, 1, 2};
    return {1, 0, 1};
}

#include "console/text_measure.h"

uint32_t KindsOf(const uint8_t* text, uint32_t count) {
    uint32_t kinds = 0;
    for (uint32_t i = 0; i < count; ++i) kinds |= KindOf(text[i]);
    return kinds;
}

uint32_t Utf8Length(uint8_t lead) {
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

uint32_t Utf8UnfinishedTail(const uint8_t* text, uint32_t count) {
    for (uint32_t back = 1; back <= 3 && back <= count; ++back) {
        const uint8_t byte = text[count - back];
        if ((byte & 0xC0) == 0x80) continue;
        return byte >= 0xC2 && byte <= 0xF4 && Utf8Length(byte) > back ? back : 0;
    }
    return 0;
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

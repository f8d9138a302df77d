// UTF-8 decoding for the hosts.
#include "tools/utf8_text.h"

#include <cstdint>

namespace {

// The code point of the sequence at in[i] and its length, or 0 when the sequence is bad.
size_t decode_one(const std::string &in, size_t i, uint32_t *code) {
    unsigned char lead = static_cast<unsigned char>(in[i]);
    size_t extra = 0;
    uint32_t minimum = 0;
    if (lead < 0x80) {
        *code = lead;
    } else if ((lead & 0xE0) == 0xC0) {
        *code = lead & 0x1F, extra = 1, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        *code = lead & 0x0F, extra = 2, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        *code = lead & 0x07, extra = 3, minimum = 0x10000;
    } else {
        return 0;
    }
    if (extra && i + extra >= in.size()) return 0;
    for (size_t k = 1; k <= extra; ++k) {
        unsigned char next = static_cast<unsigned char>(in[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        *code = (*code << 6) | (next & 0x3F);
    }
    if (*code < minimum || *code > 0x10FFFF || (*code >= 0xD800 && *code <= 0xDFFF)) return 0;
    return extra + 1;
}

}  // namespace

bool utf8_to_utf16(const std::string &in, std::u16string *out, size_t *bad_offset, Utf8Errors errors) {
    out->clear();
    size_t i = 0;
    if (in.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;  // byte-order mark
    while (i < in.size()) {
        uint32_t code = 0;
        size_t length = decode_one(in, i, &code);
        if (length == 0 || code == 0) {
            if (errors == Utf8Errors::Refuse) {
                *bad_offset = i;
                return false;
            }
            if (length == 0) out->push_back(u'\uFFFD');
            i += length == 0 ? 1 : length;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out->push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out->push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out->push_back(static_cast<char16_t>(code));
        }
        i += length;
    }
    return true;
}

// Serialises a header and AsciiForm-named units into the voice database file format.
#include "voice/voice_writer.h"

#include "voice/voice_file.h"

#include <cstdio>
#include <vector>

namespace {

constexpr size_t kMaxField = 32767;

void fail(std::string *error, const std::string &reason) {
    if (error) *error = reason;
}

// The plain letter that the rewrite turns into c at a position after the first; 0 when c is
// stored as it is.
char plain_letter_for(char c) {
    switch (c) {
    case '!': return 'd';
    case '`': return 'f';
    case '.': return 'j';
    case '?': return 'r';
    case '\'': return 's';
    case '(': return 'w';
    case '~': return 'x';
    default: return 0;
    }
}

struct Serializer {
    VoiceByteOrder order;
    std::vector<uint8_t> *out;

    void int16(int value) {
        const auto bits = static_cast<uint16_t>(static_cast<int16_t>(value));
        const auto high = static_cast<uint8_t>(bits >> 8), low = static_cast<uint8_t>(bits & 0xff);
        if (order == VoiceByteOrder::Big) {
            out->push_back(high);
            out->push_back(low);
        } else {
            out->push_back(low);
            out->push_back(high);
        }
    }
    void bytes(const void *data, size_t count) {
        const auto *begin = static_cast<const uint8_t *>(data);
        out->insert(out->end(), begin, begin + count);
    }
    void string(const std::string &text) {
        int16(static_cast<int>(text.size()));
        bytes(text.data(), text.size());
    }
};

}  // namespace

int plain_unit_name(const std::string &ascii_name, std::string *plain) {
    std::string result = ascii_name;
    for (size_t j = 1; j < result.size(); j++) {
        const char c = ascii_name[j];
        if (c == ')') {
            result[j] = ascii_name[j - 1];  // only a, e, o qualify; the check below refuses others
        } else if (char letter = plain_letter_for(c)) {
            result[j] = letter;
        }
    }
    std::vector<char> check(result.begin(), result.end());
    check.push_back('\0');
    rewrite_unit_name(check.data());
    if (ascii_name != std::string(check.data(), result.size())) return -1;
    if (plain) *plain = result;
    return 0;
}

int voice_file_bytes(const VoiceFileHeader &header, const std::vector<VoiceUnitData> &units,
                     VoiceByteOrder order, std::vector<uint8_t> *out, std::string *error) {
    if (!out) {
        fail(error, "no output buffer");
        return -1;
    }
    if (units.size() % 4 != 0) {
        fail(error, "unit count " + std::to_string(units.size()) + " is not 4 x syllables");
        return -1;
    }
    if (units.size() > static_cast<size_t>(kVoiceMaxUnits)) {
        fail(error, "more than " + std::to_string(kVoiceMaxSyllables) + " syllables");
        return -1;
    }
    for (const std::string *text : {&header.header_text_1, &header.header_text_2, &header.header_text_3,
                                    &header.header_text_4, &header.header_text_5}) {
        if (text->size() > kMaxField) {
            fail(error, "header text over 32767 bytes");
            return -1;
        }
    }
    if (header.header_value < -32768 || header.header_value > 32767) {
        fail(error, "header value outside int16");
        return -1;
    }
    if (header.sample_rate < 1 || header.sample_rate > 32767 || header.channels < 1 || header.channels > 32767) {
        fail(error, "sample rate and channels must lie in 1..32767");
        return -1;
    }

    std::vector<uint8_t> bytes;
    Serializer write{order, &bytes};
    write.bytes(kVoiceMagic, kVoiceMagicLength);
    write.int16(1);  // the byte-order mark is the value 1 in the file's own order
    write.string(header.header_text_1);
    write.string(header.header_text_2);
    write.int16(header.header_value);
    write.string(header.header_text_3);
    write.string(header.header_text_4);
    write.string(header.header_text_5);
    write.int16(header.sample_rate);
    write.int16(header.channels);
    write.int16(static_cast<int>(units.size() / 4));
    for (const VoiceUnitData &unit : units) {
        std::string plain;
        if (unit.name.size() > kMaxField || plain_unit_name(unit.name, &plain) != 0) {
            fail(error, "unit name \"" + unit.name + "\" cannot be stored in plain letters");
            return -1;
        }
        if (unit.bytes.size() > kMaxField) {
            fail(error, "unit \"" + unit.name + "\" has " + std::to_string(unit.bytes.size()) +
                            " bytes, more than 32767");
            return -1;
        }
        write.string(plain);
        write.int16(static_cast<int>(unit.bytes.size()));
        write.bytes(unit.bytes.data(), unit.bytes.size());
    }
    *out = std::move(bytes);
    return 0;
}

int voice_write(const char *path, const VoiceFileHeader &header, const std::vector<VoiceUnitData> &units,
                VoiceByteOrder order, std::string *error) {
    std::vector<uint8_t> bytes;
    if (voice_file_bytes(header, units, order, &bytes, error) != 0) return -1;
    FILE *file = path ? std::fopen(path, "wb") : nullptr;
    if (!file) {
        fail(error, std::string("cannot open ") + (path ? path : "(null)") + " for writing");
        return -1;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        fail(error, std::string("cannot write ") + path);
        return -1;
    }
    return 0;
}

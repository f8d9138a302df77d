// Writes voice database files (the format read by voice_file.h) for tests and the voice builder.
//
// Unit names are given in AsciiForm ("vie).t.2", "d!i.0", "xin.0") and stored in the plain-letter
// form that the loader's rewrite turns back into them: ")" after a, e or o is that vowel again,
// "!" is d, "`" f, "." j, "?" r, "'" s, "(" w, "~" x; every other character is stored as it is.
// A name the rewrite cannot produce (for example "ax", "aa" or "t?a") is refused.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class VoiceByteOrder { Little, Big };

struct VoiceFileHeader {
    std::string header_text_1;
    std::string header_text_2;
    int header_value = 0;
    std::string header_text_3;
    std::string header_text_4;
    std::string header_text_5;
    int sample_rate = 16000;
    int channels = 1;
};

struct VoiceUnitData {
    std::string name;            // AsciiForm, e.g. "xin.0"
    std::vector<uint8_t> bytes;  // the unit's Ogg/Speex stream, at most 32767 bytes
};

// The plain-letter form of an AsciiForm name into *plain: 0, or -1 when the loader's rewrite
// cannot produce the name.
int plain_unit_name(const std::string &ascii_name, std::string *plain);

// The whole file as bytes. The units must number 4 x syllables (syllable_count = units / 4, so a
// count that is not a multiple of 4, or above 40000, is refused). Returns 0, or -1 with a reason in
// *error when given: an unrepresentable name, a text or unit over 32767 bytes, a sample rate or
// channel count outside 1..32767, a header value outside the int16 range.
int voice_file_bytes(const VoiceFileHeader &header, const std::vector<VoiceUnitData> &units,
                     VoiceByteOrder order, std::vector<uint8_t> *out, std::string *error = nullptr);

// voice_file_bytes written to path (replacing the file). 0, or -1 with a reason in *error.
int voice_write(const char *path, const VoiceFileHeader &header, const std::vector<VoiceUnitData> &units,
                VoiceByteOrder order, std::string *error = nullptr);

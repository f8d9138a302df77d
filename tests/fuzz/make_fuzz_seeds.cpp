// Writes the fuzzers' seed corpus with the engine's own voice writer and unit encoder, or the
// small voice that the text-pipeline fuzzer and scripts/memcheck speak with.
//
//   make_fuzz_seeds CORPUS_DIR     CORPUS_DIR/{text_pipeline,voice_loader,unit_decoder}/...
//   make_fuzz_seeds --voice PATH
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_entries.h"
#include "support/test_voice.h"
#include "voice/unit_encoder.h"
#include "voice/voice_writer.h"

namespace {

namespace fs = std::filesystem;

bool write_bytes(const fs::path &path, const std::vector<uint8_t> &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::vector<uint8_t> utf16le(const std::u16string &text) {
    std::vector<uint8_t> bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return bytes;
}

const struct {
    const char *name;
    std::u16string text;
} kTexts[] = {
    {"worked_request", u"Xin chào, TP.HCM."},
    {"paragraph", u"Xin chào các bạn. Hôm nay trời đẹp, chúng ta đi học.\nMột hai ba bốn năm."},
    {"marks", u"(chào.) (chào). abc;) abc); ... (( don't 'don't' [a] {b} \"c\"!?"},
    {"numbers", u"123.456.789,05 kg 5kg 3,14 -7 10% 1.000.000.000.000 007 2024"},
    {"characters", u"A B c đ Đ ! @ # … “xin” x\u00A0y ă â ê ô ơ ư"},
    {"lines", u"line one\r\nline two\n\n\nline three\t\ttab\n"},
    {"surrogates", u"xin \U0001F600 chào \xD800 \xDC00x \xDBFF\xDBFF"},
    {"mixed_tokens", u"covid-19 H2O m2 km/h 25°C 3x4 v1.2.3 ABC123def"},
    {"foreign_words", u"hello world computer internet email"},
    {"long_digits", u"12345678901234567890123456789012345678901234567890"},
    {"typographic", u"\u201cT\u00f4i s\u1ebd quay l\u1ea1i.\u201d \u2018a\u2019 \u00abb\u00bb \u2039c\u203a "
                    u"\u0111\u00e2u?\u201d xin\u2026 H\u00e0 N\u1ed9i \u2013 th\u1ee7 \u0111\u00f4 \u2014 (ch\u1edd\u2026) a?\u201d)"},
    {"decomposed", u"To\u0302i co\u0301 25 quye\u0302\u0309n sa\u0301ch. ta\u0302\u0301t vie\u0302\u0323t "
                   u"a\u0323\u0306 \u01d6\u0323 a\u0340 \u0301x \u4e2d\u0301 o\u0301\u0301\u0301\u0301"},
    {"dates_times", u"ng\u00e0y 9/12/2026 09-12-2026 9/12 th\u00e1ng 12/2026 31/02/2026 13/13 10:30 23:59:15 "
                    u"7h30 19h 19g30 25:61 10-15 2020\u20132025 2-1"},
    {"phones", u"0912 345 678, 0912345678 0912.345.678 +84 912 345 678 +84912345678 024 3826 1234 "
               u"091234567 0912 345 678 9"},
    {"money_units", u"1.000.000.000.000 \u0111\u1ed3ng -5 \u22123,5 $100 US$5 \u20ac20 100.000\u0111 50\u20ab "
                    u"100VN\u0110 100.000 \u0111 \u0111\u1ed3ng/l\u00edt %/n\u0103m 100km/h 25\u00b0C -5\u00b0C "
                    u"\u22655 \u00b15% 3\u00d74 \u00bd \u00a9 \u2192 l\u00edt/100km \u0111\u1ed3ng/USD 3\u00d74=12"},
    {"words_around", u"th\u1ebf k\u1ef7 XX, Ch\u01b0\u01a1ng IV, l\u1ea7n th\u1ee9 IV, IIII SN 1990 "
                     u"H\u0110ND S\u0110T ka-ra-\u00f4-k\u00ea \u00f4-t\u00f4 ba-hai-ta "
                     u"qu\u00fd 4/2024 qu\u00fd III k\u1ef7 XI\u2013XII s\u1ed1 12/2020 \u0111\u01b0\u1eddng 3/2 24/7 ng\u00e0y 10-12/12"},
    {"addresses_keys", u"vnexpress.net an@gmail.com https://www.google.com/search?q=abc http://a.vn:8080/ "
                       u"Ctrl+S Alt+F4 Ctrl+Shift+Esc Ctrl++ Esc F12 NVDA+T Insert+F7"},
};

struct UnitSeed {
    const char *name;
    SpeexBand band;
    int sample_rate, channels, quality, frames;
};

const UnitSeed kUnits[] = {
    {"wideband_mono", SpeexBand::Wideband, 16000, 1, 8, 640},
    {"narrowband_mono", SpeexBand::Narrowband, 8000, 1, 3, 400},
    {"wideband_stereo", SpeexBand::Wideband, 16000, 2, 8, 480},
    {"header_22050", SpeexBand::Wideband, 22050, 1, 5, 700},
    {"very_short", SpeexBand::Wideband, 16000, 1, 8, 5},
    {"quality_0", SpeexBand::Wideband, 16000, 1, 0, 1600},
    {"quality_10", SpeexBand::Narrowband, 8000, 1, 10, 800},
};

int write_corpus(const fs::path &root) {
    int failures = 0;
    fs::create_directories(root / "text_pipeline");
    for (const auto &seed : kTexts) failures += !write_bytes(root / "text_pipeline" / seed.name, utf16le(seed.text));

    fs::create_directories(root / "unit_decoder");
    for (const UnitSeed &seed : kUnits) {
        UnitEncoderOptions options;
        options.band = seed.band;
        options.sample_rate = seed.sample_rate;
        options.channels = seed.channels;
        options.quality = seed.quality;
        TestVoiceOptions signal_options;
        signal_options.sample_rate = seed.sample_rate;
        signal_options.channels = seed.channels;
        std::vector<int16_t> samples = test_unit_signal(seed.name, 1000, signal_options);
        samples.resize(static_cast<size_t>(seed.frames) * seed.channels);
        std::vector<uint8_t> bytes;
        std::string error;
        if (encode_unit(samples.data(), seed.frames, options, &bytes, &error) != 0) {
            std::fprintf(stderr, "make_fuzz_seeds: %s: %s\n", seed.name, error.c_str());
            failures++;
            continue;
        }
        failures += !write_bytes(root / "unit_decoder" / seed.name, bytes);
    }

    fs::create_directories(root / "voice_loader");
    struct VoiceSeed {
        const char *name;
        std::vector<std::string> syllables;
        int sample_rate, channels;
        VoiceByteOrder order;
    };
    const VoiceSeed voices[] = {
        {"two_syllables_le", {"xin", "d!i"}, 16000, 1, VoiceByteOrder::Little},
        {"two_syllables_be", {"cha`o", "tro(`i"}, 16000, 1, VoiceByteOrder::Big},
        {"narrowband", {"ba"}, 8000, 1, VoiceByteOrder::Little},
        {"stereo_22050", {"nay"}, 22050, 2, VoiceByteOrder::Little},
        {"no_syllables", {}, 16000, 1, VoiceByteOrder::Little},
    };
    for (const VoiceSeed &seed : voices) {
        TestVoiceOptions options;
        options.sample_rate = seed.sample_rate;
        options.channels = seed.channels;
        options.unit_ms = 25;
        VoiceFileHeader header;
        header.header_text_1 = "seed";
        header.sample_rate = seed.sample_rate;
        header.channels = seed.channels;
        std::vector<VoiceUnitData> units;
        for (const std::string &syllable : seed.syllables) {
            for (int position = 0; position < 4; position++) {
                const std::string name = syllable + "." + std::to_string(position);
                units.push_back({name, test_unit_bytes(name, options.unit_ms, options)});
            }
        }
        std::vector<uint8_t> bytes;
        std::string error;
        if (voice_file_bytes(header, units, seed.order, &bytes, &error) != 0) {
            std::fprintf(stderr, "make_fuzz_seeds: %s: %s\n", seed.name, error.c_str());
            failures++;
            continue;
        }
        failures += !write_bytes(root / "voice_loader" / seed.name, bytes);
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::string(argv[1]) == "--voice") {
        if (write_fuzz_voice(argv[2]) == 0) return 0;
        std::fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", argv[2]);
        return 1;
    }
    if (argc == 2 && argv[1][0] != '-') return write_corpus(argv[1]);
    std::fprintf(stderr, "usage: make_fuzz_seeds CORPUS_DIR | make_fuzz_seeds --voice PATH\n");
    return 2;
}

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

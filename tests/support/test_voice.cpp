// Builds test voices from synthetic voiced sounds.
#include "support/test_voice.h"

#include "voice/unit_encoder.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

// FNV-1a: a stable pitch per name.
uint32_t name_hash(const std::string &name) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : name) hash = (hash ^ c) * 16777619u;
    return hash;
}

UnitEncoderOptions encoder_options(const TestVoiceOptions &options) {
    UnitEncoderOptions encoder;
    encoder.band = options.sample_rate == 8000 ? SpeexBand::Narrowband : SpeexBand::Wideband;
    encoder.sample_rate = options.sample_rate;
    encoder.channels = options.channels;
    encoder.quality = 8;
    return encoder;
}

}  // namespace

int test_unit_frames(int unit_ms, const TestVoiceOptions &options) {
    return static_cast<int>(static_cast<long>(options.sample_rate) * unit_ms / 1000);
}

std::vector<int16_t> test_unit_signal(const std::string &unit_name, int unit_ms, const TestVoiceOptions &options) {
    const int frames = test_unit_frames(unit_ms, options);
    // Speex keeps the band above its high-pass filter best, so the fundamental itself is left out.
    const double pitch = 150.0 + name_hash(unit_name) % 120;
    const double codec_rate = options.sample_rate == 8000 ? 8000.0 : 16000.0;
    std::vector<int16_t> samples(static_cast<size_t>(frames) * options.channels);
    double phase = 0;
    for (int i = test_unit_frames(options.lead_ms, options); i < frames; i++) {
        const double t = i / codec_rate;
        phase += 2 * kPi * pitch * (1.0 + 0.2 * i / (frames + 1.0)) / codec_rate;
        double value = 0;
        for (int h = 2; h < 12; h++) value += std::sin(h * phase) * (h < 6 ? 1.0 : 0.5) / 3;
        value *= 0.75 + 0.25 * std::sin(2 * kPi * 4 * t);
        for (int c = 0; c < options.channels; c++) {
            samples[static_cast<size_t>(i) * options.channels + c] = static_cast<int16_t>(6000 * value * (c ? 0.6 : 1.0));
        }
    }
    return samples;
}

std::vector<uint8_t> test_unit_bytes(const std::string &unit_name, int unit_ms, const TestVoiceOptions &options) {
    const std::vector<int16_t> signal = test_unit_signal(unit_name, unit_ms, options);
    std::vector<uint8_t> bytes;
    std::string error;
    if (encode_unit(signal.data(), test_unit_frames(unit_ms, options), encoder_options(options), &bytes, &error) != 0) {
        ADD_FAILURE() << "encoding " << unit_name << ": " << error;
    }
    return bytes;
}

std::string build_test_voice_timed(const ScratchDir &dir, const std::vector<TestSyllable> &syllables,
                             const TestVoiceOptions &options, const std::string &file_name) {
    VoiceFileHeader header;
    header.header_text_1 = options.name;
    header.header_text_2 = "synthetic";
    header.sample_rate = options.sample_rate;
    header.channels = options.channels;
    std::vector<VoiceUnitData> units;
    for (const TestSyllable &syllable : syllables) {
        for (int position = 0; position < 4; position++) {
            const std::string name = syllable.ascii + "." + std::to_string(position);
            units.push_back({name, test_unit_bytes(name, syllable.unit_ms, options)});
        }
    }
    const std::string path = dir.file(file_name);
    std::string error;
    if (voice_write(path.c_str(), header, units, options.byte_order, &error) != 0) {
        ADD_FAILURE() << "writing test voice: " << error;
        return "";
    }
    return path;
}

std::string build_test_voice(const ScratchDir &dir, const std::vector<std::string> &syllables,
                             const TestVoiceOptions &options, const std::string &file_name) {
    std::vector<TestSyllable> timed;
    for (const std::string &ascii : syllables) timed.push_back({ascii, options.unit_ms});
    return build_test_voice_timed(dir, timed, options, file_name);
}

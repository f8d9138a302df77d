// Cost of one typical unit: a 300 ms voiced syllable, wideband Speex at 22050 Hz, mono.
// decode_unit reports audio_s_per_cpu_s: seconds of audio decoded per second of CPU.
#include "voice/unit_decode.h"
#include "voice/unit_encoder.h"
#include "voice/unit_prosody.h"
#include "voice/unit_synth.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSampleRate = 22050;
constexpr int kFrames = kSampleRate * 3 / 10;

// A vowel-like sound: gliding pitch, a few formant-weighted harmonics, a syllable envelope.
std::vector<int16_t> speech_like_signal() {
    std::vector<int16_t> samples(kFrames);
    double phase = 0;
    for (int i = 0; i < kFrames; i++) {
        const double t = static_cast<double>(i) / kFrames;
        phase += 2 * M_PI * (190.0 - 40.0 * t) / 16000.0;
        double value = 0;
        for (int h = 1; h < 16; h++) {
            const double f = h * 190.0;
            const double formants = std::exp(-std::pow((f - 700) / 250, 2)) + 0.6 * std::exp(-std::pow((f - 1200) / 300, 2)) +
                                    0.3 * std::exp(-std::pow((f - 2500) / 400, 2));
            value += (0.05 + formants) * std::sin(h * phase);
        }
        samples[i] = static_cast<int16_t>(9000 * std::sin(M_PI * t) * value);
    }
    return samples;
}

std::vector<uint8_t> typical_unit() {
    const std::vector<int16_t> signal = speech_like_signal();
    UnitEncoderOptions options;
    options.band = SpeexBand::Wideband;
    options.sample_rate = kSampleRate;
    std::vector<uint8_t> bytes;
    if (encode_unit(signal.data(), kFrames, options, &bytes) != 0) std::fprintf(stderr, "encoding failed\n");
    return bytes;
}

// The decoder's per-unit messages would dominate the measurement; they go to /dev/null here.
void silence_stderr() {
    static bool done = false;
    if (!done && std::freopen("/dev/null", "w", stderr)) done = true;
}

void BM_DecodeUnit(benchmark::State &state) {
    const std::vector<uint8_t> unit = typical_unit();
    static unsigned char pcm[kPcmBufferBytes];
    silence_stderr();
    int written = 0;
    for (auto _ : state) {
        written = decode_unit(unit.data(), static_cast<int>(unit.size()), pcm, kPcmBufferBytes, kSampleRate, 1);
        benchmark::DoNotOptimize(written);
    }
    const double audio_seconds = written / 2.0 / kSampleRate;
    state.counters["unit_bytes"] = static_cast<double>(unit.size());
    state.counters["audio_s_per_cpu_s"] =
        benchmark::Counter(audio_seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeUnit);

void BM_ApplyProsody(benchmark::State &state) {
    const std::vector<int16_t> signal = speech_like_signal();
    static unsigned char out[kPcmBufferBytes];
    const float speed = static_cast<float>(state.range(0) / 100.0);
    const float pitch = static_cast<float>(state.range(1) / 100.0);
    int written = 0;
    for (auto _ : state) {
        written = apply_prosody(reinterpret_cast<const unsigned char *>(signal.data()), kFrames * 2, out,
                                kPcmBufferBytes, speed, pitch, 1.0f, 1.0f, 1, 0, kSampleRate, 1);
        benchmark::DoNotOptimize(written);
    }
    state.counters["out_bytes"] = written;
    state.counters["audio_s_per_cpu_s"] =
        benchmark::Counter(kFrames / static_cast<double>(kSampleRate) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ApplyProsody)->Args({100, 100})->Args({200, 100})->Args({50, 100})->Args({100, 150});

}  // namespace

BENCHMARK_MAIN();

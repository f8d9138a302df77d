// Synthetic syllables and the measures the audio tests take of them.
#include "support/synthetic_syllable.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

#include "voice/unit_prosody.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

int ms_frames(int ms, int sample_rate) { return static_cast<int>(static_cast<long>(ms) * sample_rate / 1000); }

}  // namespace

int synthetic_speech_start(const SyntheticSyllable &s) { return ms_frames(s.lead_ms, s.sample_rate); }

int synthetic_vowel_start(const SyntheticSyllable &s) {
    return synthetic_speech_start(s) + ms_frames(s.burst_ms, s.sample_rate);
}

double synthetic_pitch(const SyntheticSyllable &s, double p) {
    return s.pitch_start + (s.pitch_end - s.pitch_start) * std::clamp(p, 0.0, 1.0);
}

std::vector<int16_t> synthetic_syllable(const SyntheticSyllable &s) {
    const int lead = ms_frames(s.lead_ms, s.sample_rate);
    const int burst = ms_frames(s.burst_ms, s.sample_rate);
    const int vowel = ms_frames(s.vowel_ms, s.sample_rate);
    const int tail = ms_frames(s.tail_ms, s.sample_rate);
    std::vector<double> mono(static_cast<size_t>(lead), 0.0);
    std::mt19937 random(s.seed);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    for (int i = 0; i < burst; ++i) mono.push_back(s.burst_level * noise(random));
    // Harmonics of the gliding pitch falling off as a glottal source does, under two formants; the
    // amplitude rises and falls.
    double phase = 0;
    for (int i = 0; i < vowel; ++i) {
        const double p = static_cast<double>(i) / vowel;
        const double pitch = synthetic_pitch(s, p);
        phase += 2 * kPi * pitch / s.sample_rate;
        double value = 0;
        for (int h = 1; h * pitch < 4000; ++h) {
            const double f = h * pitch;
            const double formants = 1 / (1 + std::pow((f - 700) / 150, 2)) + 0.5 / (1 + std::pow((f - 1800) / 200, 2));
            value += (1.0 / h + formants) * std::sin(h * phase);
        }
        const double envelope = std::min(1.0, std::min(p, 1 - p) * 10);
        mono.push_back(s.vowel_level * 0.3 * envelope * value);
    }
    mono.resize(mono.size() + static_cast<size_t>(tail), 0.0);
    std::vector<int16_t> samples;
    for (double v : mono) {
        for (int c = 0; c < s.channels; ++c) samples.push_back(static_cast<int16_t>(std::lround(v * (c ? 0.6 : 1.0))));
    }
    apply_edge_fades(samples.data(), static_cast<int>(samples.size()), s.sample_rate, s.channels);
    return samples;
}

double measure_pitch(const std::vector<int16_t> &samples, int channels, int sample_rate, int frame) {
    const int min_lag = sample_rate / 400;
    const int max_lag = sample_rate / 80;
    const int frames = static_cast<int>(samples.size()) / channels;
    if (frame < 0 || frame + 2 * max_lag + 1 > frames) return 0;
    auto at = [&](int i) { return static_cast<double>(samples[static_cast<size_t>(i) * channels]); };
    // One lag's stretch against the next: a tone gliding fast barely changes over two periods.
    std::vector<double> score(static_cast<size_t>(max_lag + 2), 0.0);
    double best = 0;
    for (int lag = min_lag; lag <= max_lag + 1; ++lag) {
        double xy = 0, xx = 0, yy = 0;
        for (int i = 0; i < lag; ++i) {
            const double x = at(frame + i), y = at(frame + i + lag);
            xy += x * y, xx += x * x, yy += y * y;
        }
        score[static_cast<size_t>(lag)] = xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
        if (lag <= max_lag) best = std::max(best, score[static_cast<size_t>(lag)]);
    }
    if (best < 0.7) return 0;
    for (int lag = min_lag + 1; lag <= max_lag; ++lag) {
        const double here = score[static_cast<size_t>(lag)];
        if (here < 0.9 * best || here < score[static_cast<size_t>(lag - 1)] || here < score[static_cast<size_t>(lag + 1)])
            continue;
        // Parabolic interpolation between the neighbouring lags.
        const double a = score[static_cast<size_t>(lag - 1)], c = score[static_cast<size_t>(lag + 1)];
        const double shift = (a - 2 * here + c) != 0 ? 0.5 * (a - c) / (a - 2 * here + c) : 0;
        return sample_rate / (lag + shift);
    }
    return 0;
}

int largest_jump(const std::vector<int16_t> &samples, int channels, int from, int to) {
    const int frames = static_cast<int>(samples.size()) / channels;
    int largest = 0;
    for (int i = std::max(from, 1); i < std::min(to, frames); ++i) {
        for (int c = 0; c < channels; ++c) {
            const int d = samples[static_cast<size_t>(i) * channels + c] - samples[static_cast<size_t>(i - 1) * channels + c];
            largest = std::max(largest, std::abs(d));
        }
    }
    return largest;
}

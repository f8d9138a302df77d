// Speech span against the unit's own noise floor, and the leading trim.
#include "voice/unit_silence.h"

#include <algorithm>
#include <cstring>

#include "voice/pcm_samples.h"

namespace {

// 12 dB above the floor, as a ratio of mean squares.
constexpr double kSpeechAboveFloor = 16.0;
// -72 dBFS: codec noise in a unit cut to digital silence stays below it.
constexpr double kSpeechMinimumRms = 8.0;
// Within 20 dB of the loudest window is speech whatever the floor: a unit that sounds from its
// first frame to its last has no floor but its faded edges.
constexpr double kSpeechBelowLoudest = 100.0;

}  // namespace

UnitSpeechSpan unit_speech_span(const unsigned char *pcm, int frames, int sample_rate, int channels) {
    UnitSpeechSpan span;
    span.first_frame = std::max(frames, 0);
    if (!pcm || frames <= 0 || sample_rate <= 0 || channels <= 0) return span;
    const int window = std::max(1, sample_rate / 1000);
    const int windows = (frames + window - 1) / window;
    // Mean square of window w (the last one may be short); computed twice rather than stored, so
    // that no unit needs a buffer of its own.
    auto level = [&](int w, bool *whole) {
        const int start = w * window;
        const int end = std::min(frames, start + window);
        double sum = 0;
        for (long i = static_cast<long>(start) * channels; i < static_cast<long>(end) * channels; ++i) {
            const double s = load_sample(pcm, i);
            sum += s * s;
        }
        *whole = end - start == window;
        return sum / (static_cast<double>(end - start) * channels);
    };
    double floor = -1, loudest = 0;
    bool whole = false;
    for (int w = 0; w < windows; ++w) {
        const double l = level(w, &whole);
        // A short last window says little about the floor.
        if ((whole || windows == 1) && (floor < 0 || l < floor)) floor = l;
        loudest = std::max(loudest, l);
    }
    const double threshold = std::min(std::max(floor * kSpeechAboveFloor, kSpeechMinimumRms * kSpeechMinimumRms),
                                      loudest / kSpeechBelowLoudest);
    int first = -1, last = -1;
    for (int w = 0; w < windows; ++w) {
        if (level(w, &whole) <= threshold) continue;
        if (first < 0) first = w;
        last = w;
    }
    if (first < 0) return span;
    span.first_frame = first * window;
    span.end_frame = std::min(frames, (last + 1) * window);
    return span;
}

int trim_unit_lead(unsigned char *pcm, int bytes, int sample_rate, int channels) {
    if (!pcm || bytes <= 0 || sample_rate <= 0 || channels <= 0) return std::max(bytes, 0);
    const int frame_bytes = 2 * channels;
    const int frames = bytes / frame_bytes;
    const UnitSpeechSpan span = unit_speech_span(pcm, frames, sample_rate, channels);
    const int keep = sample_rate * kTrimmedLeadMs / 1000;
    if (span.end_frame == 0 || span.first_frame <= keep) return bytes;
    const int cut = span.first_frame - keep;
    const int remaining = bytes - cut * frame_bytes;
    std::memmove(pcm, pcm + static_cast<size_t>(cut) * frame_bytes, static_cast<size_t>(remaining));
    // The new first frame sits somewhere in the floor's noise: ramp it in as the unit's own start was.
    const int fade = std::min(sample_rate / 800, keep);
    for (int i = 0; i < fade; ++i) {
        const double factor = static_cast<double>(i) / fade;
        for (int c = 0; c < channels; ++c) {
            scale_sample(pcm, static_cast<long>(i) * channels + c, factor);
        }
    }
    return remaining;
}

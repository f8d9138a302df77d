// Pause lengths from times.
#include "scheduler/pauses.h"

#include <algorithm>

namespace {

// Far past any pause parameter (4000 ms), and small enough that the products below stay in 64 bits.
constexpr int64_t kLongestPauseMicroseconds = 1000000000;

// Bytes of a pause of us microseconds at normal speed.
int64_t pause_bytes_us(int64_t us, int32_t clock, int64_t speed_ppm, int sample_rate, int channels) {
    const bool voice_clock = clock == kPauseClockVoice && sample_rate > 0 && channels > 0;
    const int64_t per_second =
        voice_clock ? int64_t{sample_rate} * channels * 2 : kClassicPauseBytesPerSecond;
    us = std::clamp<int64_t>(us, 0, kLongestPauseMicroseconds);
    int64_t bytes = us * per_second / std::max<int64_t>(speed_ppm, 1);
    bytes += bytes & 1;
    // Whole frames, so that a two-channel voice keeps its channels in step after a pause.
    const int64_t frame_bytes = 2 * int64_t{std::max(1, channels)};
    return (bytes + frame_bytes - 1) / frame_bytes * frame_bytes;
}

}  // namespace

int64_t pause_bytes(int32_t ms, int32_t clock, int64_t speed_ppm, int sample_rate, int channels) {
    return pause_bytes_us(int64_t{ms} * 1000, clock, speed_ppm, sample_rate, channels);
}

int64_t line_end_pause_bytes(int32_t ms, int32_t clock, int64_t speed_ppm, int sample_rate, int channels) {
    return 2 * pause_bytes_us(int64_t{ms} * 500, clock, speed_ppm, sample_rate, channels);
}

int64_t consonant_pause_bytes(int32_t percent, int32_t clock, int64_t speed_ppm, int sample_rate, int channels) {
    return pause_bytes_us(int64_t{percent} * kConsonantPauseMs * 10, clock, speed_ppm, sample_rate, channels);
}

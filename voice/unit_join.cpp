// Overlapping the held end of one unit with the start of the next.
#include "voice/unit_join.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "voice/pcm_samples.h"
#include "voice/unit_silence.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// The weight of the next unit at frame i of the overlap: 0 before the handover, 1 after it, a
// raised cosine across its width.
double next_weight(int i, int start, int width) {
    if (i < start) return 0;
    if (i >= start + width) return 1;
    return 0.5 - 0.5 * std::cos(kPi * (i - start + 0.5) / width);
}

}  // namespace

int join_frames(int join_ms, int sample_rate, double speed_factor) {
    if (join_ms <= 0 || sample_rate <= 0 || !(speed_factor > 0)) return 0;
    const double frames = std::lround(static_cast<double>(join_ms) * sample_rate / 1000.0 / speed_factor);
    return static_cast<int>(std::min<double>(frames, kJoinMaxHoldFrames));
}

int join_held_bytes(const UnitJoin &join) { return join.tail_frames * join.channels * 2; }

void join_discard(UnitJoin &join) {
    join.tail_frames = 0;
    join.quiet_frames = 0;
}

int join_flush(UnitJoin &join, unsigned char *dest, int room) {
    const int frame_bytes = 2 * std::max(join.channels, 1);
    const int bytes = dest && room > 0 ? std::min(join_held_bytes(join), room / frame_bytes * frame_bytes) : 0;
    if (bytes > 0) std::memcpy(dest, join.tail, static_cast<size_t>(bytes));
    join_discard(join);
    return bytes;
}

int join_unit(UnitJoin &join, unsigned char *unit, int unit_bytes, int capacity, int hold_frames, int sample_rate,
              int channels) {
    if (!unit || unit_bytes <= 0 || channels <= 0) return std::max(unit_bytes, 0);
    if (channels != join.channels || unit_bytes + join_held_bytes(join) > capacity) join_discard(join);
    join.channels = channels;
    if (channels > kJoinMaxChannels) {
        join_discard(join);
        return unit_bytes;
    }
    const int frame_bytes = 2 * channels;
    const int frames = unit_bytes / frame_bytes;
    const UnitSpeechSpan span = unit_speech_span(unit, frames, sample_rate, channels);
    const int held = join.tail_frames;
    const int overlap = std::min(held, frames / 2);

    if (held > 0) {
        // Overlap frame i is tail frame held - overlap + i over unit frame i. The previous unit is
        // quiet from frame `quiet_from`, this one speaks from frame `speech_from`.
        const int quiet_from = overlap - std::min(join.quiet_frames, overlap);
        const int speech_from = std::min(span.first_frame, overlap);
        int start = std::min(quiet_from, speech_from);
        int width = std::abs(speech_from - quiet_from);
        // Never a handover shorter than 1 ms: a sudden one is a click, and "quiet" is only quiet
        // next to the unit's loudest.
        const int shortest = std::min(overlap, std::max(1, sample_rate / 1000));
        if (width < shortest) {
            start = std::clamp(start - (shortest - width) / 2, 0, overlap - shortest);
            width = shortest;
        }
        int16_t *mixed = join.tail + static_cast<long>(held - overlap) * channels;
        for (int i = 0; i < overlap; ++i) {
            const double w = next_weight(i, start, width);
            for (int c = 0; c < channels; ++c) {
                const long at = static_cast<long>(i) * channels + c;
                mixed[at] = static_cast<int16_t>(std::lround(mixed[at] * (1 - w) + load_sample(unit, at) * w));
            }
        }
        // The unit's frames past the overlap move up behind the held end, which goes in front.
        std::memmove(unit + static_cast<size_t>(held) * frame_bytes, unit + static_cast<size_t>(overlap) * frame_bytes,
                     static_cast<size_t>(frames - overlap) * frame_bytes);
        std::memcpy(unit, join.tail, static_cast<size_t>(held) * frame_bytes);
    }
    const int total = held + frames - overlap;
    join_discard(join);

    // Hold back this unit's end, never reaching into the overlap just made.
    const int hold = std::clamp(std::min(hold_frames, frames / 2), 0, kJoinMaxHoldFrames);
    if (hold > 0) {
        std::memcpy(join.tail, unit + static_cast<size_t>(total - hold) * frame_bytes,
                    static_cast<size_t>(hold) * frame_bytes);
        join.tail_frames = hold;
        join.quiet_frames = std::min(hold, span.end_frame == 0 ? frames : frames - span.end_frame);
    }
    return (total - hold) * frame_bytes;
}

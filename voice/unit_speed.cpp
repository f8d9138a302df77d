// Fast units: a shortened lead, the onset as recorded, the rest in one sonic stream.
#include "voice/unit_speed.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <sonic.h>

#include "voice/unit_prosody.h"
#include "voice/unit_silence.h"

namespace {

constexpr int kScratchBytes = 100000;
// The sped-up unit before it is cut to the limit; only the synthesis worker calls speed_unit.
unsigned char g_sped[kScratchBytes];

constexpr int kOnsetCopyMs = 10;
// The copied onset takes at most this share of what follows the lead, leaving the rest room.
constexpr int kOnsetShareDivisor = 3;
constexpr int kBlockSamples = 2048;
// 100 ms of silence outlasts everything sonic holds back (two periods of its lowest pitch).
constexpr int kFlushSilenceDivisor = 10;
// sonic searches pitch periods up to sample_rate / 65 samples and divides by that period.
constexpr int kSonicMinSampleRate = 65;
// Clamp for the three inputs, so that their product cannot overflow.
constexpr int32_t kPercentBound = 100000;

// One sonic stream over frames of in: the first `kept` frames come out unchanged (at speed 1 sonic
// copies its input straight through, and the speed change after them starts from the next frame,
// in phase), the rest at speed. The output is cut at kept + lround(rest / speed) frames, the
// silence pushed after the input filling what sonic still held back. Returns the frames written
// at out (at most capacity), or -1 when sonic cannot make its stream.
int sonic_pass(const unsigned char *in, int frames, int kept, double speed, unsigned char *out, int capacity,
               int sample_rate, int channels) {
    sonicStream stream = sonicCreateStream(sample_rate, channels);
    if (!stream) return -1;
    sonicSetQuality(stream, 0);
    const int frame_bytes = 2 * channels;
    const int block = std::max(1, kBlockSamples / channels);
    const long wanted = std::min<long>(capacity, kept + std::lround((frames - kept) / speed));
    short buffer[kBlockSamples];
    long written = 0;
    auto drain = [&]() {
        int got;
        while ((got = sonicReadShortFromStream(stream, buffer, block)) > 0) {
            const long n = std::min<long>(got, wanted - written);
            if (n > 0) std::memcpy(out + written * frame_bytes, buffer, static_cast<size_t>(n) * frame_bytes);
            written += std::max(n, 0L);
        }
    };
    // in, then silence, a block at a time; the speed changes once the kept frames are in.
    const int silence = frames > 0 ? sample_rate / kFlushSilenceDivisor : 0;
    bool ok = true;
    for (int at = 0; at < frames + silence && ok;) {
        const int end = at < kept ? kept : frames + silence;
        const int n = std::min(block, end - at);
        if (at == kept) sonicSetSpeed(stream, static_cast<float>(speed));
        const int real = std::clamp(frames - at, 0, n);
        if (real > 0) std::memcpy(buffer, in + static_cast<size_t>(at) * frame_bytes, static_cast<size_t>(real) * frame_bytes);
        std::memset(buffer + real * channels, 0, static_cast<size_t>(n - real) * frame_bytes);
        ok = sonicWriteShortToStream(stream, buffer, n) != 0;
        drain();
        at += n;
    }
    sonicFlushStream(stream);
    drain();
    sonicDestroyStream(stream);
    // A frame lost to rounding: silence after the end.
    if (written < wanted) std::memset(out + written * frame_bytes, 0, static_cast<size_t>(wanted - written) * frame_bytes);
    return static_cast<int>(wanted);
}

// Writes frames of src at frame `at` of dest, as far as limit allows.
void put_frames(unsigned char *dest, int limit, int at, const unsigned char *src, int frames, int frame_bytes) {
    const long n = std::min<long>(frames, limit / frame_bytes - static_cast<long>(at));
    if (n > 0) std::memcpy(dest + static_cast<size_t>(at) * frame_bytes, src, static_cast<size_t>(n) * frame_bytes);
}

}  // namespace

int64_t speed_ppm(int32_t rate, int32_t speed_percent, int32_t request_rate_percent) {
    auto bounded = [](int32_t v) { return static_cast<int64_t>(std::clamp(v, 1, kPercentBound)); };
    const int64_t ppm = bounded(rate) * bounded(speed_percent) * bounded(request_rate_percent);
    return std::clamp(ppm, kSpeedPpmMin, kSpeedPpmMax);
}

double speed_factor(int64_t ppm) { return static_cast<double>(ppm) / static_cast<double>(kSpeedPpmNormal); }

int speed_unit(const unsigned char *pcm, int count, unsigned char *dest, int limit, double factor, int sample_rate,
               int channels) {
    if (!(factor > 0) || !std::isfinite(factor) || channels <= 0 || sample_rate < kSonicMinSampleRate) return -1;
    if (factor <= 1.0)
        return apply_prosody(pcm, count, dest, limit, static_cast<float>(factor), 1.0f, 1.0f, 1.0f, 1, 0, sample_rate,
                             channels);
    if (!pcm || count < 0) count = 0;
    if (!dest || limit < 0) limit = 0;
    const int frame_bytes = 2 * channels;
    const int frames = std::min(count, kScratchBytes) / frame_bytes;
    const int target = static_cast<int>(std::lround(frames / factor));
    if (target <= 0) return 0;

    // The lead shortened by the factor (it is quiet: its end stands for all of it), then the onset
    // kept; a unit without speech, or too short to spare the onset, is all sped up alike.
    const UnitSpeechSpan span = unit_speech_span(pcm, frames, sample_rate, channels);
    const int lead = span.end_frame == 0 ? 0 : span.first_frame;
    const int lead_out = static_cast<int>(std::lround(lead / factor));
    const int onset = std::min(sample_rate * kOnsetCopyMs / 1000, (target - lead_out) / kOnsetShareDivisor);
    const int skipped = lead - lead_out;
    const int kept = span.end_frame == 0 ? 0 : lead_out + std::max(onset, 0);
    const int in_frames = frames - skipped;
    const unsigned char *from_lead = pcm + static_cast<size_t>(skipped) * frame_bytes;
    if (kept >= target || in_frames - kept <= target - kept) {
        // Nothing left to speed up: the unit's start as it is.
        put_frames(dest, limit, 0, from_lead, std::min(target, in_frames), frame_bytes);
    } else {
        const double rest_speed = static_cast<double>(in_frames - kept) / (target - kept);
        if (sonic_pass(from_lead, in_frames, kept, rest_speed, g_sped, kScratchBytes / frame_bytes, sample_rate,
                       channels) < 0)
            return -1;
        put_frames(dest, limit, 0, g_sped, target, frame_bytes);
    }
    const int written = std::min(target, limit / frame_bytes) * frame_bytes;
    apply_edge_fades_bytes(dest, written / 2, sample_rate, channels);
    return written;
}

int64_t speed_unit_uncut_limit(int count, double factor, int channels) {
    if (!(factor > 0) || !std::isfinite(factor) || channels <= 0) return INT64_MAX;
    if (factor <= 1.0) return prosody_uncut_limit(count, static_cast<float>(factor), 1.0f, channels);
    const int frame_bytes = 2 * channels;
    const int frames = std::clamp(count, 0, kScratchBytes) / frame_bytes;
    return std::lround(frames / factor) * int64_t{frame_bytes};
}

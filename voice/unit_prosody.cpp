// Drives sonic in blocks of 2048 samples and applies the edge fades.
#include "voice/unit_prosody.h"

#include <sonic.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "voice/pcm_samples.h"

namespace {

constexpr int kBlockSamples = 2048;
// sonic searches pitch periods up to sample_rate / 65 samples and divides by that period; below
// 65 Hz there is no period at all and it divides by zero.
constexpr int kSonicMinSampleRate = 65;
// 100 ms of silence outlasts everything sonic holds back (two periods of its lowest pitch).
constexpr int kFlushSilenceDivisor = 10;

// The output's length: only speed and rate change the duration.
long expected_output_bytes(int count, float speed, float rate, int channels) {
    const int input_frames = (count / channels) / 2;
    return std::lround(input_frames / (static_cast<double>(speed) * rate)) * (2 * channels);
}

}  // namespace

int64_t prosody_uncut_limit(int count, float speed, float rate, int channels) {
    if (channels <= 0 || channels > kBlockSamples || !(speed > 0 && rate > 0)) return INT64_MAX;
    // What was written stays below the expected length while sonic is read, a read at a time of at
    // most a block; the limit is only ever compared with a read's end.
    return expected_output_bytes(count < 0 ? 0 : count, speed, rate, channels) + int64_t{2} * kBlockSamples;
}

void apply_edge_fades_bytes(unsigned char *pcm, int count, int sample_rate, int channels) {
    if (!pcm || channels <= 0 || sample_rate <= 0 || count <= 0) return;
    const int fade_frames = sample_rate / 800;
    const int frames = count / channels;
    if (fade_frames == 0 || frames < 2 * fade_frames) return;
    for (int c = 0; c < channels; c++) {
        for (int i = 0; i < fade_frames; i++) {
            const double factor = static_cast<double>(i) / fade_frames;
            scale_sample(pcm, static_cast<long>(i) * channels + c, factor);
            scale_sample(pcm, static_cast<long>(frames - 1 - i) * channels + c, factor);
        }
    }
}

void apply_edge_fades(int16_t *samples, int count, int sample_rate, int channels) {
    apply_edge_fades_bytes(reinterpret_cast<unsigned char *>(samples), count, sample_rate, channels);
}

bool prosody_is_identity(float speed, float pitch, float rate, float volume, int sample_rate, int channels) {
    // sonic copies its input straight through at these factors, and the output is cut at the input's length.
    return speed == 1.0f && pitch == 1.0f && rate == 1.0f && volume == 1.0f && sample_rate >= kSonicMinSampleRate &&
           channels >= 1 && channels <= kBlockSamples;
}

int apply_prosody(const unsigned char *pcm, int count, unsigned char *dest, int limit, float speed, float pitch,
                  float rate, float volume, int chord_pitch, int quality, int sample_rate, int channels) {
    // A frame must fit a block: with more channels than that, no whole frame could be passed on.
    if (sample_rate < kSonicMinSampleRate || channels <= 0 || channels > kBlockSamples) return -1;
    if (!(speed > 0 && pitch > 0 && rate > 0) || !std::isfinite(speed * pitch * rate * volume)) return -1;
    if (!pcm || count < 0) count = 0;
    if (!dest || limit < 0) limit = 0;
    sonicStream stream = sonicCreateStream(sample_rate, channels);
    if (!stream) return -1;
    sonicSetSpeed(stream, speed);
    sonicSetPitch(stream, pitch);
    sonicSetRate(stream, rate);
    sonicSetVolume(stream, volume);
    sonicSetChordPitch(stream, chord_pitch);
    sonicSetQuality(stream, quality);

    const int block = kBlockSamples / channels;  // frames per block
    const int frame_bytes = 2 * channels;
    const int input_frames = (count / channels) / 2;
    // sonic's flush misjudges what a changed pitch still holds back and cuts the tail, so the
    // input is followed by silence that pushes every real sample through, and the output is cut
    // at the length the input calls for.
    const long expected_bytes = expected_output_bytes(count, speed, rate, channels);
    const long output_room = std::min<long>(expected_bytes, limit);
    int silence_frames = sample_rate / kFlushSilenceDivisor;
    short input[kBlockSamples];
    short output[kBlockSamples];
    int remaining = count;
    int written = 0;
    bool full = false;
    // Reads everything sonic has ready; false once the destination is full.
    auto drain = [&]() {
        for (;;) {
            const int frames = sonicReadShortFromStream(stream, output, block);
            if (frames <= 0) return true;
            long bytes = static_cast<long>(frames) * frame_bytes;
            if (bytes > limit - written) return false;
            if (bytes > output_room - written) bytes = output_room - written;  // the silence after the end
            std::memcpy(dest + written, output, static_cast<size_t>(bytes));
            written += static_cast<int>(bytes);
            if (written >= output_room) return false;
        }
    };
    while (!full) {
        int frames = (remaining / channels) / 2;
        if (frames > block) frames = block;
        if (frames > 0) {
            const int bytes = frames * frame_bytes;
            std::memcpy(input, pcm + (count - remaining), static_cast<size_t>(bytes));
            remaining -= bytes;
        } else if (silence_frames > 0 && input_frames > 0) {
            frames = std::min(silence_frames, block);
            silence_frames -= frames;
            std::memset(input, 0, static_cast<size_t>(frames) * frame_bytes);
        } else {
            sonicFlushStream(stream);
            full = !drain();
            break;
        }
        if (!sonicWriteShortToStream(stream, input, frames)) break;  // sonic ran out of memory
        full = !drain();
    }
    sonicDestroyStream(stream);
    if (written > 0) apply_edge_fades_bytes(dest, written / 2, sample_rate, channels);
    return written;
}

// Drives sonic in blocks of 2048 samples and applies the edge fades.
#include "voice/unit_prosody.h"

#include <sonic.h>

#include <cstring>

namespace {

constexpr int kBlockSamples = 2048;

int16_t load_sample(const unsigned char *pcm, long index) {
    int16_t value;
    std::memcpy(&value, pcm + 2 * index, 2);
    return value;
}

void store_sample(unsigned char *pcm, long index, int16_t value) { std::memcpy(pcm + 2 * index, &value, 2); }

void scale_sample(unsigned char *pcm, long index, double factor) {
    // The conversion truncates toward zero.
    store_sample(pcm, index, static_cast<int16_t>(load_sample(pcm, index) * factor));
}

}  // namespace

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

int apply_prosody(const unsigned char *pcm, int count, unsigned char *dest, int limit, float speed, float pitch,
                  float rate, float volume, int chord_pitch, int quality, int sample_rate, int channels) {
    if (sample_rate <= 0 || channels <= 0) return -1;
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
    short input[kBlockSamples];
    short output[kBlockSamples];
    int remaining = count;
    int written = 0;
    bool full = false;
    // Reads everything sonic has ready; false once the destination is full.
    auto drain = [&]() {
        if (block == 0) return true;
        for (;;) {
            const int frames = sonicReadShortFromStream(stream, output, block);
            if (frames <= 0) return true;
            const int bytes = frames * frame_bytes;
            if (bytes > limit - written) return false;
            std::memcpy(dest + written, output, static_cast<size_t>(bytes));
            written += bytes;
        }
    };
    while (!full) {
        int frames = (remaining / channels) / 2;
        if (frames > block) frames = block;
        if (frames == 0) {
            sonicFlushStream(stream);
            full = !drain();
            break;
        }
        const int bytes = frames * frame_bytes;
        std::memcpy(input, pcm + (count - remaining), static_cast<size_t>(bytes));
        remaining -= bytes;
        if (!sonicWriteShortToStream(stream, input, frames)) break;  // sonic ran out of memory
        full = !drain();
    }
    sonicDestroyStream(stream);
    if (written > 0) apply_edge_fades_bytes(dest, written / 2, sample_rate, channels);
    return written;
}

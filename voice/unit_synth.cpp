// Fetches, decodes and reshapes one unit through the process-wide unit and PCM buffers.
#include "voice/unit_synth.h"

#include "voice/diagnostics.h"
#include "voice/unit_decode.h"
#include "voice/unit_lookup.h"
#include "voice/unit_prosody.h"
#include "voice/voice_file.h"

#include <cstdio>

namespace {

// Reused by every unit; only the synthesis worker calls synthesize_unit.
unsigned char g_unit_buffer[kUnitBufferBytes];
unsigned char g_pcm_buffer[kPcmBufferBytes];

// Factors sonic handles sanely; the host may store any pitch or volume.
constexpr int kRatePercentMin = 50, kRatePercentMax = 200;
constexpr int kPitchPercentMin = 25, kPitchPercentMax = 400;
constexpr int kVolumePercentMin = 0, kVolumePercentMax = 400;

float percent_factor(int value, int low, int high) {
    if (value < low) value = low;
    if (value > high) value = high;
    return static_cast<float>(value / 100.0);
}

}  // namespace

int synthesize_unit(const char *unit_name, unsigned char *dest, int limit, int rate, int pitch, int volume) {
    const int sample_rate = voice_sample_rate();
    const int channels = voice_channels();
    const int size = get_unit_audio(unit_name, g_unit_buffer, kUnitBufferBytes);
    if (size < 0) return -1;
    const float speed = percent_factor(rate, kRatePercentMin, kRatePercentMax);
    const float pitch_factor = percent_factor(pitch, kPitchPercentMin, kPitchPercentMax);
    const float volume_factor = percent_factor(volume, kVolumePercentMin, kVolumePercentMax);
    // At normal rate, pitch and volume the prosody step changes nothing but the fades, and a
    // destination with room for any decoded unit would never cut it: decode straight into it.
    const bool direct = dest && limit >= kPcmBufferBytes &&
                        prosody_is_identity(speed, pitch_factor, 1.0f, volume_factor, sample_rate, channels);
    unsigned char *pcm = direct ? dest : g_pcm_buffer;
    SpeexStreamSetup stream;
    const int decoded = decode_unit(g_unit_buffer, size, pcm, kPcmBufferBytes, &stream);
    if (decoded <= 0) return decoded;
    if (stream.stream_channels != channels) {
        if (diagnostics_enabled())
            std::fprintf(stderr, "Unit %s has %d channels, the voice %d\n", unit_name, stream.stream_channels, channels);
        return -1;
    }
    if (direct) {
        apply_edge_fades_bytes(dest, decoded / 2, sample_rate, channels);
        return decoded;
    }
    // A unit recorded at another rate than the voice declares plays at the voice's rate.
    return apply_prosody(g_pcm_buffer, decoded, dest, limit, speed, pitch_factor, 1.0f, volume_factor, 1, 0,
                         sample_rate, channels);
}

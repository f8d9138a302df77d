// Fetches and decodes one unit through the process-wide unit and PCM buffers, keeping it in the
// voice's cache, and reshapes it.
#include "voice/unit_synth.h"

#include "voice/diagnostics.h"
#include "voice/unit_cache.h"
#include "voice/unit_decode.h"
#include "voice/unit_lookup.h"
#include "voice/unit_prosody.h"
#include "voice/unit_speed.h"
#include "voice/voice_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Reused by every unit decoded; only the synthesis worker calls decoded_unit.
unsigned char g_unit_buffer[kUnitBufferBytes];
unsigned char g_pcm_buffer[kPcmBufferBytes];
// A fast unit with its pitch or volume changed, before it is sped up.
unsigned char g_shaped_buffer[kPcmBufferBytes];

// Factors sonic handles sanely; the host may store any pitch or volume.
constexpr int kRatePercentMin = 50, kRatePercentMax = 200;
constexpr int kPitchPercentMin = 25, kPitchPercentMax = 400;
constexpr int kVolumePercentMin = 0, kVolumePercentMax = 400;
// sonic's chord pitch adds up overlapping pitch periods; lowering the pitch below this much of
// the recording's, the sum passes 16 bits and wraps (a click): from 33 percent down with the
// default voice, and with steps above the voice's own up to 38 percent. Below it, sonic's
// ordinary pitch change is used.
constexpr int kChordPitchPercentMin = 40;

float percent_factor(int value, int low, int high) {
    if (value < low) value = low;
    if (value > high) value = high;
    return static_cast<float>(value / 100.0);
}

int chord_pitch_for(int pitch) {
    return std::clamp(pitch, kPitchPercentMin, kPitchPercentMax) >= kChordPitchPercentMin ? 1 : 0;
}

// The two ways a unit is shaped: SetRate's one sonic pass, and a speed in millionths.
enum ShapeSteps { kShapedAtRate = 0, kShapedAtSpeed = 1 };

// Everything the shaping reads besides the unit, held as the shaping holds it.
ShapeKey shape_key(ShapeSteps steps, int64_t speed, int pitch, int volume, const VoiceDatabase &voice) {
    return {steps, speed, std::clamp(pitch, kPitchPercentMin, kPitchPercentMax),
            std::clamp(volume, kVolumePercentMin, kVolumePercentMax), voice.sample_rate, voice.channels};
}

// Copies the unit's audio after prosody to dest when its cache keeps it for this key and the
// limit would have cut none of it; returns the bytes, or -1 when it must be made.
int copy_kept_shape(const VoiceDatabase &voice, const DecodedUnit &unit, const ShapeKey &key, unsigned char *dest,
                    int limit) {
    CachedShape shape;
    if (unit.kept_position < 0 || !dest || !unit_cache_find_shape(voice.cache, unit.kept_position, key, &shape) ||
        limit < shape.uncut_limit)
        return -1;
    std::memcpy(dest, shape.pcm, static_cast<size_t>(shape.bytes));
    return shape.bytes;
}

// Keeps the audio just made at dest with its unit, when the limit cut none of it.
void keep_shape(const VoiceDatabase &voice, const DecodedUnit &unit, const ShapeKey &key, const unsigned char *dest,
                int written, int limit, int64_t uncut_limit) {
    if (unit.kept_position < 0 || !dest || written <= 0 || limit < uncut_limit) return;
    unit_cache_add_shape(voice.cache, unit.kept_position, key, dest, written, uncut_limit);
}

}  // namespace

int decoded_unit(const char *unit_name, DecodedUnit *unit) {
    const VoiceDatabase *voice = current_voice();
    if (!voice || !unit_name || !unit) return -1;
    const int channels = voice->channels;
    const int position = cst_find_word(voice, unit_name);
    if (position < 0) return -1;
    CachedUnit cached;
    if (unit_cache_find(voice->cache, position, &cached)) {
        write_diagnostic(stderr, cached.messages, static_cast<size_t>(cached.message_bytes));
        unit->pcm = cached.pcm;
        unit->bytes = cached.pcm_bytes;
        unit->kept_position = position;
        return cached.pcm_bytes;
    }
    const int size = voice_unit_audio_at(voice, position, g_unit_buffer, kUnitBufferBytes);
    if (size < 0) return -1;
    SpeexStreamSetup stream;
    int decoded;
    std::string messages;
    {
        DiagnosticCapture capture;
        decoded = decode_unit(g_unit_buffer, size, g_pcm_buffer, kPcmBufferBytes, voice->sample_rate, channels, &stream);
        messages.swap(capture.text);
    }
    write_diagnostic(stderr, messages.data(), messages.size());
    if (decoded <= 0) return decoded;
    if (stream.stream_channels != channels) {
        if (diagnostics_enabled()) {
            char message[128];
            const int length = std::snprintf(message, sizeof message, "Unit %s has %d channels, the voice %d\n",
                                             unit_name, stream.stream_channels, channels);
            if (length > 0) write_diagnostic(stderr, message, std::min<size_t>(static_cast<size_t>(length), sizeof message - 1));
        }
        return -1;
    }
    unit->pcm = g_pcm_buffer;
    unit->bytes = decoded;
    unit->kept_position = -1;
    if (unit_cache_add(voice->cache, position, g_pcm_buffer, decoded, messages.data(), static_cast<int>(messages.size()),
                       &cached)) {
        unit->pcm = cached.pcm;
        unit->kept_position = position;
    }
    return decoded;
}

int synthesize_unit(const char *unit_name, unsigned char *dest, int limit, int rate, int pitch, int volume) {
    const VoiceDatabase *voice = current_voice();
    if (!voice) return -1;
    const int sample_rate = voice->sample_rate;
    const int channels = voice->channels;
    DecodedUnit unit;
    const int decoded = decoded_unit(unit_name, &unit);
    if (decoded <= 0) return decoded;
    const float speed = percent_factor(rate, kRatePercentMin, kRatePercentMax);
    const float pitch_factor = percent_factor(pitch, kPitchPercentMin, kPitchPercentMax);
    const float volume_factor = percent_factor(volume, kVolumePercentMin, kVolumePercentMax);
    // At normal rate, pitch and volume the prosody step changes nothing but the fades, and a
    // destination with room for any decoded unit would never cut it: the PCM is copied and faded.
    if (dest && limit >= kPcmBufferBytes &&
        prosody_is_identity(speed, pitch_factor, 1.0f, volume_factor, sample_rate, channels)) {
        std::memcpy(dest, unit.pcm, static_cast<size_t>(decoded));
        apply_edge_fades_bytes(dest, decoded / 2, sample_rate, channels);
        return decoded;
    }
    const ShapeKey key = shape_key(kShapedAtRate, std::clamp(rate, kRatePercentMin, kRatePercentMax), pitch, volume, *voice);
    const int kept = copy_kept_shape(*voice, unit, key, dest, limit);
    if (kept >= 0) return kept;
    // A unit recorded at another rate than the voice declares plays at the voice's rate.
    const int written = apply_prosody(unit.pcm, decoded, dest, limit, speed, pitch_factor, 1.0f, volume_factor,
                                      chord_pitch_for(pitch), 0, sample_rate, channels);
    keep_shape(*voice, unit, key, dest, written, limit, prosody_uncut_limit(decoded, speed, 1.0f, channels));
    return written;
}

int synthesize_unit_at_speed(const char *unit_name, unsigned char *dest, int limit, int64_t speed_ppm, int pitch,
                             int volume) {
    const VoiceDatabase *voice = current_voice();
    if (!voice) return -1;
    const int sample_rate = voice->sample_rate;
    const int channels = voice->channels;
    const int64_t held_speed = std::clamp(speed_ppm, kSpeedPpmMin, kSpeedPpmMax);
    const double factor = speed_factor(held_speed);
    const float pitch_factor = percent_factor(pitch, kPitchPercentMin, kPitchPercentMax);
    const float volume_factor = percent_factor(volume, kVolumePercentMin, kVolumePercentMax);
    DecodedUnit unit;
    const int decoded = decoded_unit(unit_name, &unit);
    if (decoded <= 0) return decoded;
    const ShapeKey key = shape_key(kShapedAtSpeed, held_speed, pitch, volume, *voice);
    const int kept = copy_kept_shape(*voice, unit, key, dest, limit);
    if (kept >= 0) return kept;
    if (factor <= 1.0) {
        const float speed = static_cast<float>(factor);
        const int written = apply_prosody(unit.pcm, decoded, dest, limit, speed, pitch_factor, 1.0f, volume_factor,
                                          chord_pitch_for(pitch), 0, sample_rate, channels);
        keep_shape(*voice, unit, key, dest, written, limit, prosody_uncut_limit(decoded, speed, 1.0f, channels));
        return written;
    }
    // Pitch and volume leave the length as it is, so the unit is shaped first, in a buffer of its
    // decoded size, and sped up last, into the destination.
    const unsigned char *pcm = unit.pcm;
    int bytes = decoded;
    if (!prosody_is_identity(1.0f, pitch_factor, 1.0f, volume_factor, sample_rate, channels)) {
        bytes = apply_prosody(unit.pcm, decoded, g_shaped_buffer, kPcmBufferBytes, 1.0f, pitch_factor, 1.0f,
                              volume_factor, chord_pitch_for(pitch), 0, sample_rate, channels);
        if (bytes <= 0) return bytes;
        pcm = g_shaped_buffer;
    }
    const int written = speed_unit(pcm, bytes, dest, limit, factor, sample_rate, channels);
    keep_shape(*voice, unit, key, dest, written, limit, speed_unit_uncut_limit(bytes, factor, channels));
    return written;
}

// One spoken unit end to end: fetch its bytes, decode them (or find them decoded already) and
// apply rate, pitch and volume.
#pragma once

#include <cstdint>

constexpr int kUnitBufferBytes = 20000;
constexpr int kPcmBufferBytes = 100000;

// A unit's decoded PCM, before prosody: 16-bit in native order, the voice's rate and channels,
// faded at both ends. The bytes stay valid until the next decoded_unit or synthesize_unit call, or
// until the voice is replaced; they are never to be written to.
struct DecodedUnit {
    const unsigned char *pcm = nullptr;
    int bytes = 0;
    int kept_position = -1;  // where the voice's cache keeps it, or -1 when it is not kept
};

// Looks the unit up in the current voice (writing the lookup's trace line) and gives its decoded
// PCM: from the voice's cache when it was decoded before, decoded from the voice file otherwise.
// The decoder's messages about the unit are written each time, cached or not. Returns the bytes
// (at most kPcmBufferBytes), 0 when the unit gave no samples, or -1 when it cannot be fetched, is
// not a usable Speex stream, or its channel count differs from the voice's. Runs on one thread at
// a time (the synthesis thread): it reuses process-wide buffers.
int decoded_unit(const char *unit_name, DecodedUnit *unit);

// Writes the unit's PCM (16-bit, the voice's rate and channels) at dest, never more than limit
// bytes. The audio after prosody of a kept unit is kept with it, so that the unit spoken again at
// the same settings costs a copy; the bytes, the trace lines and the counts of decoded units found
// and not found are the same either way. rate, pitch and volume are percentages (100 normal),
// held to 50..200, 25..400 and 0..400.
// Returns the bytes written, 0 when the unit gave no samples, or -1 when it cannot be fetched, is
// not a usable Speex stream, or its channel count differs from the voice's. A unit recorded at
// another sample rate plays at the voice's rate, as the voice declares. Runs on one thread at a
// time, as decoded_unit does.
int synthesize_unit(const char *unit_name, unsigned char *dest, int limit, int rate, int pitch, int volume);

// The same at a speed in millionths (speed_ppm of voice/unit_speed.h, 0.25x to 4x), for speeds that
// SetRate alone does not give. At 1x or slower one sonic pass changes speed, pitch and volume, as
// synthesize_unit does. Faster, pitch and volume get a pass of their own at speed 1 first and
// speed_unit then speeds the unit up with its onset kept. The result is at most
// ceil(kPcmBufferBytes / factor) bytes and a frame.
int synthesize_unit_at_speed(const char *unit_name, unsigned char *dest, int limit, int64_t speed_ppm, int pitch,
                             int volume);

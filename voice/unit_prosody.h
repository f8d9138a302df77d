// Speaking rate, pitch and volume for decoded units (through a sonic stream), and the short
// linear fades that keep a unit's ends from clicking.
#pragma once

#include <cstdint>

// Runs count bytes of 16-bit PCM (whole frames only) through a sonic stream with the given speed,
// pitch, rate and volume factors, chord pitch and quality, and writes the result at dest: never
// more than limit bytes, output beyond it is dropped read by read. The written bytes get the edge
// fades. Returns the bytes written, or -1 for a sample rate below 65 Hz (sonic's lowest pitch has no
// period there), a channel count below 1 or above 2048 (a frame must fit the block of 2048
// samples), or when sonic cannot create its stream.
int apply_prosody(const unsigned char *pcm, int count, unsigned char *dest, int limit, float speed, float pitch,
                  float rate, float volume, int chord_pitch, int quality, int sample_rate, int channels);

// The smallest limit from which apply_prosody's output for count bytes at these speed and rate
// factors and channel count no longer depends on the limit: the length the input calls for and
// one read of sonic's more.
int64_t prosody_uncut_limit(int count, float speed, float rate, int channels);

// True when apply_prosody with these arguments (chord pitch on) would accept them and hand whole
// frames back unchanged apart from the edge fades: every factor exactly 1.
bool prosody_is_identity(float speed, float pitch, float rate, float volume, int sample_rate, int channels);

// Fades the first and last L = sample_rate / 800 frames of interleaved samples: frame i from either
// end is scaled by i / L and truncated toward zero. Units shorter than 2 x L frames are left alone.
void apply_edge_fades(int16_t *samples, int count, int sample_rate, int channels);
// The same on samples stored as bytes (native order) at any alignment.
void apply_edge_fades_bytes(unsigned char *pcm, int count, int sample_rate, int channels);

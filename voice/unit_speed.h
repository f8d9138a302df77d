// Speaking speed beyond what SetRate reaches, with the tones kept and every onset heard.
//
// A unit is made faster by sonic, which drops pitch periods and so keeps the pitch. Above 2x one
// sonic pass keeps only part of each period it passes over, and it can drop a short burst (the
// release of "t", "c", "ch") altogether. So for any factor above 1 a unit goes in three parts:
// its quiet lead is shortened by the factor; the first 10 ms of its speech (the onset: a burst,
// the start of a fricative or of the voicing) comes out as recorded; the rest is sped up by as
// much more as keeps the unit exactly frames / factor long. One sonic stream copies the kept
// start at speed 1 and then changes speed, so the rest follows the onset in phase, with no seam.
// (Splitting the rest into passes of at most 2x each did not keep the tones better.)
#pragma once

#include <cstdint>

// Speed factors in millionths: 1000000 is normal speed.
constexpr int64_t kSpeedPpmNormal = 1000000;
// The slowest and fastest units: SetRate's slowest under SPEED's slowest, and the fastest at which
// the tones of the default voice still hold within a semitone of the recording (at 5x and 6x the
// error passes a semitone; bench/README.md has the figures).
constexpr int64_t kSpeedPpmMin = 250000;
constexpr int64_t kSpeedPpmMax = 4000000;

// The speed of the units as a product: the stored rate (50..200, 100 normal), SPEED and the
// request's own rate (both in percent, 100 normal), in millionths held to kSpeedPpmMin..Max.
// At SPEED and request rate 100 it is rate x 10000, exactly the factor SetRate alone gives.
int64_t speed_ppm(int32_t rate, int32_t speed_percent, int32_t request_rate_percent);
// The same as a factor (1.0 normal).
double speed_factor(int64_t ppm);

// Time-scales count bytes of 16-bit PCM (whole frames; the voice's sample rate and channel count)
// by factor, with pitch and volume unchanged, and writes the result at dest, never more than limit
// bytes (output beyond it is dropped). For factor above 1: the lead, onset and rest above; the
// output is lround(frames / factor) frames. For factor 1 or below: one sonic pass, as apply_prosody
// makes SetRate's slow rates. The output gets the edge fades. Input beyond 100000 bytes is
// ignored. dest must not overlap pcm. Returns the bytes written, or -1 for an unusable factor,
// sample rate or channel count (as apply_prosody). Runs on one thread at a time: it reuses
// process-wide buffers.
int speed_unit(const unsigned char *pcm, int count, unsigned char *dest, int limit, double factor, int sample_rate,
               int channels);
// The smallest limit from which speed_unit's output for count bytes at this factor no longer
// depends on the limit.
int64_t speed_unit_uncut_limit(int count, double factor, int channels);

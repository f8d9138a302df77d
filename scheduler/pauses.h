// Pause lengths in bytes from the pause parameters, which are times at normal speed: shorter as
// the speed rises, in step with the units (the same speed factor shortens both).
#pragma once

#include <cstdint>

enum PauseClock : int32_t {
    // 44100 bytes a second whatever the voice, as pauses have always been counted: exact for a
    // 22050 Hz mono voice, shorter in time for faster or two-channel voices.
    kPauseClockClassic = 0,
    // The voice's own bytes a second: the same time at every sample rate and channel count.
    kPauseClockVoice = 1,
};

constexpr int64_t kClassicPauseBytesPerSecond = 44100;
// The short pauses around units at 100 percent.
constexpr int32_t kConsonantPauseMs = 100;

// A pause of ms at normal speed, at the speed speed_ppm (speed_ppm() of voice/unit_speed.h), in
// bytes: floor(time x bytes a second / speed), made even, then made whole frames of the voice by
// rounding up. Without a voice (sample_rate or channels below 1) the classic clock counts. At the
// classic clock and a speed of rate x 10000 this is exactly the classic pause of a stored rate:
// 300 ms gives 1323000 / rate and 100 ms gives 441000 / rate, made even, in whole frames. The
// result can pass any chunk's size (4000 ms at 0.25x); the caller splits or cuts it.
int64_t pause_bytes(int32_t ms, int32_t clock, int64_t speed_ppm, int sample_rate, int channels);

// A line end's pause of ms: two pauses of half of it, as a line end has always been two long pauses
// (600 ms gives twice the 300 ms pause, byte for byte).
int64_t line_end_pause_bytes(int32_t ms, int32_t clock, int64_t speed_ppm, int sample_rate, int channels);

// The short pause before a voiceless onset or after a stop final at percent of its classic length.
int64_t consonant_pause_bytes(int32_t percent, int32_t clock, int64_t speed_ppm, int sample_rate, int channels);

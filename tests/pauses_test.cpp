// Pause lengths from the pause parameters: the classic byte counts at the defaults for every rate,
// the voice's own clock, and pauses that shrink with the speed.
#include "scheduler/pauses.h"

#include <gtest/gtest.h>

#include "scheduler/render.h"
#include "scheduler/settings.h"
#include "voice/unit_speed.h"

namespace {

int64_t whole_frames(int64_t bytes, int channels) {
    const int64_t frame = 2 * channels;
    return (bytes + frame - 1) / frame * frame;
}

// The defaults: 300 ms for a mark, 600 ms for a line end, consonant pauses at 100 %, classic clock.
TEST(PausesTest, DefaultsGiveTheClassicBytesAtEveryRate) {
    for (int channels : {1, 2}) {
        for (int rate = kRateMin; rate <= kRateMax; ++rate) {
            SCOPED_TRACE("rate " + std::to_string(rate) + ", channels " + std::to_string(channels));
            const int64_t speed = speed_ppm(rate, 100, 100);
            const int64_t long_pause = whole_frames(long_pause_bytes(rate), channels);
            EXPECT_EQ(pause_bytes(300, kPauseClockClassic, speed, 22050, channels), long_pause);
            EXPECT_EQ(line_end_pause_bytes(600, kPauseClockClassic, speed, 22050, channels), 2 * long_pause);
            EXPECT_EQ(consonant_pause_bytes(100, kPauseClockClassic, speed, 22050, channels),
                      whole_frames(short_pause_bytes(rate), channels));
            // The classic clock does not look at the voice's sample rate.
            EXPECT_EQ(pause_bytes(300, kPauseClockClassic, speed, 16000, channels), long_pause);
        }
    }
}

TEST(PausesTest, Lengths) {
    struct Case {
        int32_t ms;
        int32_t clock;
        int64_t speed;
        int sample_rate;
        int channels;
        int64_t bytes;
    };
    const Case cases[] = {
        {300, kPauseClockVoice, kSpeedPpmNormal, 22050, 1, 13230},  // the same as the classic clock
        {300, kPauseClockVoice, kSpeedPpmNormal, 16000, 1, 9600},   // 300 ms of a 16 kHz voice
        {300, kPauseClockVoice, kSpeedPpmNormal, 22050, 2, 26460},  // and of a two-channel voice
        {300, kPauseClockClassic, kSpeedPpmNormal, 22050, 2, 13232}, // classic: bytes, in whole frames
        {200, kPauseClockVoice, 4000000, 22050, 1, 2206},           // 4x: 2205 made even
        {300, kPauseClockVoice, 4000000, 22050, 1, 3308},           // 3307.5 down, then even
        {100, kPauseClockVoice, 250000, 16000, 2, 25600},           // 0.25x: four times as long
        {0, kPauseClockVoice, kSpeedPpmNormal, 22050, 1, 0},
        {1, kPauseClockVoice, kSpeedPpmNormal, 8000, 2, 32},        // 1 ms
        {300, kPauseClockVoice, kSpeedPpmNormal, -1, -1, 13230},    // no voice: the classic clock
        // The longest pause of the parameters at the slowest speed, with the largest voice a header
        // allows: 16 s of 32767 frames of 65534 bytes, past 32 bits.
        {4000, kPauseClockVoice, kSpeedPpmMin, 32767, 32767, 16ll * 32767 * 65534},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.ms) + " ms at " + std::to_string(c.speed) + ", " + std::to_string(c.sample_rate) +
                     " Hz x " + std::to_string(c.channels));
        EXPECT_EQ(pause_bytes(c.ms, c.clock, c.speed, c.sample_rate, c.channels), c.bytes);
    }
}

TEST(PausesTest, PausesShrinkAsFastAsTheUnits) {
    // A unit lasts its normal length over the speed factor; so does a pause, to the frame.
    for (int64_t speed : {kSpeedPpmMin, int64_t{500000}, kSpeedPpmNormal, int64_t{1500000}, int64_t{2000000},
                          int64_t{3000000}, kSpeedPpmMax}) {
        for (int32_t ms : {25, 100, 200, 300, 600, 4000}) {
            const double exact = ms / 1000.0 * 88200 * kSpeedPpmNormal / speed;
            const int64_t bytes = pause_bytes(ms, kPauseClockVoice, speed, 22050, 2);
            EXPECT_GT(bytes, exact - 1) << ms << " ms at " << speed;
            EXPECT_LT(bytes, exact + 4) << ms << " ms at " << speed;
        }
    }
}

TEST(PausesTest, LineEndIsTwoHalves) {
    // An odd length splits into two equal halves of half a millisecond more or less.
    for (int32_t ms : {0, 1, 299, 300, 301, 4000}) {
        for (int64_t speed : {int64_t{740000}, int64_t{2000000}}) {
            EXPECT_EQ(line_end_pause_bytes(ms, kPauseClockVoice, speed, 16000, 2) % 8, 0);
            const int64_t whole = pause_bytes(ms, kPauseClockVoice, speed, 16000, 2);
            EXPECT_NEAR(line_end_pause_bytes(ms, kPauseClockVoice, speed, 16000, 2), whole, 8) << ms;
        }
    }
}

TEST(PausesTest, ConsonantPausesArePercentOfTheClassicShortPause) {
    EXPECT_EQ(consonant_pause_bytes(0, kPauseClockVoice, kSpeedPpmNormal, 22050, 1), 0);
    EXPECT_EQ(consonant_pause_bytes(25, kPauseClockVoice, kSpeedPpmNormal, 22050, 1), 1102);  // 1102.5 down
    EXPECT_EQ(consonant_pause_bytes(200, kPauseClockClassic, kSpeedPpmNormal, 22050, 1), 8820);
}

}  // namespace

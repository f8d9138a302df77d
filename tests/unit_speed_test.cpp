// Fast units: the speed factor and its limits, the length of a sped-up unit, its onset kept as
// recorded, its tone kept, and bad arguments.
#include "voice/unit_speed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "support/synthetic_syllable.h"
#include "voice/unit_prosody.h"

namespace {

TEST(SpeedFactorTest, ProductOfRateSpeedAndRequestRateHeldToItsLimits) {
    struct Case {
        int32_t rate, speed, request_rate;
        int64_t ppm;
    };
    const Case cases[] = {
        {100, 100, 100, 1000000}, {200, 100, 100, 2000000}, {50, 100, 100, 500000}, {74, 100, 100, 740000},
        {100, 300, 100, 3000000}, {200, 200, 100, 4000000}, {200, 400, 400, kSpeedPpmMax},
        {50, 50, 100, 250000},    {50, 50, 50, kSpeedPpmMin}, {100, 150, 120, 1800000},
        {INT_MAX, INT_MAX, INT_MAX, kSpeedPpmMax}, {INT_MIN, 100, 100, kSpeedPpmMin}, {0, 0, 0, kSpeedPpmMin},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(speed_ppm(c.rate, c.speed, c.request_rate), c.ppm) << c.rate << " " << c.speed << " " << c.request_rate;
    }
    // SetRate's own factors come out exactly as the classic rate / 100.
    for (int rate = 50; rate <= 200; ++rate) EXPECT_EQ(speed_factor(speed_ppm(rate, 100, 100)), rate / 100.0);
}

struct SpeedUnitTest : testing::Test {
    SyntheticSyllable syllable;

    std::vector<int16_t> speed_up(const std::vector<int16_t> &in, double factor, int channels = 1) {
        std::vector<int16_t> out(in.size() + 64);
        const int written = speed_unit(reinterpret_cast<const unsigned char *>(in.data()), static_cast<int>(in.size() * 2),
                                       reinterpret_cast<unsigned char *>(out.data()), static_cast<int>(out.size() * 2),
                                       factor, syllable.sample_rate, channels);
        EXPECT_GE(written, 0);
        out.resize(static_cast<size_t>(std::max(written, 0)) / 2);
        return out;
    }
};

TEST_F(SpeedUnitTest, LengthIsTheUnitsOverTheFactor) {
    for (int channels : {1, 2}) {
        syllable.channels = channels;
        const std::vector<int16_t> in = synthetic_syllable(syllable);
        const long frames = static_cast<long>(in.size()) / channels;
        for (double factor : {1.1, 1.5, 2.0, 2.5, 3.0, 4.0}) {
            const std::vector<int16_t> out = speed_up(in, factor, channels);
            EXPECT_EQ(static_cast<long>(out.size()) / channels, std::lround(frames / factor)) << factor << "x, " << channels;
        }
    }
}

// The release burst of a stop, 3 ms long, is what one sonic pass above 2x can drop entirely; at
// every speed it comes out sample for sample, right after the lead, shortened by the factor.
TEST_F(SpeedUnitTest, OnsetComesOutAsRecorded) {
    for (int lead_ms : {0, 8, 11}) {
        for (unsigned seed : {1u, 2u, 3u}) {
            syllable.lead_ms = lead_ms;
            syllable.seed = seed;
            const std::vector<int16_t> in = synthetic_syllable(syllable);
            const int start = synthetic_speech_start(syllable);
            for (double factor : {1.5, 2.0, 3.0, 4.0}) {
                SCOPED_TRACE(std::to_string(factor) + "x, lead " + std::to_string(lead_ms) + " ms, seed " +
                             std::to_string(seed));
                const std::vector<int16_t> out = speed_up(in, factor);
                const int lead_out = static_cast<int>(std::lround(start / factor));
                // The edge fade at the very start aside, the first 10 ms of speech are unchanged.
                const int fade = syllable.sample_rate / 800;
                const int onset = syllable.sample_rate / 100;
                for (int i = std::max(0, fade - lead_out); i < onset; ++i) {
                    ASSERT_EQ(out[static_cast<size_t>(lead_out + i)], in[static_cast<size_t>(start + i)]) << "frame " << i;
                }
            }
        }
    }
}

// A tone gliding over 7 semitones keeps its contour: along the sped-up vowel the pitch follows the
// recording's at the same place in the vowel, within half a semitone at the median and a semitone
// at four points in five (sonic's period guesses leave the odd glitch of a period or two).
TEST_F(SpeedUnitTest, ToneContourIsKept) {
    // An aspirated onset longer than the part kept as recorded: the whole vowel is sped up alike.
    syllable.burst_ms = 12;
    syllable.burst_level = 3000;
    for (auto glide : {std::pair<double, double>{100, 150}, {150, 100}}) {
        syllable.pitch_start = glide.first;
        syllable.pitch_end = glide.second;
        const std::vector<int16_t> in = synthetic_syllable(syllable);
        const int start = synthetic_speech_start(syllable);
        for (double factor : {2.0, 3.0, 4.0}) {
            const std::vector<int16_t> out = speed_up(in, factor);
            // The vowel in the output: after the lead, shortened, the 10 ms kept and the rest of the
            // onset, shortened as the vowel is; up to the tail, shortened.
            const int kept = syllable.sample_rate / 100;
            const int lead_out = static_cast<int>(std::lround(start / factor));
            const int rest_out = static_cast<int>(out.size()) - lead_out - kept;
            const int rest_in = static_cast<int>(in.size()) - start - kept;
            const int vowel_out = lead_out + kept + (synthetic_vowel_start(syllable) - start - kept) * rest_out / rest_in;
            const int end_out = static_cast<int>(out.size()) -
                                static_cast<int>(std::lround(syllable.tail_ms * syllable.sample_rate / 1000.0 / factor));
            std::vector<double> errors;
            for (double p = 0.1; p <= 0.8; p += 0.05) {
                const int at = vowel_out + static_cast<int>(p * (end_out - vowel_out));
                const double pitch = measure_pitch(out, 1, syllable.sample_rate, at);
                if (pitch == 0) continue;
                // Against the recording's pitch over the same two periods.
                const double span = 2.0 * syllable.sample_rate / pitch / (end_out - vowel_out);
                errors.push_back(std::fabs(12 * std::log2(pitch / synthetic_pitch(syllable, p + span / 2))));
            }
            ASSERT_GE(errors.size(), 9u) << factor << "x";
            std::sort(errors.begin(), errors.end());
            const std::string where = std::to_string(factor) + "x, " + std::to_string(glide.first) + " Hz down or up";
            EXPECT_LT(errors[errors.size() / 2], 0.5) << where;
            EXPECT_LT(errors[errors.size() * 8 / 10 - 1], 1.0) << where;
        }
    }
}

TEST_F(SpeedUnitTest, ChannelsStayInStep) {
    syllable.channels = 2;
    const std::vector<int16_t> in = synthetic_syllable(syllable);
    const std::vector<int16_t> out = speed_up(in, 3.0, 2);
    ASSERT_GT(out.size(), 1000u);
    // The second channel is the first at 60 %: still so, within sonic's rounding.
    for (size_t i = 0; i + 1 < out.size(); i += 2) ASSERT_NEAR(out[i + 1], out[i] * 0.6, 3) << "frame " << i / 2;
}

TEST_F(SpeedUnitTest, SlowerIsOneSonicPass) {
    const std::vector<int16_t> in = synthetic_syllable(syllable);
    for (double factor : {0.5, 0.74, 1.0}) {
        std::vector<int16_t> expected(in.size() * 3);
        const int bytes = apply_prosody(reinterpret_cast<const unsigned char *>(in.data()), static_cast<int>(in.size() * 2),
                                        reinterpret_cast<unsigned char *>(expected.data()),
                                        static_cast<int>(expected.size() * 2), static_cast<float>(factor), 1, 1, 1, 1, 0,
                                        syllable.sample_rate, 1);
        expected.resize(static_cast<size_t>(bytes) / 2);
        std::vector<int16_t> out(in.size() * 3);
        out.resize(static_cast<size_t>(speed_unit(reinterpret_cast<const unsigned char *>(in.data()),
                                                  static_cast<int>(in.size() * 2), reinterpret_cast<unsigned char *>(out.data()),
                                                  static_cast<int>(out.size() * 2), factor, syllable.sample_rate, 1)) /
                   2);
        EXPECT_EQ(out, expected) << factor;
    }
}

TEST_F(SpeedUnitTest, NeverWritesPastTheLimit) {
    const std::vector<int16_t> in = synthetic_syllable(syllable);
    for (int limit : {0, 1, 2, 301, 1000, 2002}) {
        std::vector<unsigned char> out(4000, 0xA5);
        const int written = speed_unit(reinterpret_cast<const unsigned char *>(in.data()), static_cast<int>(in.size() * 2),
                                       out.data(), limit, 3.0, syllable.sample_rate, 1);
        EXPECT_EQ(written, limit / 2 * 2) << limit;
        for (size_t i = static_cast<size_t>(written); i < out.size(); ++i) ASSERT_EQ(out[i], 0xA5) << limit;
    }
}

TEST_F(SpeedUnitTest, UnusableArguments) {
    const std::vector<int16_t> in = synthetic_syllable(syllable);
    std::vector<int16_t> out(in.size());
    auto call = [&](int count, double factor, int sample_rate, int channels) {
        return speed_unit(reinterpret_cast<const unsigned char *>(in.data()), count,
                          reinterpret_cast<unsigned char *>(out.data()), static_cast<int>(out.size() * 2), factor,
                          sample_rate, channels);
    };
    const int bytes = static_cast<int>(in.size() * 2);
    EXPECT_EQ(call(bytes, 0, 22050, 1), -1);
    EXPECT_EQ(call(bytes, -2, 22050, 1), -1);
    EXPECT_EQ(call(bytes, std::nan(""), 22050, 1), -1);
    EXPECT_EQ(call(bytes, INFINITY, 22050, 1), -1);
    EXPECT_EQ(call(bytes, 2, 22050, 0), -1);
    EXPECT_EQ(call(bytes, 2, 0, 1), -1);
    EXPECT_EQ(call(bytes, 2, 40, 1), -1);  // below sonic's lowest pitch
    EXPECT_EQ(call(0, 2, 22050, 1), 0);
    EXPECT_EQ(call(1, 2, 22050, 1), 0);  // not one whole frame
    // Silence only: no speech to keep, all of it shortened.
    const std::vector<int16_t> silence(4410, 0);
    std::vector<int16_t> quiet(4410, 7);
    EXPECT_EQ(speed_unit(reinterpret_cast<const unsigned char *>(silence.data()), 8820,
                         reinterpret_cast<unsigned char *>(quiet.data()), 8820, 2.0, 22050, 1),
              4410);
    for (int i = 0; i < 2205; ++i) ASSERT_EQ(quiet[static_cast<size_t>(i)], 0);
}

}  // namespace

// A unit's speech against its own noise floor, and the trim of the lead of a request's first unit.
#include "voice/unit_silence.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "support/synthetic_syllable.h"
#include "voice/unit_prosody.h"

namespace {

using Samples = std::vector<int16_t>;

int trim(Samples *samples, int sample_rate, int channels) {
    const int bytes = trim_unit_lead(reinterpret_cast<unsigned char *>(samples->data()),
                                     static_cast<int>(samples->size() * 2), sample_rate, channels);
    samples->resize(static_cast<size_t>(bytes) / 2);
    return bytes;
}

TEST(UnitSilenceTest, LeadIsTrimmedToFiveMilliseconds) {
    for (int lead_ms : {6, 8, 11, 40}) {
        for (int channels : {1, 2}) {
            SyntheticSyllable s;
            s.lead_ms = lead_ms;
            s.channels = channels;
            const Samples unit = synthetic_syllable(s);
            Samples trimmed = unit;
            trim(&trimmed, s.sample_rate, channels);
            // Speech is found to the millisecond window: the lead kept is 5 ms and the part of a
            // window before the burst.
            const int window = s.sample_rate / 1000;
            const int found = synthetic_speech_start(s) / window * window;
            const size_t cut = static_cast<size_t>(found - s.sample_rate * kTrimmedLeadMs / 1000) * channels;
            ASSERT_EQ(trimmed.size(), unit.size() - cut) << lead_ms;
            // Everything from the lead's last 5 ms on is the unit's own (the lead was silence).
            EXPECT_TRUE(std::equal(trimmed.begin(), trimmed.end(), unit.begin() + static_cast<long>(cut))) << lead_ms;
        }
    }
}

// A real recording's lead is room noise: what rises above it is speech, however faint.
TEST(UnitSilenceTest, NoisyLeadKeepsAFaintOnset) {
    SyntheticSyllable s;
    s.lead_ms = 30;
    s.burst_ms = 20;
    s.burst_level = 300;  // a breathy onset, -40 dBFS
    Samples unit = synthetic_syllable(s);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> noise(-20, 20);
    for (int16_t &v : unit) v = static_cast<int16_t>(v + noise(random));
    const UnitSpeechSpan span = unit_speech_span(reinterpret_cast<const unsigned char *>(unit.data()),
                                                 static_cast<int>(unit.size()), s.sample_rate, 1);
    EXPECT_NEAR(span.first_frame, synthetic_speech_start(s), s.sample_rate / 1000);
    Samples trimmed = unit;
    trim(&trimmed, s.sample_rate, 1);
    const size_t cut = unit.size() - trimmed.size();
    EXPECT_LE(cut, static_cast<size_t>(synthetic_speech_start(s) - s.sample_rate * kTrimmedLeadMs / 1000));
    EXPECT_GE(cut, static_cast<size_t>(synthetic_speech_start(s) - s.sample_rate * (kTrimmedLeadMs + 1) / 1000));
    // The new start is ramped in from zero; the onset after it is untouched.
    EXPECT_EQ(trimmed[0], 0);
    const size_t onset = static_cast<size_t>(synthetic_speech_start(s)) - cut;
    EXPECT_TRUE(std::equal(trimmed.begin() + static_cast<long>(onset), trimmed.end(),
                           unit.begin() + static_cast<long>(onset + cut)));
}

TEST(UnitSilenceTest, ShortLeadsAndSilenceAreLeftAlone) {
    SyntheticSyllable s;
    for (int lead_ms : {0, 3, 5}) {
        s.lead_ms = lead_ms;
        const Samples unit = synthetic_syllable(s);
        Samples trimmed = unit;
        trim(&trimmed, s.sample_rate, 1);
        EXPECT_EQ(trimmed, unit) << lead_ms;
    }
    Samples silence(2205, 0);
    EXPECT_EQ(trim(&silence, 22050, 1), 4410);
    const UnitSpeechSpan none = unit_speech_span(reinterpret_cast<const unsigned char *>(silence.data()), 2205, 22050, 1);
    EXPECT_EQ(none.first_frame, 2205);
    EXPECT_EQ(none.end_frame, 0);
    EXPECT_EQ(trim_unit_lead(nullptr, 100, 22050, 1), 100);
    EXPECT_EQ(trim_unit_lead(reinterpret_cast<unsigned char *>(silence.data()), 4410, 0, 1), 4410);
}

TEST(UnitSilenceTest, SpeechSpanOfAUnit) {
    SyntheticSyllable s;
    s.lead_ms = 8;
    s.tail_ms = 8;
    const Samples unit = synthetic_syllable(s);
    const UnitSpeechSpan span = unit_speech_span(reinterpret_cast<const unsigned char *>(unit.data()),
                                                 static_cast<int>(unit.size()), s.sample_rate, 1);
    EXPECT_EQ(span.first_frame, synthetic_speech_start(s) / 22 * 22);
    // The vowel fades out before its end; speech ends within its last few milliseconds.
    const int vowel_end = static_cast<int>(unit.size()) - 176;
    EXPECT_LE(span.end_frame, vowel_end + 22);
    EXPECT_GE(span.end_frame, vowel_end - 10 * 22);
}

// A unit that sounds at one level from its first frame to its last: only its faded edges are quiet.
TEST(UnitSilenceTest, LoudFromStartToEndIsAllSpeech) {
    Samples unit(4410);
    for (size_t i = 0; i < unit.size(); ++i) unit[i] = static_cast<int16_t>(8000 * std::sin(i * 0.05));
    apply_edge_fades(unit.data(), static_cast<int>(unit.size()), 22050, 1);
    const UnitSpeechSpan span = unit_speech_span(reinterpret_cast<const unsigned char *>(unit.data()), 4410, 22050, 1);
    EXPECT_LE(span.first_frame, 22);
    EXPECT_GE(span.end_frame, 4410 - 22);
}

}  // namespace

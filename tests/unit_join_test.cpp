// Joins of adjacent units: the overlap, where the handover goes, the length budget, and the held
// end across chunks, pauses, Cancel and a change of voice.
#include "voice/unit_join.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "support/synthetic_syllable.h"
#include "voice/unit_prosody.h"
#include "voice/unit_silence.h"

namespace {

using Samples = std::vector<int16_t>;

struct JoinTest : testing::Test {
    std::unique_ptr<UnitJoin> join = std::make_unique<UnitJoin>();
    int sample_rate = 22050;
    int channels = 1;
    int hold = 176;  // 8 ms

    // Renders a unit as the renderer does: written after room for the held end, then joined; the
    // bytes to deliver come back.
    Samples deliver(const Samples &unit) {
        std::vector<unsigned char> chunk(unit.size() * 2 + kJoinMaxHoldBytes);
        std::memcpy(chunk.data(), unit.data(), unit.size() * 2);
        const int bytes = join_unit(*join, chunk.data(), static_cast<int>(unit.size() * 2), static_cast<int>(chunk.size()),
                                    hold, sample_rate, channels);
        Samples out(static_cast<size_t>(bytes) / 2);
        std::memcpy(out.data(), chunk.data(), out.size() * 2);
        return out;
    }

    Samples flush() {
        Samples out(kJoinMaxHoldBytes / 2);
        out.resize(static_cast<size_t>(join_flush(*join, reinterpret_cast<unsigned char *>(out.data()), kJoinMaxHoldBytes)) / 2);
        return out;
    }

    // Two units joined and the rest flushed, as one stream.
    Samples joined(const Samples &a, const Samples &b) {
        Samples out = deliver(a);
        const Samples second = deliver(b);
        const Samples end = flush();
        out.insert(out.end(), second.begin(), second.end());
        out.insert(out.end(), end.begin(), end.end());
        return out;
    }
};

UnitSpeechSpan span(const Samples &unit) {
    return unit_speech_span(reinterpret_cast<const unsigned char *>(unit.data()), static_cast<int>(unit.size()), 22050, 1);
}

SyntheticSyllable voiced(double pitch, int lead_ms, int tail_ms) {
    SyntheticSyllable s;
    s.burst_ms = 0;
    s.pitch_start = s.pitch_end = pitch;
    s.lead_ms = lead_ms;
    s.tail_ms = tail_ms;
    return s;
}

TEST(JoinFramesTest, OverlapShrinksWithTheSpeed) {
    EXPECT_EQ(join_frames(8, 22050, 1.0), 176);
    EXPECT_EQ(join_frames(8, 22050, 2.0), 88);
    EXPECT_EQ(join_frames(8, 22050, 4.0), 44);
    EXPECT_EQ(join_frames(8, 16000, 0.5), 256);
    EXPECT_EQ(join_frames(kJoinMaxMs, 32767, 0.25), 2621);
    EXPECT_LE(join_frames(kJoinMaxMs, 32767, 0.25), kJoinMaxHoldFrames);
    EXPECT_EQ(join_frames(0, 22050, 1.0), 0);
    EXPECT_EQ(join_frames(-5, 22050, 1.0), 0);
    EXPECT_EQ(join_frames(8, 22050, 0.0), 0);
}

// Where one side of the overlap is quiet, the handover falls there, and the speech of both units
// comes out as it was (but for up to 1 ms that a crossfade may take from speech where the quiet is
// shorter than the crossfade's 1 ms): both margins quiet (as the voice builder leaves them), a unit
// that speaks to its end before one with a lead, and one with a quiet end before one that speaks
// at once.
TEST_F(JoinTest, QuietSideKeepsEverySpeechSample) {
    struct Case {
        int a_tail_ms, b_lead_ms;
    };
    for (const Case &c : {Case{8, 8}, Case{0, 8}, Case{8, 0}, Case{3, 5}}) {
        SCOPED_TRACE(std::to_string(c.a_tail_ms) + " ms quiet end, " + std::to_string(c.b_lead_ms) + " ms lead");
        const Samples a = synthetic_syllable(voiced(110, 8, c.a_tail_ms));
        const Samples b = synthetic_syllable(voiced(130, c.b_lead_ms, 8));
        const Samples out = joined(a, b);
        ASSERT_EQ(out.size(), a.size() + b.size() - static_cast<size_t>(hold));
        // Speech as the units' own noise floor tells it (the faded ends of the vowels are quiet too).
        const size_t a_speech_end = static_cast<size_t>(span(a).end_frame);
        const size_t b_speech = static_cast<size_t>(span(b).first_frame);
        EXPECT_LE(a_speech_end, a.size() - static_cast<size_t>(c.a_tail_ms * 22050 / 1000));
        EXPECT_GE(b_speech, static_cast<size_t>(c.b_lead_ms * 22050 / 1000 / 22 * 22));
        const size_t ms = 22;
        EXPECT_TRUE(std::equal(a.begin(), a.begin() + static_cast<long>(a_speech_end - ms), out.begin()));
        EXPECT_TRUE(std::equal(b.begin() + static_cast<long>(b_speech + ms), b.end(),
                               out.begin() + static_cast<long>(a.size() - hold + b_speech + ms)));
    }
}

// A unit that speaks to its very end before one that speaks from its very start: they are
// crossfaded across the whole overlap, with no jump at the seam and no sample past either's peak.
TEST_F(JoinTest, SpeechAgainstSpeechIsCrossfaded) {
    const Samples a = synthetic_syllable(voiced(110, 8, 0));
    const Samples b = synthetic_syllable(voiced(170, 0, 8));
    // Speech up to the last frames and from the first ones (past the edge fades).
    Samples loud_end = a, loud_start = b;
    for (size_t i = 0; i < 300; ++i) loud_end[loud_end.size() - 1 - i] = static_cast<int16_t>(4000 * ((i / 20) % 2 ? 1 : -1) * (i > 27 ? 1 : i / 27.0));
    for (size_t i = 0; i < 300; ++i) loud_start[i] = static_cast<int16_t>(3000 * ((i / 15) % 2 ? 1 : -1) * (i > 27 ? 1 : i / 27.0));
    const Samples out = joined(loud_end, loud_start);
    ASSERT_EQ(out.size(), a.size() + b.size() - static_cast<size_t>(hold));
    const int seam_from = static_cast<int>(a.size()) - hold - 2, seam_to = static_cast<int>(a.size()) + 2;
    // The square waves jump by 8000 and 6000 themselves; across the crossfade nothing jumps more.
    EXPECT_LE(largest_jump(out, 1, seam_from, seam_to), 8000);
    const int peak = std::max(*std::max_element(loud_end.begin(), loud_end.end()),
                              *std::max_element(loud_start.begin(), loud_start.end()));
    for (int i = seam_from; i < seam_to; ++i) ASSERT_LE(std::abs(out[static_cast<size_t>(i)]), peak);
}

// Whatever the overlap and the margins, the seam jumps no more than the units do themselves where
// they overlap: the join adds no click.
TEST_F(JoinTest, SeamJumpsNoMoreThanTheUnits) {
    for (int hold_frames : {44, 88, 176, 441}) {
        for (int margin : {0, 3, 8}) {
            hold = hold_frames;
            const Samples a = synthetic_syllable(voiced(100, margin, margin));
            const Samples b = synthetic_syllable(voiced(150, margin, margin));
            const Samples out = joined(a, b);
            ASSERT_EQ(out.size(), a.size() + b.size() - static_cast<size_t>(hold));
            const int seam = static_cast<int>(a.size()) - hold;
            const int own = std::max(largest_jump(a, 1, seam - 1, static_cast<int>(a.size())), largest_jump(b, 1, 0, hold + 2));
            EXPECT_LE(largest_jump(out, 1, seam - 1, seam + hold + 2), own + 100) << hold << " " << margin;
        }
    }
}

// Two units that sound at one level from their first frame to their last, as a unit cut tight
// into its speech does: no quiet anywhere, so the whole overlap is crossfaded.
TEST_F(JoinTest, UnitsWithoutQuietAreCrossfadedAcrossTheOverlap) {
    Samples a(4410), b(4410);
    for (size_t i = 0; i < a.size(); ++i) {
        a[i] = static_cast<int16_t>(9000 * std::sin(i * 0.06));
        b[i] = static_cast<int16_t>(7000 * std::sin(i * 0.11 + 1));
    }
    apply_edge_fades(a.data(), 4410, sample_rate, 1);
    apply_edge_fades(b.data(), 4410, sample_rate, 1);
    const Samples out = joined(a, b);
    ASSERT_EQ(out.size(), a.size() + b.size() - static_cast<size_t>(hold));
    const int seam = static_cast<int>(a.size()) - hold;
    const int own = std::max(largest_jump(a, 1, seam - 1, 4410), largest_jump(b, 1, 0, hold + 2));
    EXPECT_LE(largest_jump(out, 1, seam - 1, seam + hold + 2), own + 100);
    // Both still sound in the middle of the overlap, at about half their levels.
    int middle = 0;
    for (int i = seam + hold / 2 - 20; i < seam + hold / 2 + 20; ++i) middle = std::max(middle, std::abs(out[static_cast<size_t>(i)]));
    EXPECT_GT(middle, 3000);
}

TEST_F(JoinTest, ShortUnitOverlapsHalfItsLength) {
    const Samples a = synthetic_syllable(voiced(110, 8, 8));
    const Samples tiny(100, 0);
    hold = 176;
    Samples out = deliver(a);
    EXPECT_EQ(out.size(), a.size() - 176);
    const Samples second = deliver(tiny);  // overlaps 50, holds back 50 of its own
    EXPECT_EQ(second.size(), 176u + 100u - 50u - 50u);
    EXPECT_EQ(flush().size(), 50u);
}

// A run of three units: the sum of their lengths less the two overlaps, delivered in three chunks
// and the flushed end.
TEST_F(JoinTest, RunOfUnitsKeepsTheLengthBudget) {
    const Samples a = synthetic_syllable(voiced(100, 8, 8));
    const Samples b = synthetic_syllable(voiced(120, 0, 3));
    const Samples c = synthetic_syllable(voiced(140, 11, 8));
    const size_t total = deliver(a).size() + deliver(b).size() + deliver(c).size() + flush().size();
    EXPECT_EQ(total, a.size() + b.size() + c.size() - 2 * static_cast<size_t>(hold));
}

// A pause between two units: the held end goes out before it, and the stream is exactly the units
// and the pause as they would be without joins.
TEST_F(JoinTest, FlushBeforeAPauseGivesTheUnitsUnchanged) {
    const Samples a = synthetic_syllable(voiced(100, 8, 8));
    const Samples b = synthetic_syllable(voiced(140, 8, 8));
    Samples out = deliver(a);
    const Samples end_of_a = flush();
    out.insert(out.end(), end_of_a.begin(), end_of_a.end());
    out.insert(out.end(), 1000, 0);  // the pause
    const Samples second = deliver(b);
    const Samples end_of_b = flush();
    out.insert(out.end(), second.begin(), second.end());
    out.insert(out.end(), end_of_b.begin(), end_of_b.end());
    Samples expected = a;
    expected.insert(expected.end(), 1000, 0);
    expected.insert(expected.end(), b.begin(), b.end());
    EXPECT_EQ(out, expected);
}

TEST_F(JoinTest, StereoFramesStayWhole) {
    channels = 2;
    SyntheticSyllable s = voiced(110, 8, 8);
    s.channels = 2;
    const Samples a = synthetic_syllable(s);
    s.pitch_start = s.pitch_end = 150;
    const Samples b = synthetic_syllable(s);
    const Samples out = joined(a, b);
    ASSERT_EQ(out.size(), a.size() + b.size() - 2 * static_cast<size_t>(hold));
    for (size_t i = 0; i + 1 < out.size(); i += 2) ASSERT_NEAR(out[i + 1], out[i] * 0.6, 1.5) << "frame " << i / 2;
}

TEST_F(JoinTest, DiscardForgetsTheHeldEnd) {
    const Samples a = synthetic_syllable(voiced(110, 8, 8));
    deliver(a);
    EXPECT_EQ(join_held_bytes(*join), hold * 2);
    join_discard(*join);
    EXPECT_EQ(join_held_bytes(*join), 0);
    EXPECT_TRUE(flush().empty());
    // The next unit starts a fresh run: nothing goes in front of it.
    EXPECT_EQ(deliver(a).size(), a.size() - static_cast<size_t>(hold));
}

TEST_F(JoinTest, OtherChannelCountOrNoRoomDropsTheHeldEnd) {
    const Samples a = synthetic_syllable(voiced(110, 8, 8));
    deliver(a);
    channels = 2;  // a new voice
    const Samples stereo(2000, 0);
    EXPECT_EQ(deliver(stereo).size(), 2000u - 2 * static_cast<size_t>(hold));

    // No room in front of the unit for the held end: it is dropped, the unit is kept whole.
    std::vector<unsigned char> chunk(stereo.size() * 2);
    EXPECT_EQ(join_unit(*join, chunk.data(), static_cast<int>(chunk.size()), static_cast<int>(chunk.size()), 0,
                        sample_rate, channels),
              static_cast<int>(chunk.size()));
    EXPECT_EQ(join_held_bytes(*join), 0);
}

TEST_F(JoinTest, NothingHeldWithoutAnOverlap) {
    hold = 0;
    const Samples a = synthetic_syllable(voiced(110, 8, 8));
    EXPECT_EQ(deliver(a), a);
    EXPECT_EQ(join_held_bytes(*join), 0);
    unsigned char byte = 0;
    EXPECT_EQ(join_unit(*join, &byte, 0, 1, 100, sample_rate, 1), 0);
    EXPECT_EQ(join_unit(*join, nullptr, 100, 100, 100, sample_rate, 1), 100);
}

}  // namespace

// The engine parameters in the render step: what each does to the chunks, joins and their length
// budget, the leading trim, pauses longer than a chunk, and fast units that keep their onsets.
#include "scheduler/render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "scheduler/items.h"
#include "scheduler/pauses.h"
#include "scheduler/segmentation.h"
#include "scheduler/settings.h"
#include "support/synthetic_syllable.h"
#include "support/test_voice.h"
#include "voice/unit_decode.h"
#include "voice/unit_silence.h"
#include "voice/unit_speed.h"
#include "voice/unit_synth.h"
#include "voice/voice_file.h"

namespace {

using Params = std::vector<std::pair<int, int32_t>>;

struct FluentRenderTest : testing::Test {
    ScratchDir dir;
    TestVoiceOptions options;
    std::unique_ptr<ChunkBuffer> chunk = std::make_unique<ChunkBuffer>();
    std::vector<int16_t> stream;  // every chunk of the last render_all, in order

    void SetUp() override {
        options.sample_rate = 22050;
        options.unit_ms = 100;
        reset_engine_parameters();
        set_engine_parameter(kParamDiagnostics, 0);
    }
    void TearDown() override {
        clear_items();
        voice_release_current();
        settings_reset();
        reset_engine_parameters();
    }

    void load_voice(const std::vector<std::string> &syllables, const std::string &file = "voice.dat") {
        ASSERT_EQ(voice_select(build_test_voice(dir, syllables, options, file).c_str()), 0);
    }

    static void set(const Params &params) {
        for (const auto &[parameter, value] : params) set_engine_parameter(parameter, value);
    }

    // Segments text and renders it step by step, as an utterance that starts in silence; the
    // byte count of every step, the last being 0.
    std::vector<int32_t> render_all(std::u16string text) {
        clear_items();
        render_start_utterance(*chunk);
        segment_text(text.data());
        std::vector<int32_t> counts;
        stream.clear();
        do {
            chunk->count = 0;
            render_next_item(*chunk);
            counts.push_back(chunk->count);
            const auto *samples = reinterpret_cast<const int16_t *>(chunk->data);
            stream.insert(stream.end(), samples, samples + chunk->count / 2);
        } while (chunk->count != 0 && counts.size() < 1000);
        return counts;
    }

    int32_t unit_bytes() const { return test_unit_frames(options.unit_ms, options) * 2 * options.channels; }
};

// Mono at 22050 Hz: 44.1 bytes a millisecond on both clocks.
TEST_F(FluentRenderTest, EachParameterSetsItsPauses) {
    load_voice({"ba", "tha('t"});
    const int32_t u = unit_bytes();
    struct Case {
        const char *what;
        Params params;
        std::u16string text;
        std::vector<int32_t> chunks;
    };
    const Case cases[] = {
        {"defaults", {}, u"ba, thắt", {u, 13230, 4410 + u + 4410, 13230, 26460, 0}},
        {"punctuation 250 ms", {{kParamPunctuationPause, 250}}, u"(,", {11026, 11026, 26460, 0}},
        {"no punctuation pause: the comma is passed over", {{kParamPunctuationPause, 0}}, u"ba, ba",
         {u, u, 26460, 0}},
        {"line end 100 ms, request end 400 ms", {{kParamLineEndPause, 100}, {kParamRequestEndPause, 400}},
         u"ba\nba", {u, 13230, 4412, u, 13230, 17640, 0}},
        {"no request end pause", {{kParamRequestEndPause, 0}}, u"ba.", {u, 13230, 0}},
        {"no added full stop", {{kParamAddedFullStop, 0}}, u"ba\nba", {u, 26460, u, 26460, 0}},
        {"no added full stop, the text's own stays", {{kParamAddedFullStop, 0}}, u"ba.", {u, 13230, 26460, 0}},
        {"no consonant pauses", {{kParamConsonantPauses, 0}}, u"thắt ba", {u, u, 13230, 26460, 0}},
        {"consonant pauses at 50 %", {{kParamConsonantPauses, 50}}, u"thắt", {2206 + u + 2206, 13230, 26460, 0}},
        {"consonant pauses at 200 %", {{kParamConsonantPauses, 200}}, u"thắt", {8820 + u + 8820, 13230, 26460, 0}},
        // 2x: the pauses and the unit half as long (1102.5 frames round to 1103).
        {"speed 200", {{kParamSpeed, 200}}, u"ba,", {2206, 6616, 6616, 13232, 0}},
        {"request end 0 and no added stop: nothing after the last unit",
         {{kParamRequestEndPause, 0}, {kParamAddedFullStop, 0}}, u"ba", {u, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        reset_engine_parameters();
        set_engine_parameter(kParamDiagnostics, 0);
        set(c.params);
        EXPECT_EQ(render_all(c.text), c.chunks);
    }
}

// The voice's own clock: the same time at every sample rate and channel count.
TEST_F(FluentRenderTest, VoiceClockCountsTheVoicesTime) {
    options.sample_rate = 16000;
    options.channels = 2;
    load_voice({"ba"});
    set({{kParamPauseClock, kPauseClockVoice}});
    // The added full stop and the line end: 300 ms and 600 ms of 16000 stereo frames.
    EXPECT_EQ(render_all(u"ba"), (std::vector<int32_t>{unit_bytes(), 19200, 38400, 0}));
    set({{kParamPauseClock, kPauseClockClassic}});
    EXPECT_EQ(render_all(u"ba"), (std::vector<int32_t>{unit_bytes(), 13232, 26464, 0}));
}

// A run of units joined: each chunk holds back the end of its unit, the next unit overlaps it, and
// the whole is the units' length less one overlap a join. The join is no click: across it the
// samples step no more than the units do themselves.
TEST_F(FluentRenderTest, JoinedUnitsKeepTheLengthBudget) {
    load_voice({"ba", "hai"});
    const int32_t u = unit_bytes();
    const int32_t held = 176 * 2;  // 8 ms
    set({{kParamJoin, 8}, {kParamRequestEndPause, 0}, {kParamAddedFullStop, 0}});
    EXPECT_EQ(render_all(u"ba ba ba"), (std::vector<int32_t>{u - held, u - held, u - held, held, 0}));
    EXPECT_EQ(stream.size() * 2, static_cast<size_t>(3 * u - 2 * held));
    const int own = largest_jump(stream, 1, 0, static_cast<int>(stream.size()) / 3 - 176);
    EXPECT_LE(largest_jump(stream, 1, 0, static_cast<int>(stream.size())), own + 200);

    // A pause between two units: the held end goes out in front of it, nothing overlaps.
    set({{kParamRequestEndPause, 600}, {kParamAddedFullStop, 1}});
    EXPECT_EQ(render_all(u"ba, ba"), (std::vector<int32_t>{u - held, held + 13230, u - held, held + 13230, 26460, 0}));
    // A consonant pause too: "hai" starts with a voiceless h.
    EXPECT_EQ(render_all(u"ba hai"), (std::vector<int32_t>{u - held, held + 4410 + u - held, held + 13230, 26460, 0}));
}

// An utterance that starts in silence starts at once: no mark's pause and no consonant pause
// before its first unit, whose quiet lead is cut to 5 ms. Only its first unit is trimmed.
TEST_F(FluentRenderTest, LeadingSilenceStartsTheFirstUnitAtOnce) {
    options.lead_ms = 30;
    load_voice({"xin", "ba"});
    const int32_t u = unit_bytes();
    auto first_sound_frame = [&](size_t from) {
        for (size_t i = from; i < stream.size(); ++i)
            if (std::abs(stream[i]) > 200) return static_cast<long>(i - from);
        return -1L;
    };
    const std::vector<int32_t> classic = render_all(u"(xin xin");
    EXPECT_GE(first_sound_frame(0), 13230 / 2 + 4410 / 2 + 600);

    set({{kParamLeadingSilence, 1}});
    const std::vector<int32_t> trimmed = render_all(u"(xin xin");
    ASSERT_EQ(trimmed.size(), 5u);
    const long lead = first_sound_frame(0);
    EXPECT_GE(lead, 22050 * 4 / 1000);
    EXPECT_LE(lead, 22050 * 7 / 1000);
    EXPECT_LT(trimmed[0], u - 2 * 22050 * 20 / 1000);
    // The second "xin" keeps its pause and its lead.
    EXPECT_EQ(trimmed[1], 4410 + u);
    EXPECT_EQ(classic[2], trimmed[1]);
}

// A pause longer than the chunk goes out over several steps, to the byte.
TEST_F(FluentRenderTest, PausesLongerThanAChunkAreSplit) {
    load_voice({"ba"});
    settings_set_rate(25);
    set({{kParamSpeed, 50}, {kParamRequestEndPause, 4000}, {kParamAddedFullStop, 0}});
    // 16 s at 0.25x, 44100 bytes a second.
    const std::vector<int32_t> counts = render_all(u"ba");
    ASSERT_EQ(counts.size(), 4u);
    EXPECT_NEAR(counts[0], 4 * unit_bytes(), 8);
    EXPECT_EQ(counts[1], kChunkCapacity);
    EXPECT_EQ(counts[1] + counts[2], 705600);
    EXPECT_EQ(counts[3], 0);
}

// At 4x through the render step each unit is speed_unit's of the decoded unit, whose first 10 ms
// of speech are as recorded.
TEST_F(FluentRenderTest, FourTimesKeepsEachUnitsOnset) {
    options.lead_ms = 20;
    options.unit_ms = 200;
    load_voice({"ba"});
    settings_set_rate(100);
    set({{kParamSpeed, 200}, {kParamAddedFullStop, 0}, {kParamRequestEndPause, 0}});
    render_all(u"ba");
    const std::vector<uint8_t> stored = test_unit_bytes("ba.0", options.unit_ms, options);
    std::vector<int16_t> decoded(kPcmBufferBytes / 2);
    const int bytes = decode_unit(stored.data(), static_cast<int>(stored.size()), reinterpret_cast<unsigned char *>(decoded.data()),
                                  kPcmBufferBytes, options.sample_rate, 1);
    ASSERT_GT(bytes, 0);
    decoded.resize(static_cast<size_t>(bytes) / 2);
    std::vector<int16_t> fast(decoded.size());
    fast.resize(static_cast<size_t>(speed_unit(reinterpret_cast<const unsigned char *>(decoded.data()), bytes,
                                               reinterpret_cast<unsigned char *>(fast.data()), bytes, 4.0,
                                               options.sample_rate, 1)) /
                2);
    EXPECT_EQ(stream, fast);
    // Speech, as the unit's noise floor tells it, begins about where the lead ends (the codec
    // smears the onset a few milliseconds ahead).
    const UnitSpeechSpan span = unit_speech_span(reinterpret_cast<const unsigned char *>(decoded.data()),
                                                 static_cast<int>(decoded.size()), options.sample_rate, 1);
    EXPECT_NEAR(span.first_frame, test_unit_frames(options.lead_ms, options), options.sample_rate / 200);
    const long lead_out = std::lround(span.first_frame / 4.0);
    for (long i = 0; i < options.sample_rate / 100; ++i)
        ASSERT_EQ(stream[static_cast<size_t>(lead_out + i)], decoded[static_cast<size_t>(span.first_frame + i)]) << i;
}

// SPEED and the request rate above 100 reach 4x, and no further.
TEST_F(FluentRenderTest, SpeedIsHeldToFourTimes) {
    load_voice({"ba"});
    set({{kParamAddedFullStop, 0}, {kParamRequestEndPause, 0}});
    const int32_t quarter = (test_unit_frames(options.unit_ms, options) + 2) / 4 * 2;
    settings_set_rate(100);
    set({{kParamSpeed, 400}});
    EXPECT_EQ(render_all(u"ba"), (std::vector<int32_t>{quarter, 0}));
    clear_items();
    render_start_utterance(*chunk);
    std::u16string text = u"ba";
    segment_text(text.data());
    chunk->count = 0;
    render_next_item(*chunk, nullptr, RequestProsody{400, 100, 100});
    EXPECT_EQ(chunk->count, quarter);
}

}  // namespace

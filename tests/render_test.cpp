// Rendering items into chunks: pause lengths, the short pauses around units, and words
// that are skipped.
#include "scheduler/render.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "scheduler/items.h"
#include "scheduler/segmentation.h"
#include "scheduler/settings.h"
#include "support/test_voice.h"
#include "voice/voice_file.h"

namespace {

struct RenderTest : testing::Test {
    ScratchDir dir;
    TestVoiceOptions options;
    std::unique_ptr<ChunkBuffer> chunk = std::make_unique<ChunkBuffer>();

    void TearDown() override {
        clear_items();
        voice_release_current();
        settings_reset();
    }

    void load_voice(const std::vector<std::string> &syllables) {
        std::string path = build_test_voice(dir, syllables, options);
        ASSERT_EQ(voice_select(path.c_str()), 0);
    }

    // Segments text and renders it step by step; the byte count of every step, the last being 0.
    std::vector<int32_t> render_all(std::u16string text) {
        clear_items();
        segment_text(text.data());
        std::vector<int32_t> counts;
        do {
            chunk->count = 0;
            render_next_item(*chunk);
            counts.push_back(chunk->count);
        } while (chunk->count != 0 && counts.size() < 1000);
        return counts;
    }

    int32_t unit_bytes() const { return test_unit_frames(options.unit_ms, options) * 2 * options.channels; }
};

TEST_F(RenderTest, PauseLengthsFollowTheRate) {
    struct Case {
        int host_rate;
        int32_t long_pause;
        int32_t line_end;
        int32_t short_pause;
    };
    const Case cases[] = {
        {25, 26460, 52920, 8820}, {37, 17878, 35756, 5960}, {50, 13230, 26460, 4410},
        {75, 8820, 17640, 2940},  {100, 6616, 13232, 2206},
    };
    for (const Case &c : cases) {
        settings_set_rate(c.host_rate);
        int32_t rate = synth_settings().rate.load();
        EXPECT_EQ(long_pause_bytes(rate), c.long_pause);
        EXPECT_EQ(short_pause_bytes(rate), c.short_pause);
        EXPECT_EQ(render_all(u"(,"), (std::vector<int32_t>{c.long_pause, c.long_pause, c.line_end, 0}))
            << "host rate " << c.host_rate;
    }
}

TEST_F(RenderTest, ShortPausesAroundUnits) {
    load_voice({"tha('t", "xin", "ba", "pin"});
    const int32_t pause = short_pause_bytes(kRateNormal);
    const int32_t unit = unit_bytes();
    // thắt: voiceless onset and stop final; xin: onset x only; ba, pin: none.
    EXPECT_EQ(render_all(u"thắt xin ba pin"),
              (std::vector<int32_t>{pause + unit + pause, pause + unit, unit, unit, 13230, 26460, 0}));
}

TEST_F(RenderTest, PausesAreSilenceAroundTheUnitAudio) {
    load_voice({"tha('t"});
    clear_items();
    std::u16string text = u"thắt";
    segment_text(text.data());
    chunk->count = 0;
    render_next_item(*chunk);
    const int32_t pause = short_pause_bytes(kRateNormal);
    ASSERT_EQ(chunk->count, 2 * pause + unit_bytes());
    for (int32_t i = 0; i < pause; ++i) {
        ASSERT_EQ(chunk->data[i], 0) << i;
        ASSERT_EQ(chunk->data[chunk->count - 1 - i], 0) << i;
    }
    bool has_sound = false;
    for (int32_t i = pause; i < pause + unit_bytes(); ++i) has_sound |= chunk->data[i] != 0;
    EXPECT_TRUE(has_sound);
}

TEST_F(RenderTest, UnknownWordsYieldNoChunkOfTheirOwn) {
    load_voice({"ba"});
    const int32_t unit = unit_bytes();
    EXPECT_EQ(render_all(u"qwerty ba zz"), (std::vector<int32_t>{unit, 13230, 26460, 0}));
    EXPECT_EQ(render_all(u"zz"), (std::vector<int32_t>{13230, 26460, 0}));
}

TEST_F(RenderTest, FailedUnitLeavesItsLeadingPauseForTheNextItem) {
    // "tha('t" is known (its ".0" unit exists) but its ".1" and ".3" units are not Speex.
    std::vector<VoiceUnitData> units;
    for (const char *syllable : {"tha('t", "ba"})
        for (int position = 0; position < 4; ++position) {
            std::string name = std::string(syllable) + "." + std::to_string(position);
            units.push_back({name, test_unit_bytes(name, options.unit_ms, options)});
        }
    units[1].bytes.assign(100, 0x55);
    units[3].bytes.assign(100, 0x55);
    VoiceFileHeader header;
    header.sample_rate = options.sample_rate;
    std::string path = dir.file("broken.dat");
    ASSERT_EQ(voice_write(path.c_str(), header, units, VoiceByteOrder::Little), 0);
    ASSERT_EQ(voice_select(path.c_str()), 0);

    const int32_t pause = short_pause_bytes(kRateNormal);
    testing::internal::CaptureStderr();
    std::vector<int32_t> counts = render_all(u"thắt ba");
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(counts, (std::vector<int32_t>{pause + unit_bytes(), 13230, 26460, 0}));

    // With no word after it, the pause joins the full stop's.
    testing::internal::CaptureStderr();
    counts = render_all(u"ba thắt");
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(counts, (std::vector<int32_t>{unit_bytes(), pause + 13230, 26460, 0}));
}

TEST_F(RenderTest, ManyFailedLeadingPausesNeverOverflowTheChunk) {
    std::vector<VoiceUnitData> units;
    for (int position = 0; position < 4; ++position)
        units.push_back({"tha('t." + std::to_string(position), std::vector<uint8_t>(50, 0x55)});
    VoiceFileHeader header;
    header.sample_rate = options.sample_rate;
    std::string path = dir.file("broken.dat");
    ASSERT_EQ(voice_write(path.c_str(), header, units, VoiceByteOrder::Little), 0);
    ASSERT_EQ(voice_select(path.c_str()), 0);
    settings_set_rate(25);  // the longest short pause

    std::u16string text;
    for (int i = 0; i < 40; ++i) text += u"thắt ";
    testing::internal::CaptureStderr();
    std::vector<int32_t> counts = render_all(text);
    testing::internal::GetCapturedStderr();
    int32_t total = 0;
    for (int32_t count : counts) {
        EXPECT_LE(count, kChunkCapacity);
        total += count;
    }
    EXPECT_EQ(total, 40 * 8820 + 26460 + 52920);
}

TEST_F(RenderTest, StereoPausesAreWholeFrames) {
    options.channels = 2;
    load_voice({"xin"});
    const int32_t unit = unit_bytes();
    EXPECT_EQ(render_all(u"xin"), (std::vector<int32_t>{4412 + unit, 13232, 26464, 0}));
}

TEST_F(RenderTest, WithoutAVoiceOnlyPausesAreDelivered) {
    EXPECT_EQ(render_all(u"xin chào"), (std::vector<int32_t>{13230, 26460, 0}));
}

}  // namespace

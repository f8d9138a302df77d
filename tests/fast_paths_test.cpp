// The shortcuts of the per-syllable path and of voice loading give exactly what the plain paths
// give: the loader's block reads, the renderer's one-conversion unit name, and decoding straight
// into the chunk at normal rate, pitch and volume.
#include "lexicon/unit_name.h"
#include "voice/unit_decode.h"
#include "voice/unit_lookup.h"
#include "voice/unit_prosody.h"
#include "voice/unit_synth.h"
#include "voice/voice_file.h"
#include "voice/voice_writer.h"

#include "support/scratch_dir.h"
#include "support/test_voice.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct FastPathsTest : testing::Test {
    ScratchDir dir;
    void TearDown() override { voice_release_current(); }
};

// Units of every size from empty to several loader blocks, so that records and audio straddle
// block ends in every way: each unit's bytes come back whole from the offset the loader found.
TEST_F(FastPathsTest, LoaderFindsEveryUnitOfALargeVoice) {
    std::vector<VoiceUnitData> units;
    const int sizes[] = {0, 1, 2, 700, 1500, 4095, 4096, 30000, 32767, 65534, 90, 17};
    const std::vector<std::string> syllables = {"a", "ba", "ca", "d!a", "e", "ga", "ha", "ka", "la", "ma",
                                                "na", "o", "pa", "qua", "ra", "sa", "ta", "u", "va", "xa"};
    int k = 0;
    for (const std::string &syllable : syllables) {
        for (int position = 0; position < 4; position++, k++) {
            VoiceUnitData unit{syllable + "." + std::to_string(position), {}};
            const int size = sizes[k % (sizeof sizes / sizeof sizes[0])] % 32768;
            for (int i = 0; i < size; i++) unit.bytes.push_back(static_cast<uint8_t>(k * 31 + i));
            units.push_back(unit);
        }
    }
    const std::string path = dir.file("large.voice");
    std::string error;
    ASSERT_EQ(voice_write(path.c_str(), VoiceFileHeader{}, units, VoiceByteOrder::Big, &error), 0) << error;
    ASSERT_EQ(voice_select(path.c_str()), 0);
    ASSERT_EQ(current_voice()->unit_count, static_cast<int>(units.size()));

    static unsigned char buffer[40000];
    testing::internal::CaptureStdout();
    for (const VoiceUnitData &unit : units) {
        SCOPED_TRACE(unit.name);
        const int got = get_unit_audio(unit.name.c_str(), buffer, sizeof buffer);
        ASSERT_EQ(got, static_cast<int>(unit.bytes.size()));
        if (!unit.bytes.empty()) {
            EXPECT_EQ(std::memcmp(buffer, unit.bytes.data(), unit.bytes.size()), 0);
        }
    }
    testing::internal::GetCapturedStdout();
}

TEST_F(FastPathsTest, LoaderRefusesAUnitCutShortAtTheEnd) {
    std::vector<uint8_t> bytes;
    std::vector<VoiceUnitData> units;
    for (int position = 0; position < 4; position++) units.push_back({"ta." + std::to_string(position), std::vector<uint8_t>(30000, 7)});
    ASSERT_EQ(voice_file_bytes(VoiceFileHeader{}, units, VoiceByteOrder::Little, &bytes), 0);
    bytes.pop_back();
    const std::string path = dir.file("cut.voice");
    FILE *file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
    EXPECT_EQ(voice_load(path.c_str()), nullptr);
}

// The renderer's name equals make_unit_name after is_known_unit, with the same trace lines.
TEST_F(FastPathsTest, KnownUnitNameAgreesWithTheTwoSteps) {
    const std::string path = build_test_voice(dir, {"xin", "cha`o", "vie).t"});
    ASSERT_EQ(voice_select(path.c_str()), 0);
    struct Case {
        const char16_t *word;
        int position;
    };
    const Case cases[] = {{u"Xin", 1}, {u"chào", 3}, {u"Việt", 2}, {u"việt", 0}, {u"google", 1},
                          {u"中", 1},  {u"", 1},     {u"xinxinxin", 1}, {u"xin", 12}, {u"xin", -1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(c.word)) + " " + std::to_string(c.position));
        char expected[kUnitNameCapacity] = {};
        testing::internal::CaptureStdout();
        const bool known = is_known_unit(c.word);
        const int built = known ? make_unit_name(c.word, c.position, expected, sizeof expected) : -1;
        const std::string expected_trace = testing::internal::GetCapturedStdout();

        char name[kUnitNameCapacity] = {};
        testing::internal::CaptureStdout();
        const int result = known_unit_name(c.word, c.position, name, sizeof name);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), expected_trace);
        EXPECT_EQ(result, built);
        if (result == 0) {
            EXPECT_STREQ(name, expected);
        }
    }
    char small[6];
    testing::internal::CaptureStdout();
    EXPECT_EQ(known_unit_name(u"chào", 1, small, sizeof small), -1);  // "cha`o.1" needs 8 bytes
    testing::internal::GetCapturedStdout();
}

// At rate, pitch and volume 100 the unit is decoded straight into the destination; the bytes are
// those of the prosody step, at both sample rates and channel counts.
TEST_F(FastPathsTest, NormalSettingsGiveTheProsodyStepsBytes) {
    for (const TestVoiceOptions &options : {TestVoiceOptions{22050, 1}, TestVoiceOptions{16000, 2}}) {
        SCOPED_TRACE(options.sample_rate);
        const std::string path = build_test_voice(dir, {"xin"}, options, "v" + std::to_string(options.sample_rate));
        ASSERT_EQ(voice_select(path.c_str()), 0);
        testing::internal::CaptureStdout();
        static unsigned char unit[kUnitBufferBytes];
        static unsigned char pcm[kPcmBufferBytes];
        static unsigned char expected[kPcmBufferBytes];
        static unsigned char got[kPcmBufferBytes];
        const int size = get_unit_audio("xin.1", unit, kUnitBufferBytes);
        ASSERT_GT(size, 0);
        const int decoded = decode_unit(unit, size, pcm, kPcmBufferBytes, options.sample_rate, options.channels);
        ASSERT_GT(decoded, 0);
        const int expected_bytes = apply_prosody(pcm, decoded, expected, kPcmBufferBytes, 1.0f, 1.0f, 1.0f, 1.0f, 1, 0,
                                                 options.sample_rate, options.channels);
        const int written = synthesize_unit("xin.1", got, kPcmBufferBytes, 100, 100, 100);
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(written, expected_bytes);
        EXPECT_EQ(std::memcmp(got, expected, static_cast<size_t>(written)), 0);
        voice_release_current();
    }
}

}  // namespace

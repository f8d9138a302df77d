// The syllable inventory's names and older spellings, the names of the syllables the voice file
// could not name before (the long o of xoong, soóc), and a voice written before the long o had a
// name, which must load and speak exactly as it did.
#include "lexicon/unit_name.h"
#include "voice/unit_decode.h"
#include "voice/unit_lookup.h"
#include "voice/unit_synth.h"
#include "voice/voice_file.h"

#include "support/scratch_dir.h"
#include "support/test_voice.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

uint64_t fnv1a(const unsigned char *bytes, int count) {
    uint64_t hash = 1469598103934665603ull;
    for (int i = 0; i < count; i++) hash = (hash ^ bytes[i]) * 1099511628211ull;
    return hash;
}

TEST(SyllableInventory, HoldsNamesOlderSpellingsAndTheLongO) {
    std::ifstream file(VELORIN_SYLLABLES_PATH);
    ASSERT_TRUE(file.good());
    std::set<std::string> inventory;
    for (std::string line; std::getline(file, line);)
        if (!line.empty() && line[0] != '#') inventory.insert(line);
    // nguyễn, kông (Mê Kông), quí and kĩ beside quý and kỹ, sạc (đang sạc), đắk (Đắk Lắk), the long
    // o of xoong, boong, soóc, goòng, thủa beside thuở.
    for (const char *syllable : {"nguye)~n", "ko)ng", "qui'", "quy'", "ki~", "ky~", "sa.c", "d!a('k", "la('k", "xoong",
                                 "boong", "soo'c", "goo`ng", "thu?a", "thuo(?", "vie).t", "xin"})
        EXPECT_TRUE(inventory.count(syllable)) << syllable;
    EXPECT_GT(inventory.size(), 7000u);
}

struct KnownWord {
    std::u16string word;
    const char *syllable;  // the unit's syllable part, or null when the voice lacks the word
};

TEST(LongONames, WordsReachTheUnitsOfASmallVoice) {
    ScratchDir dir;
    // The syllables as the voice names them.
    const std::string path =
        build_test_voice(dir, {"nguye)~n", "ko)ng", "qui'", "sa.c", "xoOng", "soO'c", "xo)ng", "d!a('k", "ky~"});
    ASSERT_FALSE(path.empty());
    ASSERT_EQ(voice_select(path.c_str()), 0);
    const KnownWord cases[] = {
        {u"Nguyễn", "nguye)~n"}, {u"NGUYỄN", "nguye)~n"}, {u"Kông", "ko)ng"}, {u"quí", "qui'"},
        {u"sạc", "sa.c"},         {u"xoong", "xoOng"},      {u"Xoong", "xoOng"}, {u"XOONG", "xoOng"},
        {u"soóc", "soO'c"},       {u"xông", "xo)ng"},       {u"Đắk", "d!a('k"}, {u"kỹ", "ky~"},
        {u"xoòng", nullptr},      {u"xôông", nullptr},      {u"xoOng", "xoOng"},
    };
    for (const KnownWord &c : cases) {
        char name[kUnitNameCapacity];
        const std::string shown(c.syllable ? c.syllable : "(none)");
        EXPECT_EQ(is_known_unit(c.word.c_str()), c.syllable != nullptr) << shown;
        const int result = known_unit_name(c.word.c_str(), 2, name, sizeof name);
        if (!c.syllable) {
            EXPECT_EQ(result, -1) << shown;
            continue;
        }
        ASSERT_EQ(result, 0) << shown;
        EXPECT_EQ(std::string(name), shown + ".2");
        ASSERT_EQ(make_unit_name(c.word.c_str(), 2, name, sizeof name), 0);
        EXPECT_EQ(std::string(name), shown + ".2");
        static unsigned char bytes[kUnitBufferBytes];
        EXPECT_GT(get_unit_audio(name, bytes, sizeof bytes), 0) << name;
    }
    voice_release_current();
}

TEST(LongONames, OnlyAdjacentOsAreRenamed) {
    const std::pair<const char *, const char *> cases[] = {
        {"xoong", "xoOng"}, {"soo'c", "soO'c"}, {"oong", "oOng"}, {"xo)ng", "xo)ng"}, {"xo`ong", "xo`ong"},
        {"ooo", "oOo"},     {"oooo", "oOoO"},   {"", ""},         {"o", "o"},         {"tho`", "tho`"},
    };
    for (const auto &c : cases) {
        std::string syllable = c.first;
        name_long_o(&syllable[0]);
        EXPECT_EQ(syllable, c.second) << c.first;
    }
    name_long_o(nullptr);  // nothing to rename
}

// tests/data/old_writer.voice was written by the voice writer of the engine before the long o had
// a name (tests/support/test_voice at 22050 Hz, syllables of 100 to 170 ms); xông is stored in
// plain letters as "xoong", as every voice so far stores it. The lengths and hashes of each
// unit's decoded audio were taken from that engine.
struct OldUnit {
    std::u16string word;
    const char *syllable;  // null: not in the voice
    int pcm_bytes;
    uint64_t hashes[4];  // positions 0 to 3
};

TEST(LongONames, VoiceWrittenBeforeSpeaksAsBefore) {
    const OldUnit cases[] = {
        {u"xin", "xin", 4410, {0xbff7d669de9cc0d3ul, 0xe04ed7a609dd57a2ul, 0x33bea1df12984f3eul, 0xc265218434e299ebul}},
        {u"chào", "cha`o", 4850, {0x734ae7aba6cd43c4ul, 0xb0e1faf4ff48607cul, 0xf23b433f9d523465ul, 0xe175974743ecb957ul}},
        {u"xông", "xo)ng", 5292, {0xe621633d84497091ul, 0xcf2f8793f082e3c0ul, 0xa60747f50ddf07b6ul, 0xd2ccd1f5e176f5b3ul}},
        {u"Việt", "vie).t", 5732, {0x7b6cadd7a702f648ul, 0x49b8a0cd5621cc1bul, 0x588f6e451e5c4588ul, 0xd6c88d3a0bc45a24ul}},
        {u"đi", "d!i", 6174, {0xd1548d85a8ba5caaul, 0xa492d0d58e7f467aul, 0x71e5a861d62269f4ul, 0x4a068e301e0f5718ul}},
        {u"bắt", "ba('t", 6614, {0x548ac787970a781aul, 0xfdf5148ac09114fdul, 0x3f5835e5fca73e24ul, 0x188317febfa3175bul}},
        {u"Nguyễn", "nguye)~n", 7056, {0x3d86d777d42f6fd0ul, 0x1dcf6d5e08591cbcul, 0x1eba366af515e864ul, 0xcf4978f2b18ec0bful}},
        {u"hoà", "hoa`", 7496, {0xbfc2e7b17e6a3219ul, 0x4780802299ea758ul, 0x5599c04da05cf239ul, 0x74da11898a3cfb26ul}},
        {u"xoong", nullptr, 0, {}},
        {u"hòa", nullptr, 0, {}},
        {u"soóc", nullptr, 0, {}},
    };
    ASSERT_EQ(voice_select(VELORIN_TEST_DATA_DIR "/old_writer.voice"), 0);
    const VoiceDatabase *voice = current_voice();
    ASSERT_NE(voice, nullptr);
    EXPECT_EQ(voice->syllable_count, 8);
    static unsigned char bytes[kUnitBufferBytes];
    static unsigned char pcm[kPcmBufferBytes];
    for (const OldUnit &c : cases) {
        for (int position = 0; position < 4; position++) {
            char name[kUnitNameCapacity];
            const int result = known_unit_name(c.word.c_str(), position, name, sizeof name);
            if (!c.syllable) {
                EXPECT_EQ(result, -1) << "position " << position;
                continue;
            }
            ASSERT_EQ(result, 0);
            EXPECT_EQ(std::string(name), std::string(c.syllable) + "." + std::to_string(position));
            const int stored = get_unit_audio(name, bytes, sizeof bytes);
            ASSERT_GT(stored, 0) << name;
            const int decoded = decode_unit(bytes, stored, pcm, sizeof pcm, voice->sample_rate, voice->channels);
            EXPECT_EQ(decoded, c.pcm_bytes) << name;
            EXPECT_EQ(fnv1a(pcm, decoded), c.hashes[position]) << name;
        }
    }
    voice_release_current();
}

}  // namespace

// Finding units by name and fetching their stored bytes, with the trace lines the lookups write.
#include "voice/unit_lookup.h"
#include "voice/diagnostics.h"
#include "voice/voice_file.h"
#include "voice/voice_writer.h"

#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// An index built in memory, so that any entry count can be searched.
struct MemoryVoice {
    VoiceDatabase *voice = static_cast<VoiceDatabase *>(must_alloc(sizeof(VoiceDatabase)));
    explicit MemoryVoice(const std::vector<std::string> &sorted_names) {
        for (const std::string &name : sorted_names) {
            UnitEntry &entry = voice->units[voice->unit_count++];
            entry.name = static_cast<char *>(must_alloc(static_cast<int>(name.size()) + 1));
            std::memcpy(entry.name, name.c_str(), name.size());
        }
    }
    ~MemoryVoice() { voice_free(voice); }
};

struct UnitLookupTest : testing::Test {
    ScratchDir dir;
    void TearDown() override { voice_release_current(); }

    // A voice with the four units of each syllable; unit bytes are the name repeated to `size`.
    std::string write_voice(const std::vector<std::pair<std::string, int>> &syllables) {
        std::vector<VoiceUnitData> units;
        for (const auto &[syllable, size] : syllables) {
            for (int position = 0; position < 4; position++) {
                VoiceUnitData unit{syllable + "." + std::to_string(position), {}};
                for (int i = 0; i < size; i++) unit.bytes.push_back(static_cast<uint8_t>(unit.name[i % unit.name.size()] + i));
                units.push_back(unit);
            }
        }
        const std::string path = dir.file("voice.dat");
        std::string error;
        EXPECT_EQ(voice_write(path.c_str(), VoiceFileHeader{}, units, VoiceByteOrder::Little, &error), 0) << error;
        return path;
    }
};

TEST(CstFindWord, FindsEveryNameAndOnlyThose) {
    const std::vector<std::string> all = {"a.0", "b)'.1", "ba.0", "ba.1", "cha`o.2", "d!i.0", "xin.0", "xin.3", "~a.0"};
    for (size_t count = 0; count <= all.size(); count++) {
        SCOPED_TRACE(count);
        const std::vector<std::string> names(all.begin(), all.begin() + static_cast<long>(count));
        MemoryVoice memory(names);
        for (size_t i = 0; i < names.size(); i++) EXPECT_EQ(cst_find_word(memory.voice, names[i].c_str()), static_cast<int>(i));
        for (const char *absent : {"", "0", "a", "a.1", "b.0", "ba.2", "xin.1", "zz.0", "~b.0", "\xff"}) {
            EXPECT_EQ(cst_find_word(memory.voice, absent), -1) << absent;
        }
    }
}

TEST(CstFindWord, WritesItsTraceLineFirst) {
    MemoryVoice empty({});
    testing::internal::CaptureStdout();
    EXPECT_EQ(cst_find_word(empty.voice, "xin.0"), -1);
    EXPECT_EQ(cst_find_word(nullptr, "ba.1"), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "cst_find_word xin.0\ncst_find_word ba.1\n");
}

TEST(CstFindWord, WritesNoTraceWithDiagnosticsOff) {
    MemoryVoice voice({"xin.0"});
    set_diagnostics_enabled(false);
    testing::internal::CaptureStdout();
    EXPECT_EQ(cst_find_word(voice.voice, "xin.0"), 0);
    EXPECT_EQ(find_word("xin.0"), -1);  // no current voice: its message is a diagnostic too
    const std::string written = testing::internal::GetCapturedStdout();
    set_diagnostics_enabled(true);
    EXPECT_EQ(written, "");
}

TEST_F(UnitLookupTest, WithoutAVoiceEveryLookupFails) {
    voice_release_current();
    unsigned char buffer[16];
    testing::internal::CaptureStdout();
    EXPECT_EQ(find_word("xin.0"), -1);
    EXPECT_EQ(unit_exists("xin.0"), -1);
    EXPECT_EQ(get_unit_audio("xin.0", buffer, sizeof buffer), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "find_word: current voice is NULL\nfind_word: current voice is NULL\n");
}

TEST_F(UnitLookupTest, NamesMatchExactly) {
    ASSERT_EQ(voice_select(write_voice({{"xin", 4}, {"XIN", 4}, {"cha`o", 4}}).c_str()), 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(unit_exists("xin.0"), 0);
    EXPECT_EQ(unit_exists("xin.3"), 0);
    EXPECT_EQ(unit_exists("xin.4"), -1);
    EXPECT_EQ(unit_exists("Xin.0"), -1);
    EXPECT_EQ(unit_exists("XIN.0"), 0);
    EXPECT_EQ(unit_exists("xin"), -1);
    EXPECT_EQ(unit_exists("cha`o.1"), 0);
    EXPECT_EQ(unit_exists("chao.1"), -1);
    const std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_EQ(trace.rfind("cst_find_word xin.0\ncst_find_word xin.3\n", 0), 0u) << trace;
}

TEST_F(UnitLookupTest, FetchDeliversWholeUnitsWithinCapacity) {
    ASSERT_EQ(voice_select(write_voice({{"xin", 100}, {"a", 0}, {"ba", 1}}).c_str()), 0);
    std::vector<unsigned char> buffer(120, 0xee);
    EXPECT_EQ(get_unit_audio("xin.2", buffer.data(), 100), 100);
    for (int i = 0; i < 100; i++) ASSERT_EQ(buffer[i], static_cast<unsigned char>("xin.2"[i % 5] + i)) << i;
    EXPECT_EQ(buffer[100], 0xee);

    std::vector<unsigned char> small(100, 0xee);
    EXPECT_EQ(get_unit_audio("xin.2", small.data(), 99), -1);
    EXPECT_EQ(small, std::vector<unsigned char>(100, 0xee));

    EXPECT_EQ(get_unit_audio("a.0", buffer.data(), 0), 0);
    EXPECT_EQ(get_unit_audio("ba.3", buffer.data(), 1), 1);
    EXPECT_EQ(get_unit_audio("ba.3", buffer.data(), 0), -1);
    EXPECT_EQ(get_unit_audio("ba.4", buffer.data(), 100), -1);
    EXPECT_EQ(get_unit_audio("ba.3", nullptr, 100), -1);
}

TEST_F(UnitLookupTest, LookupsOutliveTheFileButFetchesDoNot) {
    const std::string path = write_voice({{"xin", 10}});
    ASSERT_EQ(voice_select(path.c_str()), 0);
    std::filesystem::remove(path);
    unsigned char buffer[16];
    EXPECT_EQ(unit_exists("xin.1"), 0);
    EXPECT_EQ(get_unit_audio("xin.1", buffer, sizeof buffer), -1);
}

TEST_F(UnitLookupTest, AFileCutShortAfterLoadingFailsTheFetch) {
    const std::string path = write_voice({{"xin", 10}});
    ASSERT_EQ(voice_select(path.c_str()), 0);
    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 5);
    unsigned char buffer[16];
    EXPECT_EQ(get_unit_audio("xin.0", buffer, sizeof buffer), 10);
    EXPECT_EQ(get_unit_audio("xin.3", buffer, sizeof buffer), -1);
}

TEST(VoiceUnitAudio, NegativeStoredSizeFails) {
    MemoryVoice memory({"xin.0"});
    memory.voice->units[0].size = -1;
    memory.voice->path = static_cast<char *>(must_alloc(16));
    std::strcpy(memory.voice->path, "/dev/zero");
    unsigned char buffer[16];
    EXPECT_EQ(voice_unit_audio(memory.voice, "xin.0", buffer, sizeof buffer), -1);
}

}  // namespace

// Finding units by name and fetching their stored bytes, with the trace lines the lookups write.
#include "voice/unit_lookup.h"
#include "voice/diagnostics.h"
#include "voice/voice_file.h"
#include "voice/voice_writer.h"

#include "support/scratch_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
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

// The audio is read from the file opened at loading, whatever becomes of the path: a file deleted,
// renamed over or turned into a FIFO is still read as it was loaded; one cut short fails the units
// it no longer holds, and one written over in place gives what now lies at the units' offsets.
TEST_F(UnitLookupTest, TheFileChangedAfterLoading) {
    auto expected_bytes = [](const std::string &name, int size) {
        std::vector<unsigned char> bytes;
        for (int i = 0; i < size; i++) bytes.push_back(static_cast<unsigned char>(name[i % name.size()] + i));
        return bytes;
    };
    const struct {
        const char *what;
        void (*change)(const std::string &path, const std::string &other);
        bool first_unit_as_loaded;  // xin.0, at the start of the audio
        bool last_unit_as_loaded;   // xin.3, at the end of the file
    } cases[] = {
        {"deleted", [](const std::string &path, const std::string &) { std::filesystem::remove(path); }, true, true},
        {"cut short by 5 bytes",
         [](const std::string &path, const std::string &) {
             std::filesystem::resize_file(path, std::filesystem::file_size(path) - 5);
         },
         true, false},
        {"cut to nothing", [](const std::string &path, const std::string &) { std::filesystem::resize_file(path, 0); },
         false, false},
        {"renamed over by another voice",
         [](const std::string &path, const std::string &other) { std::filesystem::rename(other, path); }, true, true},
        {"replaced by a FIFO",
         [](const std::string &path, const std::string &) {
             std::filesystem::remove(path);
             ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
         },
         true, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = write_voice({{"xin", 10}});
        ASSERT_EQ(voice_select(path.c_str()), 0);
        const std::string other = dir.file("other.dat");
        {
            std::vector<VoiceUnitData> units;
            for (int position = 0; position < 4; position++)
                units.push_back({"xin." + std::to_string(position), std::vector<uint8_t>(10, 0x77)});
            std::string error;
            ASSERT_EQ(voice_write(other.c_str(), VoiceFileHeader{}, units, VoiceByteOrder::Little, &error), 0) << error;
        }
        c.change(path, other);
        unsigned char buffer[16];
        testing::internal::CaptureStdout();
        EXPECT_EQ(unit_exists("xin.1"), 0);  // the index is in memory
        const int first = get_unit_audio("xin.0", buffer, sizeof buffer);
        const std::vector<unsigned char> first_bytes(buffer, buffer + std::max(first, 0));
        const int last = get_unit_audio("xin.3", buffer, sizeof buffer);
        const std::vector<unsigned char> last_bytes(buffer, buffer + std::max(last, 0));
        testing::internal::GetCapturedStdout();
        if (c.first_unit_as_loaded) {
            ASSERT_EQ(first, 10);
            EXPECT_EQ(first_bytes, expected_bytes("xin.0", 10));
        } else {
            EXPECT_EQ(first, -1);
        }
        if (c.last_unit_as_loaded) {
            ASSERT_EQ(last, 10);
            EXPECT_EQ(last_bytes, expected_bytes("xin.3", 10));
        } else {
            EXPECT_EQ(last, -1);
        }
        voice_release_current();
        std::filesystem::remove(path);
        std::filesystem::remove(other);
    }
}

TEST_F(UnitLookupTest, AFileWrittenOverInPlaceGivesWhatLiesAtTheOffsets) {
    const std::string path = write_voice({{"xin", 10}});
    ASSERT_EQ(voice_select(path.c_str()), 0);
    const int32_t offset = current_voice()->units[0].offset;  // xin.0
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(offset);
        file.write("0123456789", 10);
    }
    unsigned char buffer[16];
    testing::internal::CaptureStdout();
    EXPECT_EQ(get_unit_audio("xin.0", buffer, sizeof buffer), 10);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buffer), 10), "0123456789");
}

TEST(VoiceUnitAudio, NegativeStoredSizeFails) {
    ScratchDir dir;
    const std::string path = dir.file("audio");
    std::ofstream(path, std::ios::binary) << std::string(64, 'a');
    MemoryVoice memory({"xin.0"});
    memory.voice->units[0].size = -1;
    memory.voice->audio_file = open_regular_file(path.c_str());
    ASSERT_GE(memory.voice->audio_file, 0);
    memory.voice->has_audio_file = true;  // closed by voice_free
    unsigned char buffer[16];
    EXPECT_EQ(voice_unit_audio(memory.voice, "xin.0", buffer, sizeof buffer), -1);
}

// An index built in memory has no file behind it: its units are found, and their fetches fail.
TEST(VoiceUnitAudio, AnIndexWithoutAFileFetchesNothing) {
    MemoryVoice memory({"xin.0"});
    memory.voice->units[0].size = 4;
    unsigned char buffer[16];
    testing::internal::CaptureStdout();
    EXPECT_EQ(cst_find_word(memory.voice, "xin.0"), 0);
    EXPECT_EQ(voice_unit_audio(memory.voice, "xin.0", buffer, sizeof buffer), -1);
    testing::internal::GetCapturedStdout();
}

}  // namespace

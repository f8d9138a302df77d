// Loading voice files: byte orders, the name rewrite, malformed files, and voice selection.
#include "voice/voice_file.h"
#include "voice/voice_writer.h"

#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// Little-endian file bytes built field by field, for files the writer refuses to produce.
struct RawFile {
    std::vector<uint8_t> bytes;
    RawFile &text(const std::string &s) {
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    RawFile &int16(int value) {
        bytes.push_back(static_cast<uint8_t>(value & 0xff));
        bytes.push_back(static_cast<uint8_t>((value >> 8) & 0xff));
        return *this;
    }
    RawFile &string(const std::string &s) { return int16(static_cast<int>(s.size())).text(s); }
    RawFile &header(int sample_rate, int channels, int syllables) {
        text(kVoiceMagic).int16(1).string("a").string("b").int16(7).string("c").string("d").string("e");
        return int16(sample_rate).int16(channels).int16(syllables);
    }
    RawFile &unit(const std::string &name, int size) {
        string(name).int16(size);
        bytes.insert(bytes.end(), static_cast<size_t>(size > 0 ? size : 0), 0x5a);
        return *this;
    }
};

void write_bytes(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<VoiceUnitData> units_of(const std::vector<std::string> &syllables) {
    std::vector<VoiceUnitData> units;
    for (const std::string &syllable : syllables) {
        for (int position = 0; position < 4; position++) {
            const std::string name = syllable + "." + std::to_string(position);
            units.push_back({name, std::vector<uint8_t>(name.begin(), name.end())});
        }
    }
    return units;
}

VoiceFileHeader test_header() {
    VoiceFileHeader header;
    header.header_text_1 = "speaker";
    header.header_text_2 = "";
    header.header_value = -3;
    header.header_text_3 = "three";
    header.header_text_4 = "four";
    header.header_text_5 = "five";
    header.sample_rate = 22050;
    header.channels = 2;
    return header;
}

std::vector<std::string> index_names(const VoiceDatabase &voice) {
    std::vector<std::string> names;
    for (int i = 0; i < voice.unit_count; i++) names.push_back(voice.units[i].name);
    return names;
}

struct VoiceFileTest : testing::Test {
    ScratchDir dir;
    void TearDown() override { voice_release_current(); }

    std::string write_voice(const std::string &file, const std::vector<VoiceUnitData> &units,
                            VoiceByteOrder order = VoiceByteOrder::Little) {
        const std::string path = dir.file(file);
        std::string error;
        EXPECT_EQ(voice_write(path.c_str(), test_header(), units, order, &error), 0) << error;
        return path;
    }
};

TEST(UnitNameRewrite, PlainLettersBecomeAsciiForm) {
    const struct {
        const char *stored;
        const char *rewritten;
    } cases[] = {
        {"choosng", "cho)'ng"}, {"aaa", "a)a"},         {"tra", "tra"},     {"bar", "ba?"},
        {"ddi", "d!i"},         {"sa", "sa"},           {"", ""},           {"d", "d"},
        {"trr", "tr?"},         {"ttr", "tt?"},         {"xinj0", "xin.0"}, {"vieejtj2", "vie).t.2"},
        {"wfjx", "w`.~"},       {"eeoo", "e)o)"},       {"XIN.0", "XIN.0"}, {"ae", "ae"},
    };
    for (const auto &c : cases) {
        std::vector<char> name(c.stored, c.stored + std::strlen(c.stored) + 1);
        rewrite_unit_name(name.data());
        EXPECT_STREQ(name.data(), c.rewritten) << c.stored;
    }
}

TEST(VoiceWriter, PlainNamesRoundTripThroughTheRewrite) {
    const struct {
        const char *ascii;
        const char *plain;  // nullptr: the rewrite cannot produce the name
    } cases[] = {
        {"vie).t.2", "vieejtj2"}, {"d!i.0", "ddij0"}, {"xin.0", "xinj0"}, {"cho)'ng.1", "choosngj1"},
        {"tra.3", "traj3"},       {"ba?.0", "barj0"}, {"a)a", "aaa"},     {"ax.0", nullptr},
        {"aa.0", nullptr},        {"t?a.0", nullptr}, {"b).0", nullptr},  {"ad.0", nullptr},
    };
    for (const auto &c : cases) {
        std::string plain;
        if (c.plain) {
            EXPECT_EQ(plain_unit_name(c.ascii, &plain), 0) << c.ascii;
            EXPECT_EQ(plain, c.plain) << c.ascii;
        } else {
            EXPECT_EQ(plain_unit_name(c.ascii, &plain), -1) << c.ascii;
        }
    }
}

TEST(VoiceWriter, RefusesWhatTheFormatCannotHold) {
    std::vector<uint8_t> bytes;
    std::string error;
    std::vector<VoiceUnitData> three = units_of({"xin"});
    three.pop_back();
    EXPECT_EQ(voice_file_bytes(test_header(), three, VoiceByteOrder::Little, &bytes, &error), -1);
    EXPECT_NE(error.find("not 4 x syllables"), std::string::npos) << error;

    std::vector<VoiceUnitData> big = units_of({"xin"});
    big[2].bytes.assign(32768, 0);
    EXPECT_EQ(voice_file_bytes(test_header(), big, VoiceByteOrder::Little, &bytes, &error), -1);
    EXPECT_NE(error.find("32767"), std::string::npos) << error;

    std::vector<VoiceUnitData> bad_name = units_of({"ax"});
    EXPECT_EQ(voice_file_bytes(test_header(), bad_name, VoiceByteOrder::Little, &bytes, &error), -1);
    EXPECT_NE(error.find("ax.0"), std::string::npos) << error;

    std::vector<VoiceUnitData> too_many(4 * (kVoiceMaxSyllables + 1), VoiceUnitData{"a.0", {}});
    EXPECT_EQ(voice_file_bytes(test_header(), too_many, VoiceByteOrder::Little, &bytes, &error), -1);
}

TEST_F(VoiceFileTest, BothByteOrdersGiveTheSameVoice) {
    const auto units = units_of({"vie).t", "d!i", "xin", "cho)'ng", "ba?"});
    VoiceDatabase *little = voice_load(write_voice("le.dat", units, VoiceByteOrder::Little).c_str());
    VoiceDatabase *big = voice_load(write_voice("be.dat", units, VoiceByteOrder::Big).c_str());
    ASSERT_NE(little, nullptr);
    ASSERT_NE(big, nullptr);
    for (const VoiceDatabase *voice : {little, big}) {
        EXPECT_STREQ(voice->header_text_1, "speaker");
        EXPECT_STREQ(voice->header_text_2, "");
        EXPECT_EQ(voice->header_value, -3);
        EXPECT_STREQ(voice->header_text_5, "five");
        EXPECT_EQ(voice->sample_rate, 22050);
        EXPECT_EQ(voice->channels, 2);
        EXPECT_EQ(voice->syllable_count, 5);
        EXPECT_EQ(voice->unit_count, 20);
    }
    ASSERT_EQ(index_names(*little), index_names(*big));
    for (int i = 0; i < little->unit_count; i++) {
        EXPECT_EQ(little->units[i].size, big->units[i].size);
        EXPECT_EQ(little->units[i].offset, big->units[i].offset);
    }
    EXPECT_EQ(little->units[0].name, std::string("ba?.0"));
    voice_free(little);
    voice_free(big);
}

TEST_F(VoiceFileTest, RecordsInAnyOrderGiveOneSortedIndex) {
    auto units = units_of({"xin", "cha`o", "a)n", "~a", "ba?"});
    VoiceDatabase *sorted = voice_load(write_voice("sorted.dat", units).c_str());
    std::swap(units[0], units[19]);
    std::swap(units[3], units[11]);
    std::reverse(units.begin() + 5, units.end());
    VoiceDatabase *shuffled = voice_load(write_voice("shuffled.dat", units).c_str());
    ASSERT_NE(sorted, nullptr);
    ASSERT_NE(shuffled, nullptr);
    const auto names = index_names(*shuffled);
    EXPECT_EQ(names, index_names(*sorted));
    for (size_t i = 1; i < names.size(); i++) EXPECT_LT(std::strcmp(names[i - 1].c_str(), names[i].c_str()), 0);
    // Unsigned byte order: "~" (0x7e) sorts after letters.
    EXPECT_EQ(names.back(), "~a.3");
    voice_free(sorted);
    voice_free(shuffled);
}

TEST_F(VoiceFileTest, ZeroSyllablesIsAnEmptyVoice) {
    const std::string path = write_voice("empty.dat", {});
    ASSERT_EQ(voice_select(path.c_str()), 0);
    ASSERT_NE(current_voice(), nullptr);
    EXPECT_EQ(current_voice()->unit_count, 0);
    EXPECT_EQ(voice_sample_rate(), 22050);
    EXPECT_EQ(voice_channels(), 2);
}

TEST_F(VoiceFileTest, DataAfterTheLastRecordIsIgnored) {
    std::vector<uint8_t> bytes;
    ASSERT_EQ(voice_file_bytes(test_header(), units_of({"xin"}), VoiceByteOrder::Little, &bytes), 0);
    bytes.insert(bytes.end(), {0xff, 0xff, 0x01});
    write_bytes(dir.file("tail.dat"), bytes);
    EXPECT_EQ(voice_select(dir.file("tail.dat").c_str()), 0);
}

// A file that breaks the format is refused, and the voice that was current goes on speaking.
TEST_F(VoiceFileTest, MalformedFilesAreRefusedAndTheVoiceStays) {
    std::vector<uint8_t> valid;
    const auto units = units_of({"xin", "cha`o"});
    ASSERT_EQ(voice_file_bytes(test_header(), units, VoiceByteOrder::Little, &valid), 0);
    // Offsets where each record starts (and where the file ends).
    std::vector<size_t> record_starts;
    size_t at = valid.size();
    for (auto it = units.rbegin(); it != units.rend(); ++it) {
        std::string plain;
        plain_unit_name(it->name, &plain);
        at -= 2 + plain.size() + 2 + it->bytes.size();
        record_starts.insert(record_starts.begin(), at);
    }

    struct Case {
        std::string label;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    auto magic_only = RawFile().text(kVoiceMagic).bytes;
    cases.push_back({"empty file", {}});
    cases.push_back({"only the 19 magic bytes", magic_only});
    cases.push_back({"mark 01 01", RawFile().text(kVoiceMagic).int16(0x0101).bytes});
    cases.push_back({"mark 00 00", RawFile().text(kVoiceMagic).int16(0).bytes});
    cases.push_back({"one mark byte", RawFile().text(kVoiceMagic).text("\x01").bytes});
    auto bad_magic = valid;
    bad_magic[12] = 'X';
    cases.push_back({"bad magic", bad_magic});
    auto zero_in_magic = valid;
    zero_in_magic[18] = 0;
    cases.push_back({"zero byte in magic", zero_in_magic});
    cases.push_back({"header text length -1", RawFile().text(kVoiceMagic).int16(1).int16(-1).text("abc").bytes});
    cases.push_back({"header text length -2", RawFile().text(kVoiceMagic).int16(1).int16(-2).text("abc").bytes});
    cases.push_back({"header text past the end", RawFile().text(kVoiceMagic).int16(1).int16(50).text("abc").bytes});
    cases.push_back({"unit name length -1", RawFile().header(16000, 1, 1).int16(-1).bytes});
    cases.push_back({"10001 syllables", RawFile().header(16000, 1, 10001).unit("a", 1).bytes});
    cases.push_back({"negative syllables", RawFile().header(16000, 1, -1).bytes});
    cases.push_back({"sample rate 0", RawFile().header(0, 1, 0).bytes});
    cases.push_back({"negative sample rate", RawFile().header(-8000, 1, 0).bytes});
    cases.push_back({"channels 0", RawFile().header(16000, 0, 0).bytes});
    auto negative_size = RawFile().header(16000, 1, 1).unit("a.0", 1).unit("a.1", 1).unit("a.2", 1);
    negative_size.string("a.3").int16(-5);
    cases.push_back({"negative unit size", negative_size.bytes});
    cases.push_back({"header without syllable count", RawFile().header(16000, 1, 0).bytes});
    cases.back().bytes.resize(cases.back().bytes.size() - 1);
    for (size_t r = 0; r < record_starts.size(); r++) {
        cases.push_back({"cut before record " + std::to_string(r),
                         std::vector<uint8_t>(valid.begin(), valid.begin() + static_cast<long>(record_starts[r]))});
        cases.push_back({"cut inside record " + std::to_string(r),
                         std::vector<uint8_t>(valid.begin(), valid.begin() + static_cast<long>(record_starts[r]) + 3)});
    }
    cases.push_back({"last unit one byte short", std::vector<uint8_t>(valid.begin(), valid.end() - 1)});

    const std::string good = write_voice("good.dat", units);
    ASSERT_EQ(voice_select(good.c_str()), 0);
    const VoiceDatabase *kept = current_voice();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        const std::string path = dir.file("bad.dat");
        write_bytes(path, c.bytes);
        testing::internal::CaptureStderr();
        EXPECT_EQ(voice_load(path.c_str()), nullptr);
        EXPECT_EQ(voice_select(path.c_str()), -1);
        EXPECT_EQ(current_voice(), kept);
        EXPECT_EQ(voice_sample_rate(), 22050);
        EXPECT_EQ(voice_channels(), 2);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }
    EXPECT_EQ(voice_select(dir.file("missing.dat").c_str()), -1);
    EXPECT_EQ(voice_select(nullptr), -1);
    EXPECT_EQ(current_voice(), kept);
    EXPECT_STREQ(current_voice()->path, good.c_str());

    // With no voice, a failed select leaves none.
    voice_release_current();
    EXPECT_EQ(voice_select(dir.file("missing.dat").c_str()), -1);
    EXPECT_EQ(current_voice(), nullptr);
    EXPECT_EQ(voice_sample_rate(), -1);
    EXPECT_EQ(voice_channels(), -1);
}

TEST_F(VoiceFileTest, IdenticalPathIsNotReloaded) {
    const std::string path = write_voice("voice.dat", units_of({"xin"}));
    ASSERT_EQ(voice_select(path.c_str()), 0);
    const VoiceDatabase *first = current_voice();
    write_voice("voice.dat", units_of({"xin", "cha`o"}));
    EXPECT_EQ(voice_select(path.c_str()), 0);
    EXPECT_EQ(current_voice(), first);
    EXPECT_EQ(current_voice()->unit_count, 4);

    const std::string respelled = dir.path + "/./voice.dat";
    EXPECT_EQ(voice_select(respelled.c_str()), 0);
    EXPECT_EQ(current_voice()->unit_count, 8);
    EXPECT_STREQ(current_voice()->path, respelled.c_str());
}

TEST_F(VoiceFileTest, SelectingFromSeveralThreadsLeavesOneWholeVoice) {
    const std::string one = write_voice("one.dat", units_of({"xin"}));
    const std::string two = write_voice("two.dat", units_of({"xin", "cha`o"}));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 20; i++) voice_select(((i + t) % 2 ? one : two).c_str());
        });
    }
    for (auto &thread : threads) thread.join();
    ASSERT_NE(current_voice(), nullptr);
    const int units = current_voice()->unit_count;
    EXPECT_TRUE(units == 4 || units == 8) << units;
}

TEST(MustAlloc, RefusesWithoutEndingTheProcess) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(must_alloc(-4), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "alloc: asked for negative size -4\n");
    void *block = must_alloc(0);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(*static_cast<unsigned char *>(block), 0);
    std::free(block);
}

}  // namespace

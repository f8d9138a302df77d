// Unit names and the syllable parse that decides the short pauses around a unit.
#include "lexicon/unit_name.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_voice.h"
#include "voice/voice_file.h"

namespace {

struct NameCase {
    std::u16string word;
    int position;
    const char *name;  // null when the word has no name
    const char *onset;
    const char *final_consonant;
    bool pause_before;
    bool pause_after;
};

TEST(UnitName, NamesAndSyllableParse) {
    const NameCase cases[] = {
        {u"Việt", 2, "vie).t.2", "v", "t", false, true},
        {u"thắt", 0, "tha('t.0", "th", "t", true, true},
        {u"nghiêng", 3, "nghie)ng.3", "ngh", "ng", false, false},
        {u"phím", 1, "phi'm.1", "ph", "m", true, false},
        {u"pin", 0, "pin.0", "p", "n", false, false},
        {u"a", 0, "a.0", "", "", false, false},
        {u"gì", 0, "gi`.0", "gi", "", false, false},
        {u"đi", 0, "d!i.0", "d", "", false, false},
        {u"sách", 0, "sa'ch.0", "s", "ch", true, true},
        {u"xin", 1, "xin.1", "x", "n", true, false},
        {u"chào", 3, "cha`o.3", "ch", "", true, false},
        {u"qua", 0, "qua.0", "qu", "", true, false},
        {u"khóc", 0, "kho'c.0", "kh", "c", true, true},
        {u"trăm", 0, "tra(m.0", "tr", "m", true, false},
        {u"hợp", 0, "ho(.p.0", "h", "p", true, true},
        {u"ăn", 0, "a(n.0", "", "n", false, false},
        {u"TP", 0, "tp.0", "t", "p", true, true},
        {u"xoong", 1, "xoOng.1", "x", "ng", true, false},
        {u"Soóc", 0, "soO'c.0", "s", "c", true, true},
        {u"€", 0, nullptr, "", "", false, false},
    };
    for (const NameCase &c : cases) {
        char name[kUnitNameCapacity];
        int result = make_unit_name(c.word.c_str(), c.position, name, sizeof name);
        if (!c.name) {
            EXPECT_EQ(result, -1);
            continue;
        }
        ASSERT_EQ(result, 0) << c.name;
        EXPECT_STREQ(name, c.name);
        parse_syllable(name);
        EXPECT_STREQ(syllable_onset(), c.onset) << c.name;
        EXPECT_STREQ(syllable_final(), c.final_consonant) << c.name;
        EXPECT_EQ(onset_needs_pause(), c.pause_before) << c.name;
        EXPECT_EQ(final_needs_pause(), c.pause_after) << c.name;
    }
}

TEST(UnitName, NameThatDoesNotFitIsRefused) {
    char name[6];
    EXPECT_EQ(make_unit_name(u"xin", 0, name, sizeof name), 0);
    EXPECT_EQ(make_unit_name(u"nghiêng", 0, name, sizeof name), -1);
}

// Dictionary readings are AsciiForm: a syllable of seven letters or fewer is known however many
// signs it carries; any other word of more than seven characters never is.
TEST(UnitName, AsciiFormSyllablesCountTheirLettersOnly) {
    ScratchDir dir;
    ASSERT_EQ(voice_select(build_test_voice(dir, {"tru(o(`ng", "nghie)~ng", "xin"}).c_str()), 0);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(is_known_unit(u"tru(o(`ng"));
    EXPECT_TRUE(is_known_unit(u"trường"));
    EXPECT_TRUE(is_known_unit(u"nghie)~ng"));
    EXPECT_TRUE(is_known_unit(u"NGHIE)~NG"));
    EXPECT_FALSE(is_known_unit(u"xinxinxin"));  // nine letters
    EXPECT_FALSE(is_known_unit(u"tru(o(`ngg"));
    EXPECT_FALSE(is_known_unit(u"trường\u0301\u0301"));  // not ASCII
    EXPECT_FALSE(is_known_unit(u"a'"));  // longer than any AsciiForm
    char name[kUnitNameCapacity];
    EXPECT_EQ(known_unit_name(u"tru(o(`ng", 2, name, sizeof name), 0);
    EXPECT_STREQ(name, "tru(o(`ng.2");
    testing::internal::GetCapturedStdout();
    voice_release_current();
}

TEST(UnitName, WithoutAVoiceNoWordIsKnown) {
    EXPECT_FALSE(is_known_unit(u"xin"));
    EXPECT_FALSE(is_known_unit(u"abcdefgh"));
}

}  // namespace

// Tests of the built-in pronunciation dictionaries: the shape of the generated tables, the
// binary search over them, and the rows the normalization depends on.
#include "lexicon/dictionary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct NamedDictionary {
    const char *name;
    const Dictionary *dictionary;
    const char *(*lookup)(const char *);
};

const NamedDictionary kDictionaries[] = {
    {"abbreviation", &abbreviation_dictionary, lookup_abbreviation},
    {"foreign_word", &foreign_word_dictionary, lookup_foreign_word},
};

std::set<std::string> load_syllables() {
    std::set<std::string> syllables;
    std::ifstream in(VELORIN_SYLLABLES_PATH);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] != '#') syllables.insert(line);
    }
    return syllables;
}

std::vector<std::string> split_reading(const char *reading) {
    std::vector<std::string> out;
    std::istringstream words(reading);
    std::string word;
    while (words >> word) out.push_back(word);
    return out;
}

TEST(DictionaryTables, KeysStrictlyIncreaseInUnsignedByteOrder) {
    for (const NamedDictionary &d : kDictionaries) {
        SCOPED_TRACE(d.name);
        ASSERT_GT(d.dictionary->entry_count, 0u);
        for (uint32_t i = 1; i < d.dictionary->entry_count; ++i) {
            const char *before = dictionary_key(*d.dictionary, i - 1);
            const char *after = dictionary_key(*d.dictionary, i);
            ASSERT_LT(std::strcmp(before, after), 0) << before << " / " << after;
        }
    }
}

TEST(DictionaryTables, ForeignKeysAreLowerCaseLettersOnly) {
    const Dictionary &d = foreign_word_dictionary;
    for (uint32_t i = 0; i < d.entry_count; ++i) {
        std::string key = dictionary_key(d, i);
        ASSERT_GE(key.size(), 1u);
        ASSERT_LE(key.size(), 33u) << key;
        ASSERT_EQ(key.find_first_not_of("abcdefghijklmnopqrstuvwxyz"), std::string::npos) << key;
    }
}

TEST(DictionaryTables, AbbreviationKeysUseTheAllowedCharactersAndLengths) {
    const Dictionary &d = abbreviation_dictionary;
    for (uint32_t i = 0; i < d.entry_count; ++i) {
        std::string key = dictionary_key(d, i);
        ASSERT_GE(key.size(), 2u) << key;
        ASSERT_LE(key.size(), 11u) << key;
        // "/" too, for units such as km/h.
        ASSERT_EQ(key.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789!&'()+-.?`/"),
                  std::string::npos)
            << key;
    }
}

TEST(DictionaryTables, ReadingsAreSyllablesOfTheInventory) {
    std::set<std::string> syllables = load_syllables();
    ASSERT_GT(syllables.size(), 6000u) << "cannot read " << VELORIN_SYLLABLES_PATH;
    ASSERT_LE(syllables.size(), 10000u);
    for (const NamedDictionary &d : kDictionaries) {
        SCOPED_TRACE(d.name);
        for (uint32_t i = 0; i < d.dictionary->entry_count; ++i) {
            const char *key = dictionary_key(*d.dictionary, i);
            const char *reading = dictionary_reading(*d.dictionary, i);
            std::vector<std::string> words = split_reading(reading);
            for (const std::string &word : words) {
                ASSERT_TRUE(syllables.count(word)) << key << ": '" << word << "'";
            }
            // Silence is for lone letters only: a word a reader expects to hear has a reading.
            if (words.empty()) {
                ASSERT_EQ(std::strlen(key), 1u) << key;
            }
        }
    }
}

TEST(DictionaryLookup, FindsEveryKeyOfBothTables) {
    for (const NamedDictionary &d : kDictionaries) {
        SCOPED_TRACE(d.name);
        for (uint32_t i = 0; i < d.dictionary->entry_count; ++i) {
            const char *key = dictionary_key(*d.dictionary, i);
            ASSERT_EQ(d.lookup(key), dictionary_reading(*d.dictionary, i)) << key;
        }
    }
}

TEST(DictionaryLookup, MissesOutsideAndBetweenTheKeys) {
    for (const NamedDictionary &d : kDictionaries) {
        SCOPED_TRACE(d.name);
        const Dictionary &t = *d.dictionary;
        std::string first = dictionary_key(t, 0);
        std::string last = dictionary_key(t, t.entry_count - 1);
        EXPECT_EQ(d.lookup(""), nullptr);
        EXPECT_EQ(d.lookup("!"), nullptr);          // below every key
        EXPECT_EQ(d.lookup((last + "z").c_str()), nullptr);  // above the last
        EXPECT_EQ(d.lookup("\xff"), nullptr);       // a high byte sorts last, unsigned
        EXPECT_EQ(d.lookup((first + "!").c_str()), nullptr);  // just after the first
        EXPECT_EQ(d.lookup(nullptr), nullptr);
    }
    EXPECT_EQ(lookup_abbreviation("khc"), nullptr);
    EXPECT_EQ(lookup_abbreviation("khcn&m"), nullptr);
    EXPECT_EQ(lookup_foreign_word("googl"), nullptr);
    EXPECT_EQ(lookup_foreign_word("caf\xe9"), nullptr);
    EXPECT_EQ(lookup_abbreviation("caf\xe9"), nullptr);
}

TEST(DictionaryLookup, EmptyTableMissesEverything) {
    static const char text[] = "";
    static const uint32_t offsets[] = {0};
    const Dictionary empty = {0, text, offsets, offsets};
    EXPECT_EQ(dictionary_lookup(empty, ""), nullptr);
    EXPECT_EQ(dictionary_lookup(empty, "a"), nullptr);
}

TEST(DictionaryLookup, SmallTablesFindEveryKeyAndNothingElse) {
    // Sizes 1 to 5 cover the last steps of the search: two candidates, one, none.
    static const char text[] = "b\0" "1\0" "d\0" "2\0" "f\0" "3\0" "h\0" "4\0" "j\0" "5";
    static const uint32_t keys[] = {0, 4, 8, 12, 16};
    static const uint32_t readings[] = {2, 6, 10, 14, 18};
    for (uint32_t n = 1; n <= 5; ++n) {
        SCOPED_TRACE(n);
        const Dictionary d = {n, text, keys, readings};
        for (uint32_t i = 0; i < n; ++i) {
            EXPECT_STREQ(dictionary_lookup(d, dictionary_key(d, i)), dictionary_reading(d, i));
        }
        for (const char *miss : {"a", "c", "e", "g", "i", "k", "bb", ""}) {
            EXPECT_EQ(dictionary_lookup(d, miss), nullptr) << miss;
        }
    }
}

struct TellingRow {
    const char *(*lookup)(const char *);
    const char *key;
    const char *reading;  // nullptr: a miss
};

TEST(DictionaryLookup, TellingRows) {
    const TellingRow rows[] = {
        {lookup_abbreviation, "0phi'm", "phi'm kho)ng"},
        {lookup_abbreviation, "9phi'm", "phi'm chi'n"},
        {lookup_abbreviation, "chlb", "co).ng ho`a lie)n bang"},
        {lookup_abbreviation, "cm2", "xa(ng ti me't vuo)ng"},
        {lookup_abbreviation, "k+", "ca co).ng"},
        {lookup_abbreviation, "khcn", "khoa ho.c co)ng nghe)."},
        {lookup_abbreviation, "khcn&mt", "khoa ho.c co)ng nghe). va` mo)i tru(o(`ng"},
        {lookup_abbreviation, "lhtn", "lie)n hie).p thanh nie)n"},
        {lookup_abbreviation, "pctp", "pho`ng cho)'ng to).i pha.m"},
        {lookup_abbreviation, "tp.hcm", "tha`nh pho)' ho)` chi' minh"},
        {lookup_abbreviation, "usd", "u e't d!e)"},
        {lookup_abbreviation, "wi-fi", "oai phai"},
        {lookup_abbreviation, "zero", "de) ro)"},
        {lookup_abbreviation, "cnn", "xi en en"},
        {lookup_abbreviation, "bbc", "bi bi xi"},
        {lookup_abbreviation, "kg", "ki lo) gam"},
        {lookup_abbreviation, "km/h", "ki lo) me't tre)n gio(`"},
        {lookup_abbreviation, "viet", "vie).t"},
        {lookup_abbreviation, "google", nullptr},
        {lookup_foreign_word, "a", ""},
        {lookup_foreign_word, "aaron", "e ra)'n"},
        {lookup_foreign_word, "bbc", "bi bi xi"},
        {lookup_foreign_word, "google", "gu.c ga)n"},
        {lookup_foreign_word, "hello", "ha)n la)u"},
        {lookup_foreign_word, "laferriere", "le'p pho(i e"},
        {lookup_foreign_word, "microsoft", "mai co(` ro)'t xo.p"},
        {lookup_foreign_word, "the", "d!o)"},
        {lookup_foreign_word, "windows", "ui in d!o)'t"},
        {lookup_foreign_word, "zywicki", "siu i'ch ky"},
        {lookup_foreign_word, "cnn", "xi en en"},
        {lookup_foreign_word, "Google", nullptr},  // keys are lower case
    };
    for (const TellingRow &row : rows) {
        const char *got = row.lookup(row.key);
        if (row.reading == nullptr) {
            EXPECT_EQ(got, nullptr) << row.key;
        } else {
            ASSERT_NE(got, nullptr) << row.key;
            EXPECT_STREQ(got, row.reading) << row.key;
        }
    }
}

TEST(DictionaryTables, FirstAndLastEntries) {
    const Dictionary &a = abbreviation_dictionary;
    EXPECT_STREQ(dictionary_key(a, 0), "0phi'm");
    EXPECT_STREQ(dictionary_key(a, a.entry_count - 1), "zero");
    const Dictionary &f = foreign_word_dictionary;
    EXPECT_STREQ(dictionary_key(f, 0), "a");
    EXPECT_STREQ(dictionary_key(f, f.entry_count - 1), "zywicki");
    EXPECT_GE(a.entry_count, 1000u);
    EXPECT_GE(f.entry_count, 100000u);
}

}  // namespace

#ifdef VELORIN_DICTIONARY_FIXTURE
extern const Dictionary fixture_dictionary;

namespace {

TEST(DictionaryTableTool, SortsByUnsignedBytesAndKeepsTheFirstOfRepeatedKeys) {
    const Dictionary &d = fixture_dictionary;
    const char *expected[][2] = {
        {"B", "capital"}, {"b", "one"}, {"e", ""}, {"khcn", "first of two"},
        {"khcn&mt", "second"}, {"zz", "last"},
    };
    ASSERT_EQ(d.entry_count, sizeof expected / sizeof expected[0]);
    for (uint32_t i = 0; i < d.entry_count; ++i) {
        EXPECT_STREQ(dictionary_key(d, i), expected[i][0]);
        EXPECT_STREQ(dictionary_reading(d, i), expected[i][1]);
        EXPECT_STREQ(dictionary_lookup(d, expected[i][0]), expected[i][1]);
    }
}

}  // namespace
#endif

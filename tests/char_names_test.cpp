// Spelling of single characters and case folding.
#include "textnorm/char_names.h"

#include "lexicon/ascii_form.h"
#include "support/wide_text.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(CharNames, Readings) {
    struct Case {
        const char16_t *text;
        const char16_t *reading;
    };
    const Case cases[] = {
        {u"B", u"bê"},
        {u"b", u"bê"},
        {u"Đ", u"đê"},
        {u"đ", u"đê"},
        {u"Â", u"ớ"},
        {u"Ặ", u"á nặng"},
        {u"Ỹ", u"y dài ngã"},
        {u"W", u"vê đúp"},
        {u"l", u"e lờ"},
        // Vowels without a row read as themselves, folded.
        {u"a", u"a"},
        {u"E", u"e"},
        {u"y", u"y"},
        {u"ó", u"ó"},
        {u"Ó", u"ó"},
        {u"ư", u"ư"},
        {u"@", u"a còng"},
        {u"…", u"ba chấm"},
        {u"`", u"`"},
        {u")", u"đóng ngoặc tròn"},
        {u"\\", u"suộc chéo phải"},
        {u"\"", u"nháy đúp"},
        {u"'", u"nháy đơn"},
        {u"7", u"bảy"},
        {u"Ç", u"Ç"},
        {u"€", u"ơ rô"},
        {u"\u2120", u"\u2120"},  // the service mark has no name
        // Only the first character is read.
        {u"abc", u"a"},
        {u"", u""},
        {nullptr, u""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text ? quote_wide(c.text) : std::string("null"));
        char16_t out[kNormTextCapacity];
        out[0] = u'#';
        EXPECT_EQ(spell_char(c.text, out), static_cast<int>(std::u16string(c.reading).size()));
        EXPECT_WIDE_EQ(out, c.reading);
    }
}

// A row whose character folds to something else could never be reached.
TEST(CharNames, EveryRowIsReachable) {
    std::set<char16_t> seen;
    size_t longest = 0;
    for (const CharName &row : char_name_table) {
        EXPECT_EQ(fold_letter(row.character), row.character) << quote_wide(std::u16string(1, row.character));
        EXPECT_TRUE(seen.insert(row.character).second) << "twice: " << quote_wide(std::u16string(1, row.character));
        const std::u16string reading(row.reading);
        EXPECT_GE(split_words(reading).size(), 1u);
        EXPECT_LE(split_words(reading).size(), 3u);
        longest = std::max(longest, reading.size());
    }
    EXPECT_EQ(longest, 15u);
}

TEST(CharNames, FoldingLowersOnlyTableCapitalsAndAToZ) {
    for (const LetterRow &row : letter_table) {
        EXPECT_EQ(fold_letter(row.capital_letter), row.small_letter);
        EXPECT_EQ(fold_letter(row.small_letter), row.small_letter);
    }
    EXPECT_EQ(fold_letter(u'A'), u'a');
    EXPECT_EQ(fold_letter(u'Z'), u'z');
    for (char16_t c : std::u16string(u"@[`{az09 ÇÖΣДé\u0301")) {
        EXPECT_EQ(fold_letter(c), c) << quote_wide(std::u16string(1, c));
    }

    char16_t text[] = u"ĐƯỜNG Bộ VIỆT Nam 2024! Ç";
    EXPECT_EQ(fold_text(text), text);
    EXPECT_WIDE_EQ(text, u"đường bộ việt nam 2024! Ç");
    EXPECT_EQ(fold_text(nullptr), nullptr);
}

}  // namespace

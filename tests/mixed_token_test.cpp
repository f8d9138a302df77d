// Mixed tokens (a number with a unit or letters), spelling of other tokens, and the limits
// that keep every normalized text inside its buffer.
#include "textnorm/mixed_token.h"

#include "textnorm/norm_text.h"
#include "support/wide_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

namespace {

struct NormBuffer {
    char16_t text[kNormTextCapacity];
    NormBuffer() { std::fill(std::begin(text), std::end(text), u'#'); }
};

std::u16string split(const std::u16string &token) {
    NormBuffer out;
    const int n = split_mixed(token.c_str(), out.text);
    EXPECT_EQ(n, static_cast<int>(std::u16string(out.text).size()));
    return out.text;
}

std::u16string repeated(const std::u16string &piece, size_t times) {
    std::u16string out;
    for (size_t i = 0; i < times; ++i) out += piece;
    return out;
}

TEST(MixedToken, WordsAfterSplitting) {
    struct Case {
        const char16_t *token;
        const char16_t *words;
    };
    const Case cases[] = {
        {u"5kg", u"năm ki lô gam"},
        {u"5KG", u"năm ki lô gam"},
        {u"5Kg", u"năm ki lô gam"},
        {u"10Km", u"mười ki lô mét"},
        {u"100m2", u"một trăm mét vuông"},
        {u"2h", u"hai giờ"},
        {u"30s", u"ba mươi giây"},
        {u"3,5kg", u"ba phẩy năm ki lô gam"},
        {u"220v", u"hai trăm hai mươi vê"},
        {u"5%", u"năm phần trăm"},
        {u"5kgs", u"năm ca gờ sờ"},
        {u"12abc", u"mười hai a bê xê"},
        {u"1.000.000đ", u"một triệu đê"},
        {u"1.5kg", u"một chấm năm ca gờ"},
        {u"5,kg", u"năm phẩy ca gờ"},
        {u",5kg", u"phẩy năm ca gờ"},
        {u"abc", u"a bê xê"},
        {u"a1", u"a một"},
        {u"A4", u"a bốn"},
        {u"x2", u"ích hai"},
        {u"1234567890123", u"một hai ba bốn năm sáu bảy tám chín không một hai ba"},
        {u"123456789012", u"một trăm hai ba tỷ bốn trăm năm sáu triệu bảy trăm tám chín nghìn "
                          u"không trăm mười hai"},
        {u"ĐƯỜNG", u"đê ư ờ nờ gờ"},
        {u"", u""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(quote_wide(c.token));
        const std::u16string out = split(c.token);
        EXPECT_EQ(split_words(out), split_words(c.words))
            << words_utf8(split_words(out)) << " vs " << words_utf8(split_words(c.words));
    }
}

TEST(MixedToken, SpacingOfTheText) {
    // Spelled text opens with a space; a number before a spelled rest leaves two.
    EXPECT_WIDE_EQ(split(u"abc"), u" a bê xê");
    EXPECT_WIDE_EQ(split(u"5kgs"), u"năm  ca gờ sờ");
    EXPECT_WIDE_EQ(split(u"5kg"), u"năm ki lô gam");
    EXPECT_WIDE_EQ(split(u"5"), u"năm ");
    NormBuffer out;
    EXPECT_EQ(split_mixed(nullptr, out.text), 0);
    EXPECT_EQ(out.text[0], 0);
}

TEST(MixedToken, EveryUnitIsReachableInAnyCase) {
    for (const MeasureUnit &unit : measure_table) {
        std::u16string upper(unit.abbreviation);
        for (char16_t &c : upper) c = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
        for (const std::u16string &written : {std::u16string(unit.abbreviation), upper}) {
            EXPECT_WIDE_EQ(split(u"7" + written), u"bảy " + std::u16string(unit.reading));
        }
    }
}

TEST(MixedToken, SpellingStopsAt2028Characters) {
    // " bê" is 3 characters: 676 names fill the limit exactly.
    EXPECT_WIDE_EQ(split(std::u16string(1500, u'b')), repeated(u" bê", 676));
    // " vê đúp" is 7: the 290th name would make 2030.
    EXPECT_WIDE_EQ(split(std::u16string(1500, u'w')), repeated(u" vê đúp", 289));
    // Far too long to be a number, so spelled digit by digit.
    EXPECT_WIDE_EQ(split(std::u16string(5000, u'5')), repeated(u" năm", 507));
}

// The longest number reading in front of a spelled rest passes the buffer; the text is cut
// after the last whole word that fits.
TEST(MixedToken, NumberAndSpelledRestAreCutAtAWordBoundary) {
    const std::u16string leading = u"không trăm không chín";
    const std::u16string group = u"không trăm linh chín";
    const std::u16string number =
        leading + u" tỷ " + group + u" triệu " + group + u" nghìn " + group;
    const std::u16string full =
        number + u" phẩy " + number + u" " + repeated(u" vê đúp", 289);
    ASSERT_GT(full.size(), static_cast<size_t>(kNormTextCapacity - 1));

    const std::u16string out =
        split(u"009009009009,009009009009" + std::u16string(1500, u'w'));
    ASSERT_LE(out.size(), static_cast<size_t>(kNormTextCapacity - 1));
    EXPECT_EQ(full.compare(0, out.size(), out), 0) << "not a prefix: " << quote_wide(out);
    EXPECT_EQ(full[out.size()], u' ') << "a word was split";
    // Nothing more would have fitted: no word ends between the cut and the limit.
    EXPECT_EQ(full.find(u' ', out.size() + 1) > static_cast<size_t>(kNormTextCapacity - 1), true);
    EXPECT_EQ(split_words(out).back(), u"đúp");
}

TEST(NormText, FormatsFillLeftToRightAndCutAtWords) {
    char16_t out[32];
    EXPECT_EQ(fill_format(out, 32, u"%s trăm linh %s", {u"ba", u"tám"}), 16);
    EXPECT_WIDE_EQ(out, u"ba trăm linh tám");
    EXPECT_EQ(fill_format(out, 32, u"%s-%s-%s", {u"a", u"b"}), 4);
    EXPECT_WIDE_EQ(out, u"a-b-");
    EXPECT_EQ(fill_format(out, 32, u"5%d %", {}), 5);
    EXPECT_WIDE_EQ(out, u"5%d %");

    // Exactly full, then one short: the last word goes whole.
    EXPECT_EQ(fill_format(out, 10, u"%s %s", {u"abcd", u"efgh"}), 9);
    EXPECT_WIDE_EQ(out, u"abcd efgh");
    EXPECT_EQ(fill_format(out, 9, u"%s %s", {u"abcd", u"efgh"}), 4);
    EXPECT_WIDE_EQ(out, u"abcd");
    // A space arriving at the limit keeps the word before it.
    EXPECT_EQ(fill_format(out, 5, u"%s %s", {u"abcd", u"efgh"}), 4);
    EXPECT_WIDE_EQ(out, u"abcd");
    // One word longer than the room leaves nothing.
    EXPECT_EQ(fill_format(out, 4, u"%s", {u"abcdef"}), 0);
    EXPECT_WIDE_EQ(out, u"");
    EXPECT_EQ(fill_format(out, 0, u"%s", {u"a"}), 0);
}

}  // namespace

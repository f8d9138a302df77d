// AsciiForm conversions and the 8-bit steps used for unit names and dictionary keys.
#include "lexicon/ascii_form.h"

#include "support/wide_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

TEST(LetterTable, EveryRowInOrderWithItsCapitalAndForm) {
    const std::u16string smalls =
        u"áàảãạâấầẩẫậăắằẳẵặđéèẻẽẹêếềểễệíìỉĩịóòỏõọôốồổỗộơớờởỡợúùủũụưứừửữựýỳỷỹỵ";
    const std::u16string capitals =
        u"ÁÀẢÃẠÂẤẦẨẪẬĂẮẰẲẴẶĐÉÈẺẼẸÊẾỀỂỄỆÍÌỈĨỊÓÒỎÕỌÔỐỒỔỖỘƠỚỜỞỠỢÚÙỦŨỤƯỨỪỬỮỰÝỲỶỸỴ";
    const std::vector<std::u16string> forms = split_words(
        u"a' a` a? a~ a. a) a)' a)` a)? a)~ a). a( a(' a(` a(? a(~ a(. d! "
        u"e' e` e? e~ e. e) e)' e)` e)? e)~ e). i' i` i? i~ i. "
        u"o' o` o? o~ o. o) o)' o)` o)? o)~ o). o( o(' o(` o(? o(~ o(. "
        u"u' u` u? u~ u. u( u(' u(` u(? u(~ u(. y' y` y? y~ y.");
    ASSERT_EQ(smalls.size(), static_cast<size_t>(kLetterTableRows));
    ASSERT_EQ(capitals.size(), static_cast<size_t>(kLetterTableRows));
    ASSERT_EQ(forms.size(), static_cast<size_t>(kLetterTableRows));
    for (int i = 0; i < kLetterTableRows; ++i) {
        const LetterRow &row = letter_table[i];
        EXPECT_EQ(row.small_letter, smalls[i]) << "row " << i;
        EXPECT_EQ(row.capital_letter, capitals[i]) << "row " << i;
        char16_t out[kLetterAsciiCapacity];
        EXPECT_EQ(letter_to_ascii(row.small_letter, out), static_cast<int>(forms[i].size()));
        EXPECT_WIDE_EQ(out, forms[i]);
        EXPECT_EQ(letter_to_ascii(row.capital_letter, out), static_cast<int>(forms[i].size()));
        EXPECT_WIDE_EQ(out, forms[i]);
    }
}

TEST(LetterTable, LettersOutsideTheTableStandAlone) {
    for (char16_t c : std::u16string(u"aAeEiIoOuUyYbZ0 @`\u00E7\u00C7\u20AC\u0301")) {
        char16_t out[kLetterAsciiCapacity];
        EXPECT_EQ(letter_to_ascii(c, out), 1);
        EXPECT_EQ(out[0], c);
        EXPECT_EQ(out[1], 0);
    }
}

// Both chains: AsciiForm then 8-bit and lower case (unit names).
TEST(AsciiNotation, WordsThroughTheUnitNameChain) {
    struct Case {
        const char16_t *text;
        const char16_t *ascii;
        bool narrows;
        const char *lowered;
    };
    const Case cases[] = {
        {u"Đường Bộ Việt Nam", u"d!u(o(`ng Bo). Vie).t Nam", true, "d!u(o(`ng bo). vie).t nam"},
        {u"Ấ", u"a)'", true, "a)'"},
        {u"ấ", u"a)'", true, "a)'"},
        {u"Đ", u"d!", true, "d!"},
        {u"đ", u"d!", true, "d!"},
        // The notation does not move tone marks: two spellings, two units.
        {u"hòa", u"ho`a", true, "ho`a"},
        {u"hoà", u"hoa`", true, "hoa`"},
        {u"XIN", u"XIN", true, "xin"},
        {u"café", u"cafe'", true, "cafe'"},
        // Latin-1 letters outside the table pass through and are not lowered.
        {u"ç", u"ç", true, "\xE7"},
        {u"Ç", u"Ç", true, "\xC7"},
        // A combining accent is not recognised, and has no 8-bit form.
        {u"a\u0301", u"a\u0301", false, ""},
        {u"ab€", u"ab€", false, ""},
        {u"€ab", u"€ab", false, ""},
        {u"", u"", true, ""},
        {nullptr, u"", true, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text ? quote_wide(c.text) : std::string("null"));
        char16_t ascii[64];
        std::memset(ascii, 0x55, sizeof ascii);
        EXPECT_EQ(text_to_ascii(c.text, ascii, 64), static_cast<int>(std::u16string(c.ascii).size()));
        EXPECT_WIDE_EQ(ascii, c.ascii);

        char narrow[kNarrowCapacity];
        std::memset(narrow, 'x', sizeof narrow);
        EXPECT_EQ(narrow_text(ascii, narrow),
                  c.narrows ? static_cast<int>(std::strlen(c.lowered)) : -1);
        EXPECT_EQ(lower_narrow(narrow), narrow);
        EXPECT_STREQ(narrow, c.lowered);
    }
}

TEST(AsciiNotation, DictionaryKeyChainRefusesLettersAboveLatin1) {
    char key[kNarrowCapacity];
    EXPECT_EQ(narrow_text(u"TP.HCM", key), 6);
    EXPECT_STREQ(lower_narrow(key), "tp.hcm");
    EXPECT_EQ(narrow_text(u"Café", key), 4);
    EXPECT_STREQ(lower_narrow(key), "caf\xE9");
    // đ is U+0111: no 8-bit form, so the word is never looked up.
    EXPECT_EQ(narrow_text(u"đi", key), -1);
    EXPECT_STREQ(key, "");
}

TEST(AsciiNotation, LowerNarrowTouchesOnlyAToZ) {
    char text[] = "@AZ[`az{\x80\xC0\xDE\xFF";
    lower_narrow(text);
    EXPECT_STREQ(text, "@az[`az{\x80\xC0\xDE\xFF");
    EXPECT_EQ(lower_narrow(nullptr), nullptr);
}

TEST(AsciiNotation, TextToAsciiNeverWritesPastItsCapacity) {
    const char16_t *word = u"Việt";  // "Vie).t": 6 units and the terminator
    char16_t out[16];
    EXPECT_EQ(text_to_ascii(word, out, 7), 6);
    EXPECT_WIDE_EQ(out, u"Vie).t");

    std::fill(std::begin(out), std::end(out), u'#');
    EXPECT_EQ(text_to_ascii(word, out, 6), -1);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[6], u'#');

    EXPECT_EQ(text_to_ascii(word, out, 0), -1);
    EXPECT_EQ(out[0], 0);  // untouched since the last call
    EXPECT_EQ(text_to_ascii(word, nullptr, 16), -1);
}

TEST(AsciiNotation, NarrowTextRefusesAWordTooLongForItsBuffer) {
    char out[kNarrowCapacity + 8];
    std::memset(out, '#', sizeof out);

    std::u16string longest(kNarrowCapacity - 1, u'a');
    EXPECT_EQ(narrow_text(longest.c_str(), out), kNarrowCapacity - 1);
    EXPECT_EQ(out[kNarrowCapacity - 1], 0);

    std::memset(out, '#', sizeof out);
    std::u16string too_long(kNarrowCapacity, u'a');
    EXPECT_EQ(narrow_text(too_long.c_str(), out), -1);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(out[kNarrowCapacity], '#');

    EXPECT_EQ(narrow_text(nullptr, out), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(narrow_text(u"a", nullptr), -1);
}

}  // namespace

// Decimal readings with the comma as separator.
#include "textnorm/decimal_reader.h"

#include "support/wide_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

namespace {

TEST(DecimalReader, Readings) {
    struct Case {
        const char16_t *token;
        const char16_t *reading;
    };
    const Case cases[] = {
        {u"3,14", u"ba phẩy mười bốn"},
        {u"3,5", u"ba phẩy năm"},
        {u"3,05", u"ba phẩy không năm"},
        {u"0,5", u"không phẩy năm"},
        {u"1.000,5", u"một nghìn  phẩy năm"},
        {u"1,000", u"một phẩy không trăm không không"},
        {u"1,1.000", u"một phẩy một nghìn "},
        {u"12,000000", u"mười hai phẩy "},
        {u"009009009009,009009009009",
         u"không trăm không chín tỷ không trăm linh chín triệu không trăm linh chín nghìn "
         u"không trăm linh chín phẩy không trăm không chín tỷ không trăm linh chín triệu "
         u"không trăm linh chín nghìn không trăm linh chín"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(quote_wide(c.token));
        EXPECT_TRUE(is_decimal(c.token));
        char16_t out[kNormTextCapacity];
        std::fill(std::begin(out), std::end(out), u'#');
        EXPECT_EQ(read_decimal(c.token, out), static_cast<int>(std::u16string(c.reading).size()));
        EXPECT_WIDE_EQ(out, c.reading);
    }
}

TEST(DecimalReader, NonDecimalsAreRefused) {
    const char16_t *const tokens[] = {
        u"1,000.5",  // misplaced dot in the fraction
        u"1,2,3",    u"5,", u",5", u",", u"1.5", u"15", u"", nullptr,
        u"1234567890123,5",  // the whole part has 13 characters
        u"5,1234567890123",
        u"3,1a",     u"3 ,5",
    };
    for (const char16_t *token : tokens) {
        SCOPED_TRACE(token ? quote_wide(token) : std::string("null"));
        EXPECT_FALSE(is_decimal(token));
        char16_t out[kNormTextCapacity];
        std::fill(std::begin(out), std::end(out), u'#');
        EXPECT_EQ(read_decimal(token, out), -1);
        EXPECT_EQ(out[0], 0);
    }
}

}  // namespace

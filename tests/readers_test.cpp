// The readers of dates, times, phone numbers, ranges, signed numbers, money, units per unit,
// symbols, Roman numerals, addresses and keys: one table per reader, the token and the words it
// reads as, and the tokens each must refuse (which then read as they did before these readers).
#include "textnorm/calendar.h"
#include "textnorm/char_names.h"
#include "textnorm/decimal_reader.h"
#include "textnorm/keyboard.h"
#include "textnorm/mixed_token.h"
#include "textnorm/number_reader.h"
#include "textnorm/phone_number.h"
#include "textnorm/quantity.h"
#include "textnorm/roman_numeral.h"
#include "textnorm/web_address.h"

#include "lexicon/ascii_form.h"
#include "support/wide_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

struct NormBuffer {
    char16_t text[kNormTextCapacity];
    NormBuffer() { std::fill(std::begin(text), std::end(text), u'#'); }
};

// A reader's table: each token and the words it reads as; a null reading means refused.
struct Case {
    const char16_t *token;
    const char16_t *words;
};

using Reader = std::function<int(const char16_t *, char16_t *)>;

void check_table(const Reader &reader, const std::vector<Case> &cases) {
    for (const Case &c : cases) {
        SCOPED_TRACE(quote_wide(c.token));
        NormBuffer out;
        const int n = reader(c.token, out.text);
        if (c.words == nullptr) {
            EXPECT_EQ(n, -1) << "read as " << quote_wide(out.text);
            EXPECT_EQ(out.text[0], 0);
            continue;
        }
        EXPECT_EQ(n, static_cast<int>(std::u16string(out.text).size()));
        EXPECT_EQ(split_words(out.text), split_words(c.words))
            << words_utf8(split_words(out.text)) << " vs " << words_utf8(split_words(c.words));
        EXPECT_LT(n, kNormTextCapacity);
    }
}

bool is_letter(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) return true;
    for (const LetterRow &row : letter_table)
        if (row.small_letter == c || row.capital_letter == c) return true;
    return false;
}

// A stand-in for the dispatch's word reader: numbers and decimals read, words of letters kept
// as they are, anything else to the mixed-token reader.
int plain_word_reader(const char16_t *word, char16_t out[kNormTextCapacity]) {
    if (is_number(word)) return read_number(word, out);
    if (is_decimal(word)) return read_decimal(word, out);
    bool letters = word[0] != 0;
    for (const char16_t *p = word; *p != 0; ++p) letters &= is_letter(*p);
    if (letters) return fill_format(out, kNormTextCapacity, u"%s", {word});
    return split_mixed(word, out);
}

const char16_t *const kPause = kPauseWord;

const std::vector<Case> kDateCases = {
    {u"9/12/2026", u"ngày chín tháng mười hai năm hai nghìn không trăm hai sáu"},
    {u"09/12/2026", u"ngày chín tháng mười hai năm hai nghìn không trăm hai sáu"},
    {u"9-12-2026", u"ngày chín tháng mười hai năm hai nghìn không trăm hai sáu"},
    {u"09-12-2026", u"ngày chín tháng mười hai năm hai nghìn không trăm hai sáu"},
    {u"1/4/2025", u"ngày một tháng tư năm hai nghìn không trăm hai lăm"},
    {u"30/4/1975", u"ngày ba mươi tháng tư năm một nghìn chín trăm bảy lăm"},
    {u"29/2/2024", u"ngày hai chín tháng hai năm hai nghìn không trăm hai tư"},
    {u"29/2/2000", u"ngày hai chín tháng hai năm hai nghìn "},
    {u"31/12/1999", u"ngày ba mốt tháng mười hai năm một nghìn chín trăm chín chín"},
    {u"9/12", u"ngày chín tháng mười hai"},
    {u"29/02", u"ngày hai chín tháng hai"},
    {u"12/2026", u"tháng mười hai năm hai nghìn không trăm hai sáu"},
    {u"04/2025", u"tháng tư năm hai nghìn không trăm hai lăm"},
    // Refused: no such day or month, the wrong shape.
    {u"31/02/2026", nullptr}, {u"29/2/2023", nullptr}, {u"29/2/1900", nullptr},
    {u"31/4/2026", nullptr},  {u"30/2", nullptr},      {u"13/13", nullptr},
    {u"0/5", nullptr},        {u"32/1", nullptr},      {u"5/0", nullptr},
    {u"13/2026", nullptr},    {u"0/2026", nullptr},    {u"9/12/26", nullptr},
    {u"9/12/0999", nullptr},  {u"9/12/20261", nullptr}, {u"9-12", nullptr},
    {u"9/12-2026", nullptr},  {u"009/12/2026", nullptr}, {u"9/012/2026", nullptr},
    {u"1/2/3", nullptr},      {u"9/12/", nullptr},     {u"/12/2026", nullptr},
    {u"9/12/2026/1", nullptr}, {u"9.12.2026", nullptr}, {u"", nullptr},
};

const std::vector<Case> kTimeCases = {
    {u"10:30", u"mười giờ ba mươi phút"},
    {u"23:59:15", u"hai ba giờ năm chín phút mười lăm giây"},
    {u"7h30", u"bảy giờ ba mươi phút"},
    {u"7h", u"bảy giờ"},
    {u"19h", u"mười chín giờ"},
    {u"19g30", u"mười chín giờ ba mươi phút"},
    {u"7H05", u"bảy giờ năm phút"},
    {u"6G15", u"sáu giờ mười lăm phút"},
    {u"10:00", u"mười giờ"},
    {u"07:45", u"bảy giờ bốn lăm phút"},
    {u"00:15", u"không giờ mười lăm phút"},
    {u"24:00", u"hai tư giờ"},
    {u"10:00:05", u"mười giờ không phút năm giây"},
    // Refused: out of range or not two digits of minutes and seconds.
    {u"25:61", nullptr},  {u"25:00", nullptr}, {u"24:01", nullptr},   {u"10:60", nullptr},
    {u"10:5", nullptr},   {u"7h3", nullptr},   {u"7h300", nullptr},   {u"10:30:60", nullptr},
    {u"123:00", nullptr}, {u":30", nullptr},   {u"10:", nullptr},     {u"10h30m", nullptr},
    {u"7:30am", nullptr}, {u"25h", nullptr},   {u"h30", nullptr},     {u"10:30:5", nullptr},
    {u"10:30:15:00", nullptr}, {u"1:2", nullptr}, {u"", nullptr},
};

const std::vector<Case> kPhoneCases = {
    {u"0912345678", u"không chín một hai , ba bốn năm , sáu bảy tám"},
    {u"0912.345.678", u"không chín một hai , ba bốn năm , sáu bảy tám"},
    {u"0912-345-678", u"không chín một hai , ba bốn năm , sáu bảy tám"},
    {u"02438261234", u"không hai bốn , ba tám hai sáu , một hai ba bốn"},
    {u"024.3826.1234", u"không hai bốn , ba tám hai sáu , một hai ba bốn"},
    {u"09.12.34.56.78", u"không chín , một hai , ba bốn , năm sáu , bảy tám"},
    {u"+84912345678", u"cộng tám bốn , chín một hai , ba bốn năm , sáu bảy tám"},
    {u"+842438261234", u"cộng tám bốn , hai bốn , ba tám hai sáu , một hai ba bốn"},
    // Refused: a digit too few or too many, 00, mixed separators, another country.
    {u"091234567", nullptr},     {u"091234567890", nullptr}, {u"0012345678", nullptr},
    {u"0912.345-678", nullptr},  {u"0912..345678", nullptr}, {u"0912345678.", nullptr},
    {u"+8512345678", nullptr},   {u"+840912345678", nullptr}, {u"+8491234567", nullptr},
    {u"1912345678", nullptr},    {u"0912345678x", nullptr},  {u"0", nullptr},
    {u"+84", nullptr},           {u"", nullptr},
};

const std::vector<Case> kSignedCases = {
    {u"-5", u"âm năm"},
    {u"\u22125", u"âm năm"},
    {u"-3,5", u"âm ba phẩy năm"},
    {u"-1.000", u"âm một nghìn"},
    {u"-5°C", u"âm năm độ xê"},
    {u"-10%", u"âm mười phần trăm"},
    {u"--5", nullptr}, {u"-a", nullptr}, {u"5-", nullptr}, {u"-", nullptr}, {u"\u2212", nullptr},
    {u"", nullptr},
};

const std::vector<Case> kRangeCases = {
    {u"10-15", u"mười đến mười lăm"},
    {u"2020\u20132025", u"hai nghìn không trăm hai mươi đến hai nghìn không trăm hai lăm"},
    {u"10-15kg", u"mười đến mười lăm ki lô gam"},
    {u"1,5-2,5", u"một phẩy năm đến hai phẩy năm"},
    {u"5-10%", u"năm đến mười phần trăm"},
    {u"1.000-2.000", u"một nghìn đến hai nghìn"},
    {u"0-5", u"không đến năm"},
    // Days before a date.
    {u"10-12/12", u"mười đến mười hai tháng mười hai"},
    {u"28-31/12/2025", u"hai tám đến ba mốt tháng mười hai năm hai nghìn không trăm hai lăm"},
    // Refused: not rising (a score such as 2-1), more than two ends, no number.
    {u"2-1", nullptr},   {u"5-5", nullptr},    {u"10-15-20", nullptr}, {u"a-5", nullptr},
    {u"10-", nullptr},   {u"-10", nullptr},    {u"10\u201415", nullptr}, {u"12-10/12", nullptr},
    {u"10-32/12", nullptr}, {u"100-120/12", nullptr}, {u"0-5/12", nullptr},
    {u"10-1.5", nullptr}, {u"10--15", nullptr}, {u"", nullptr},
};

const std::vector<Case> kMoneyCases = {
    {u"$100", u"một trăm đô la"},
    {u"100$", u"một trăm đô la"},
    {u"US$5", u"năm đô la mỹ"},
    {u"€20", u"hai mươi ơ rô"},
    {u"20€", u"hai mươi ơ rô"},
    {u"¥1.000", u"một nghìn yên"},
    {u"£3,5", u"ba phẩy năm bảng anh"},
    {u"100.000đ", u"một trăm nghìn đồng"},
    {u"1.000.000đ", u"một triệu đồng"},
    {u"50₫", u"năm mươi đồng"},
    {u"100VNĐ", u"một trăm việt nam đồng"},
    {u"100VND", u"một trăm việt nam đồng"},
    {u"100vnđ", u"một trăm việt nam đồng"},
    // Refused: đ before the number, no number, a number that is none, another sign.
    {u"đ100", nullptr},  {u"$", nullptr},     {u"100", nullptr},  {u"$1.5", nullptr},
    {u"100$$", nullptr}, {u"$100k", nullptr}, {u"$$100", nullptr}, {u"100đồng", nullptr},
    {u"", nullptr},
};

const std::vector<Case> kPerUnitCases = {
    {u"đồng/lít", u"đồng một lít"},
    {u"%/năm", u"phần trăm một năm"},
    {u"km/h", u"ki lô mét trên giờ"},
    {u"100km/h", u"một trăm ki lô mét trên giờ"},
    {u"5%/năm", u"năm phần trăm một năm"},
    {u"25.000đ/kg", u"hai lăm nghìn đồng trên ki lô gam"},
    {u"người/km2", u"người trên ki lô mét vuông"},
    {u"lượt/ngày", u"lượt một ngày"},
    {u"Đồng/Tháng", u"Đồng một Tháng"},
    {u"m/s", u"mét trên giây"},
    {u"triệu/tháng", u"triệu một tháng"},
    {u"đồng/lượng", u"đồng một lượng"},
    {u"tấn/ha", u"tấn trên héc ta"},
    {u"đồng/kWh", u"đồng trên ki lô oát giờ"},
    {u"lít/100km", u"lít trên một trăm ki lô mét"},
    {u"đồng/USD", u"đồng một USD"},
    // Refused: the second part is no unit, more or fewer than two parts, a number that is none.
    {u"và/hoặc", nullptr}, {u"1/2", nullptr},   {u"a/b/c", nullptr},  {u"/năm", nullptr},
    {u"đồng/", nullptr},   {u"km/h2", nullptr}, {u"1.5km/h", nullptr}, {u"100/năm", nullptr},
    {u"5a1/năm", nullptr}, {u"lít/100", nullptr}, {u"lít/100xyz", nullptr}, {u"đồng/1.5km", nullptr}, {u"", nullptr},
};

const std::vector<Case> kSymbolCases = {
    {u"≥18", u"lớn hơn hoặc bằng mười tám"},
    {u"≤10", u"nhỏ hơn hoặc bằng mười"},
    {u"±5%", u"cộng trừ năm phần trăm"},
    {u"≈3,5", u"xấp xỉ ba phẩy năm"},
    {u"≠0", u"khác không"},
    {u"3×4", u"ba nhân bốn"},
    {u"10÷2", u"mười chia hai"},
    {u"5±0,1", u"năm cộng trừ không phẩy một"},
    {u"3×4=12", u"ba nhân bốn bằng mười hai"},
    {u"2×3÷6=1", u"hai nhân ba chia sáu bằng một"},
    {u"5±1%", u"năm cộng trừ một phần trăm"},
    {u"3×4=", u"ba nhân bốn bằng"},
    {u"×", nullptr}, {u"a×b", nullptr}, {u"3×", nullptr}, {u"≥a", nullptr}, {u"3+4", nullptr}, {u"3=4", nullptr}, {u"3=4×", nullptr},
    {u"", nullptr},
};

const std::vector<Case> kWebCases = {
    {u"vnexpress.net", u"vnexpress chấm net"},
    {u"an@gmail.com", u"an a còng gmail chấm com"},
    {u"https://www.google.com/search?q=abc",
     u"www chấm google chấm com gạch chéo search hỏi chấm q bằng abc"},
    {u"http://localhost.vn:8080/", u"localhost chấm vn hai chấm tám nghìn không trăm tám mươi"},
    {u"nguyen.van-a@abc.edu.vn", u"nguyen chấm van gạch ngang a a còng abc chấm edu chấm vn"},
    {u"a_b@x.org", u"a gạch dưới b a còng x chấm org"},
    {u"HTTPS://Example.IO/a-b_c", u"Example chấm IO gạch chéo a gạch ngang b gạch dưới c"},
    {u"dantri.com.vn/xa-hoi.htm", u"dantri chấm com chấm vn gạch chéo xa gạch ngang hoi chấm htm"},
    // Refused: no known top-level domain, not ASCII, no host.
    {u"TP.HCM", nullptr},    {u"v1.2.3", nullptr},     {u"file.txt", nullptr}, {u"a@b", nullptr},
    {u"@gmail.com", nullptr}, {u"a@@b.com", nullptr},   {u"a@b.com@c", nullptr}, {u"Hà.vn", nullptr},
    {u"-abc.com", nullptr},  {u"abc-.com", nullptr},   {u"http://", nullptr},  {u"a.b", nullptr},
    {u"ab..com", nullptr},   {u"abc.com/đ", nullptr},  {u"abc.com:x", nullptr}, {u".a@b.com", nullptr},
    {u"abc.c0m", nullptr},   {u"", nullptr},
};

const std::vector<Case> kKeyCases = {
    {u"Ctrl+S", u"con trôn cộng ét"},
    {u"ctrl+c", u"con trôn cộng xi"},
    {u"Alt+F4", u"an cộng ép bốn"},
    {u"Ctrl+Shift+Esc", u"con trôn cộng síp cộng ít kếp"},
    {u"Ctrl++", u"con trôn cộng cộng"},
    {u"Ctrl+1", u"con trôn cộng một"},
    {u"Shift+Tab", u"síp cộng tép"},
    {u"Win+D", u"ui in đốt cộng đi"},
    {u"Cmd+Q", u"com măn cộng kiu"},
    {u"Fn+F12", u"ép en cộng ép mười hai"},
    {u"Option+W", u"óp sân cộng đáp bờ liu"},
    {u"Alt+Enter", u"an cộng en tơ"},
    {u"Ctrl+Alt+Del", u"con trôn cộng an cộng đi lít"},
    {u"Ctrl+Backspace", u"con trôn cộng bách xờ pết"},
    {u"Ctrl+Home", u"con trôn cộng hôm"},
    {u"Ctrl+End", u"con trôn cộng en"},
    {u"Ctrl+PgUp", u"con trôn cộng pết ắp"},
    {u"Ctrl+PageDown", u"con trôn cộng pết đao"},
    {u"Shift+Space", u"síp cộng xờ pết"},
    {u"Alt+Left", u"an cộng lép"},
    {u"Alt+Right", u"an cộng rai"},
    {u"Alt+Up", u"an cộng ắp"},
    {u"Ctrl+Insert", u"con trôn cộng in xớt"},
    {u"Shift+CapsLock", u"síp cộng cáp lóc"},
    {u"Ctrl+Return", u"con trôn cộng ri tơn"},
    {u"Ctrl+/", u"con trôn cộng suộc chéo"},
    {u"Esc", u"ít kếp"},
    {u"F5", u"ép năm"},
    {u"F12", u"ép mười hai"},
    {u"f24", u"ép hai tư"},
    {u"Ctrl", u"con trôn"},
    {u"PgDn", u"pết đao"},
    {u"NVDA+T", u"en vi đi ây cộng ti"},
    {u"Insert+F7", u"in xớt cộng ép bảy"},
    // Refused: no modifier first, an unknown or unfinished key, F0, F25.
    {u"S+Ctrl", nullptr},  {u"Ctrl+", nullptr}, {u"Ctrl+Foo", nullptr}, {u"F25", nullptr},
    {u"F0", nullptr},      {u"F05", nullptr},   {u"Ctrl+Sx", nullptr},  {u"A+B", nullptr},
    {u"Tab+S", nullptr},   {u"Ctrl+ß", nullptr}, {u"Ctrl++S", nullptr}, {u"Ctrl+S+", nullptr},
    {u"Ctrl+S+Alt", nullptr}, {u"+S", nullptr},  {u"Ctrlx", nullptr},   {u"", nullptr},
};

TEST(Readers, Dates) {
    check_table(read_date, kDateCases);
    NormBuffer out;
    EXPECT_EQ(read_date(nullptr, out.text), -1);
}

TEST(Readers, QuartersAfterQuy) {
    check_table(read_quarter, {
        {u"4/2024", u"bốn năm hai nghìn không trăm hai tư"},
        {u"1/1999", u"một năm một nghìn chín trăm chín chín"},
        {u"5/2024", nullptr}, {u"0/2024", nullptr}, {u"4/24", nullptr}, {u"04/2024", nullptr}, {u"4/2024/1", nullptr},
        {u"", nullptr},
    });
}

TEST(Readers, Times) {
    check_table(read_time, kTimeCases);
}

TEST(Readers, PhoneNumbers) {
    check_table(read_phone_number, kPhoneCases);

    // Written in groups, one token each.
    PhoneGroups groups;
    ASSERT_TRUE(opens_phone_number(u"0912", 4, &groups));
    EXPECT_FALSE(is_whole_phone_number(groups));
    ASSERT_TRUE(continues_phone_number(u"345", 3, &groups));
    ASSERT_TRUE(continues_phone_number(u"678", 3, &groups));
    EXPECT_TRUE(is_whole_phone_number(groups));
    EXPECT_TRUE(continues_phone_number(u"9", 0, &groups) == false);
    EXPECT_FALSE(continues_phone_number(u"12", 2, &groups));  // thirteen digits
    ASSERT_TRUE(opens_phone_number(u"+84", 3, &groups));
    EXPECT_FALSE(continues_phone_number(u"091", 3, &groups));  // no 0 after +84
    EXPECT_TRUE(continues_phone_number(u"912", 3, &groups));
    EXPECT_FALSE(opens_phone_number(u"00", 2, &groups));
    EXPECT_FALSE(opens_phone_number(u"09123", 5, &groups));
    EXPECT_FALSE(opens_phone_number(u"912", 3, &groups));
    NormBuffer out;
    read_phone_group(u"+84", 3, true, out.text);
    EXPECT_EQ(split_words(out.text), split_words(u"cộng tám bốn ,"));
    read_phone_group(u"678", 3, false, out.text);
    EXPECT_EQ(split_words(out.text), split_words(u"sáu bảy tám"));
}

int signed_number(const char16_t *token, char16_t *out) { return read_signed_number(token, plain_word_reader, out); }
int range(const char16_t *token, char16_t *out) { return read_range(token, plain_word_reader, out); }
int per_unit(const char16_t *token, char16_t *out) { return read_per_unit(token, plain_word_reader, out); }
int symbol_expression(const char16_t *token, char16_t *out) {
    return read_symbol_expression(token, plain_word_reader, out);
}
int web_address(const char16_t *token, char16_t *out) { return read_web_address(token, plain_word_reader, out); }

TEST(Readers, SignedNumbers) {
    check_table(signed_number, kSignedCases);
}

TEST(Readers, Ranges) {
    check_table(range, kRangeCases);
}

TEST(Readers, Money) {
    check_table(read_money, kMoneyCases);
    EXPECT_WIDE_EQ(currency_after_number(u"đ"), u"đồng");
    EXPECT_WIDE_EQ(currency_after_number(u"VNĐ"), u"việt nam đồng");
    EXPECT_EQ(currency_after_number(u"đồng"), nullptr);
    EXPECT_EQ(currency_after_number(nullptr), nullptr);
}

TEST(Readers, UnitsPerUnit) {
    check_table(per_unit, kPerUnitCases);
}

TEST(Readers, SymbolExpressions) {
    check_table(symbol_expression, kSymbolCases);
    // Every symbol has a reading of words the voice speaks.
    for (const CharName &row : symbol_name_table) {
        NormBuffer out;
        const char16_t one[2] = {row.character, 0};
        spell_char(one, out.text);
        EXPECT_WIDE_EQ(out.text, row.reading);
        for (const CharName &named : char_name_table) EXPECT_NE(named.character, row.character);
    }
}

struct RomanCase {
    const char16_t *token;
    const char16_t *before;
    const char16_t *two_before;
    const char16_t *words;
};
const RomanCase kRomanCases[] = {
    {u"XX", u"kỷ", u"thế", u"hai mươi"},
    {u"XXI", u"kỉ", u"thế", u"hai mốt"},
    {u"IV", u"chương", u"", u"bốn"},
    {u"II", u"chiến", u"thế", u"hai"},
    {u"IV", u"thứ", u"lần", u"tư"},
    {u"I", u"thứ", u"", u"nhất"},
    {u"XIII", u"hội", u"đại", u"mười ba"},
    {u"XXXIX", u"phần", u"", u"ba chín"},
    {u"XIV", u"điều", u"", u"mười bốn"},
    {u"IX", u"tập", u"", u"chín"},
    {u"XV", u"khóa", u"", u"mười lăm"},
    {u"V", u"quyển", u"", u"năm"},
    {u"III", u"quý", u"", u"ba"},
    {u"XI\u2013XII", u"kỷ", u"thế", u"mười một đến mười hai"},
    {u"XIX-XX", u"kỷ", u"thế", u"mười chín đến hai mươi"},
    {u"I-IV", u"thứ", u"", u"nhất đến bốn"},
    {u"XXXVIII\u2013XXXIX", u"kỷ", u"thế", u"ba tám đến ba chín"},
    // Refused: no standard numeral, or no word that takes one.
    {u"IIII", u"chương", u"", nullptr}, {u"XL", u"chương", u"", nullptr},
    {u"XXXX", u"chương", u"", nullptr}, {u"VX", u"chương", u"", nullptr},
    {u"IIV", u"chương", u"", nullptr},  {u"iv", u"chương", u"", nullptr},
    {u"IV", u"anh", u"", nullptr},      {u"XX", u"kỷ", u"", nullptr},
    {u"XX", u"", u"", nullptr},         {u"", u"chương", u"", nullptr},
    {u"XII\u2013XI", u"kỷ", u"thế", nullptr}, {u"XI\u2013", u"kỷ", u"thế", nullptr},
    {u"XI\u2013XIIII", u"kỷ", u"thế", nullptr}, {u"XXXVIIII\u2013XXXIX", u"kỷ", u"thế", nullptr},
};

TEST(Readers, RomanNumeralsAfterTheWordsThatTakeThem) {
    for (const RomanCase &c : kRomanCases) {
        SCOPED_TRACE(quote_wide(c.token) + " after " + quote_wide(c.two_before) + " " + quote_wide(c.before));
        NormBuffer out;
        const int n = read_roman_numeral(c.token, c.before, c.two_before, out.text);
        if (c.words == nullptr) {
            EXPECT_EQ(n, -1);
            EXPECT_EQ(out.text[0], 0);
            continue;
        }
        EXPECT_EQ(split_words(out.text), split_words(c.words));
    }
    EXPECT_EQ(roman_numeral_value(u"XXXIX"), 39);
    EXPECT_EQ(roman_numeral_value(nullptr), -1);
}

TEST(Readers, WebAndMailAddresses) {
    check_table(web_address, kWebCases);
}

TEST(Readers, KeysAndShortcuts) {
    check_table(read_keys, kKeyCases);
}

// Every word that these readers speak is a syllable of the voice's inventory.
TEST(Readers, SpokenWordsAreSyllablesOfTheInventory) {
    std::set<std::string> syllables;
    std::ifstream in(VELORIN_SYLLABLES_PATH);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line[0] != '#') syllables.insert(line);
    ASSERT_GT(syllables.size(), 6000u) << "cannot read " << VELORIN_SYLLABLES_PATH;
    // The tables whose words are all the readers' own (the others keep words of the text).
    std::set<std::u16string> spoken;
    for (const std::vector<Case> *table : {&kDateCases, &kTimeCases, &kPhoneCases, &kSignedCases, &kRangeCases,
                                           &kMoneyCases, &kSymbolCases, &kKeyCases})
        for (const Case &c : *table)
            if (c.words) for (const std::u16string &word : split_words(c.words)) spoken.insert(word);
    for (const RomanCase &c : kRomanCases)
        if (c.words) for (const std::u16string &word : split_words(c.words)) spoken.insert(word);
    for (const CharName &row : symbol_name_table)
        for (const std::u16string &word : split_words(row.reading)) spoken.insert(word);
    for (const std::u16string &word : spoken) {
        if (word == kPause) continue;
        char16_t ascii[32];
        ASSERT_GE(text_to_ascii(word.c_str(), ascii, 32), 0);
        char narrow[kNarrowCapacity];
        ASSERT_GE(narrow_text(ascii, narrow), 0) << to_utf8(word);
        lower_narrow(narrow);
        EXPECT_EQ(syllables.count(narrow), 1u) << to_utf8(word) << " (" << narrow << ")";
    }
}

}  // namespace

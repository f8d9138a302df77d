// The Roman numeral reader.
#include "textnorm/roman_numeral.h"

#include "textnorm/number_reader.h"

namespace {

bool same_text(const char16_t *a, const char16_t *b) {
    for (; *a != 0 && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

// Words after which a Roman numeral is a number: one word, or two (the word before it last).
const char16_t *const kOneWord[] = {
    u"chương", u"phần", u"tập", u"quyển", u"khóa", u"khoá", u"điều", u"mục", u"hồi", u"bài",
    u"kỳ",     u"kì",   u"thứ", u"đợt",   u"chặng", u"quý",
};
const struct {
    const char16_t *first;
    const char16_t *second;
} kTwoWords[] = {
    {u"thế", u"kỷ"},  {u"thế", u"kỉ"},  {u"thế", u"chiến"}, {u"đại", u"hội"}, {u"phụ", u"lục"},
    {u"quân", u"khu"}, {u"quân", u"đoàn"}, {u"giai", u"đoạn"},
};

// The units I to IX in their standard spellings, by value.
const char16_t *const kUnits[10] = {u"", u"I", u"II", u"III", u"IV", u"V", u"VI", u"VII", u"VIII", u"IX"};

}  // namespace

int roman_numeral_value(const char16_t *token) {
    if (token == nullptr) return -1;
    int tens = 0;
    const char16_t *p = token;
    while (*p == u'X' && tens < 3) {
        ++tens;
        ++p;
    }
    for (int unit = 9; unit >= 0; --unit) {
        if (same_text(p, kUnits[unit])) {
            const int value = 10 * tens + unit;
            return value > 0 ? value : -1;
        }
    }
    return -1;
}

bool takes_roman_numeral(const char16_t *word_before, const char16_t *two_before) {
    if (word_before == nullptr || word_before[0] == 0) return false;
    for (const char16_t *word : kOneWord)
        if (same_text(word_before, word)) return true;
    if (two_before == nullptr) return false;
    for (const auto &pair : kTwoWords)
        if (same_text(two_before, pair.first) && same_text(word_before, pair.second)) return true;
    return false;
}

namespace {

int read_value(int value, const char16_t *word_before, char16_t out[kNormTextCapacity]) {
    if (same_text(word_before, u"thứ") && (value == 1 || value == 4))
        return fill_format(out, kNormTextCapacity, value == 1 ? u"nhất" : u"tư", {});
    char16_t digits[3] = {static_cast<char16_t>(u'0' + value / 10), static_cast<char16_t>(u'0' + value % 10), 0};
    return read_number(value < 10 ? digits + 1 : digits, out);
}

// Two numerals joined by a dash or a hyphen, the first below the second (thế kỷ XI–XII).
int read_roman_range(const char16_t *token, const char16_t *word_before, char16_t out[kNormTextCapacity]) {
    constexpr int kLongest = 7;  // XXXVIII
    const char16_t *dash = token;
    while (*dash != 0 && *dash != u'-' && *dash != u'\u2013') ++dash;
    if (*dash == 0 || dash - token > kLongest) return -1;
    char16_t first[kLongest + 1];
    int n = 0;
    for (const char16_t *p = token; p != dash; ++p) first[n++] = *p;
    first[n] = 0;
    const int from = roman_numeral_value(first);
    const int to = roman_numeral_value(dash + 1);
    if (from < 0 || to < 0 || from >= to) return -1;
    char16_t from_text[kNormTextCapacity];
    char16_t to_text[kNormTextCapacity];
    read_value(from, word_before, from_text);
    read_value(to, u"", to_text);
    return fill_format(out, kNormTextCapacity, u"%s đến %s", {from_text, to_text});
}

}  // namespace

int read_roman_numeral(const char16_t *token, const char16_t *word_before, const char16_t *two_before,
                       char16_t out[kNormTextCapacity]) {
    out[0] = 0;
    if (token == nullptr || (token[0] != u'I' && token[0] != u'V' && token[0] != u'X')) return -1;
    if (!takes_roman_numeral(word_before, two_before)) return -1;
    const int value = roman_numeral_value(token);
    if (value < 0) {
        const int length = read_roman_range(token, word_before, out);
        return length < 0 ? refuse(out) : length;
    }
    return read_value(value, word_before, out);
}

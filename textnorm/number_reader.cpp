// Whole-number reading: digit words, tens, hundreds and the groups of three digits.
#include "textnorm/number_reader.h"

namespace {

const char16_t *const kDigitWords[10] = {
    u"không", u"một", u"hai", u"ba", u"bốn", u"năm", u"sáu", u"bảy", u"tám", u"chín",
};

// Group k joins the reading of its three digits to the reading of the groups below it.
const char16_t *const kGroupFormats[4] = {
    u"%s", u"%s nghìn %s", u"%s triệu %s", u"%s tỷ %s",
};

bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }

// True when text holds no word, only spaces or nothing.
bool split_is_empty(const char16_t *text) {
    for (; *text != 0; ++text)
        if (*text != u' ') return false;
    return true;
}

void copy_into(char16_t *out, const char16_t *text) {
    fill_format(out, kNormTextCapacity, u"%s", {text});
}

// Prepends group k's reading to out, through the group format.
void join_group(int k, const char16_t *group_reading, char16_t out[kNormTextCapacity]) {
    char16_t lower[kNormTextCapacity];
    copy_into(lower, out);
    fill_format(out, kNormTextCapacity, kGroupFormats[k], {group_reading, lower});
}

}  // namespace

const char16_t *digit_word(char16_t digit) {
    return is_digit(digit) ? kDigitWords[digit - u'0'] : u"";
}

namespace {

// 13 to 23 characters: a leading group of one to three digits, then groups of a dot and three.
bool is_fully_dotted(const char16_t *token, int length) {
    const int leading = length % 4;
    if (leading == 0) return false;
    for (int i = 0; i < length; ++i) {
        const bool dot_place = i >= leading && (i - leading) % 4 == 0;
        if (dot_place ? token[i] != u'.' : !is_digit(token[i])) return false;
    }
    return true;
}

}  // namespace

bool is_number(const char16_t *token) {
    if (token == nullptr) return false;
    int length = 0;
    // Never read past the first character that already makes the token too long.
    while (length <= kDottedNumberMaxLength && token[length] != 0) ++length;
    if (length == 0 || length > kDottedNumberMaxLength) return false;
    if (length > kNumberMaxLength) return is_fully_dotted(token, length);
    for (int i = 0; i < length; ++i) {
        if (is_digit(token[i])) continue;
        if (token[i] == u'.' && (length - i) % 4 == 0) continue;
        return false;
    }
    return true;
}

int read_tens(char16_t x, char16_t y, char16_t out[kNormTextCapacity]) {
    out[0] = 0;
    if (!is_digit(x) || !is_digit(y)) return -1;
    const char16_t *wx = digit_word(x);
    const char16_t *wy = digit_word(y);
    if (x == u'0') return fill_format(out, kNormTextCapacity, u"%s %s", {wx, wy});
    if (x == u'1') {
        if (y == u'0') return fill_format(out, kNormTextCapacity, u"mười", {});
        if (y == u'5') return fill_format(out, kNormTextCapacity, u"mười lăm", {});
        return fill_format(out, kNormTextCapacity, u"mười %s", {wy});
    }
    switch (y) {
    case u'0': return fill_format(out, kNormTextCapacity, u"%s mươi", {wx});
    case u'1': return fill_format(out, kNormTextCapacity, u"%s mốt", {wx});
    case u'4': return fill_format(out, kNormTextCapacity, u"%s tư", {wx});
    case u'5': return fill_format(out, kNormTextCapacity, u"%s lăm", {wx});
    default: return fill_format(out, kNormTextCapacity, u"%s %s", {wx, wy});
    }
}

int read_hundreds(char16_t x, char16_t y, char16_t z, char16_t out[kNormTextCapacity]) {
    out[0] = 0;
    if (!is_digit(x) || !is_digit(y) || !is_digit(z)) return -1;
    char16_t tens[kNormTextCapacity];
    if (x == u'0') {
        if (y == u'0') return fill_format(out, kNormTextCapacity, u"không trăm không %s", {digit_word(z)});
        read_tens(y, z, tens);
        return fill_format(out, kNormTextCapacity, u"không trăm %s", {tens});
    }
    if (y == u'0') {
        if (z == u'0') return fill_format(out, kNormTextCapacity, u"%s trăm", {digit_word(x)});
        return fill_format(out, kNormTextCapacity, u"%s trăm linh %s", {digit_word(x), digit_word(z)});
    }
    read_tens(y, z, tens);
    return fill_format(out, kNormTextCapacity, u"%s trăm %s", {digit_word(x), tens});
}

namespace {

// A group of three digits inside a longer number: a zero hundred and a zero ten read "không
// trăm linh" (1003 is một nghìn không trăm linh ba), as the tens of a hundred do.
int read_inner_group(const char16_t *d, char16_t out[kNormTextCapacity]) {
    if (d[0] == u'0' && d[1] == u'0' && d[2] != u'0')
        return fill_format(out, kNormTextCapacity, u"không trăm linh %s", {digit_word(d[2])});
    return read_hundreds(d[0], d[1], d[2], out);
}

// Reads n digits (1 to 12) in groups of three from the right; an all-zero group adds no words.
// Every group but the leading one is an inner group; so is the leading one when digits of a
// higher group stand before these (the low nine digits of a number above 12 digits).
void read_groups(const char16_t *digits, int n, bool has_higher, char16_t out[kNormTextCapacity]) {
    out[0] = 0;
    if (n == 1) {
        fill_format(out, kNormTextCapacity, u"%s", {digit_word(digits[0])});
        return;
    }
    if (n == 2) {
        read_tens(digits[0], digits[1], out);
        return;
    }
    if (n == 3 && !has_higher) {
        read_hundreds(digits[0], digits[1], digits[2], out);
        return;
    }

    char16_t group[kNormTextCapacity];
    int r = n;
    int k = 0;
    while (r >= 3) {
        const char16_t *d = digits + r - 3;
        r -= 3;
        if (d[0] == u'0' && d[1] == u'0' && d[2] == u'0') {
            if (k == 0) out[0] = 0;
        } else {
            if (r > 0 || has_higher) {
                read_inner_group(d, group);
            } else {
                read_hundreds(d[0], d[1], d[2], group);
            }
            if (k == 0) {
                copy_into(out, group);
            } else {
                join_group(k, group, out);
            }
        }
        ++k;
    }
    if (r == 1) {
        join_group(k, digit_word(digits[0]), out);
    } else if (r == 2) {
        read_tens(digits[0], digits[1], group);
        join_group(k, group, out);
    }
}

}  // namespace

int read_number(const char16_t *token, char16_t out[kNormTextCapacity]) {
    out[0] = 0;
    if (!is_number(token)) return -1;

    char16_t digits[kDottedNumberMaxDigits];
    int n = 0;
    for (const char16_t *p = token; *p != 0; ++p) {
        if (*p != u'.') digits[n++] = *p;
    }

    if (n <= kNumberMaxLength) {
        read_groups(digits, n, false, out);
        return static_cast<int>(wide_length(out));
    }
    // Above twelve digits the part before the last nine is a count of tỷ: 1.500.000.000.000 is
    // một nghìn năm trăm tỷ, 10^15 một triệu tỷ.
    constexpr int kTyDigits = 9;
    char16_t high[kNormTextCapacity];
    char16_t low[kNormTextCapacity];
    read_groups(digits, n - kTyDigits, false, high);
    read_groups(digits + n - kTyDigits, kTyDigits, true, low);
    if (split_is_empty(high)) {
        copy_into(out, low);
    } else {
        fill_format(out, kNormTextCapacity, u"%s tỷ %s", {high, low});
    }
    return static_cast<int>(wide_length(out));
}

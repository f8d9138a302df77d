// The phone number reader.
#include "textnorm/phone_number.h"

#include "textnorm/number_reader.h"

namespace {

constexpr int kNationalMin = 10;  // 0 and nine digits
constexpr int kNationalMax = 11;
constexpr int kMaxGroups = 8;

bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool all_digits(const char16_t *text, int length) {
    for (int i = 0; i < length; ++i)
        if (!is_digit(text[i])) return false;
    return length > 0;
}

bool is_country_code(const char16_t *text, int length) {
    return length == 3 && text[0] == u'+' && text[1] == u'8' && text[2] == u'4';
}

// The national digits (the leading 0 counted, or +84 not counted) must number 10 or 11.
bool whole_count(bool international, int digits) {
    const int national = international ? digits + 1 : digits;
    return national >= kNationalMin && national <= kNationalMax;
}

// Appends the digit words of text[0..length) to out at *used, then a pause if asked.
void put_digits(const char16_t *text, int length, bool pause_after, char16_t *out, int *used) {
    for (int i = 0; i < length; ++i) {
        const char16_t *word = is_digit(text[i]) ? digit_word(text[i]) : (text[i] == u'+' ? u"cộng" : u"");
        *used += fill_format(out + *used, static_cast<size_t>(kNormTextCapacity - *used), u" %s", {word});
    }
    if (pause_after) *used += fill_format(out + *used, static_cast<size_t>(kNormTextCapacity - *used), u" %s", {kPauseWord});
}

}  // namespace

int read_phone_number(const char16_t *token, char16_t out[kNormTextCapacity]) {
    out[0] = 0;
    if (token == nullptr) return -1;
    const char16_t *p = token;
    const bool international = p[0] == u'+';
    if (international) {
        if (p[1] != u'8' || p[2] != u'4') return -1;
        p += 3;
    } else if (p[0] != u'0' || !is_digit(p[1]) || p[1] == u'0') {
        return -1;
    }
    // The groups as written: digits between dots or hyphens, one kind of separator throughout.
    int group_lengths[kMaxGroups];
    int groups = 0;
    int digits = 0;
    char16_t separator = 0;
    const char16_t *digits_start = p;
    int run = 0;
    for (;; ++p) {
        if (is_digit(*p)) {
            ++run;
            ++digits;
            if (digits > kNationalMax) return -1;
            continue;
        }
        if (run == 0 || groups == kMaxGroups) return -1;
        group_lengths[groups++] = run;
        run = 0;
        if (*p == 0) break;
        if (*p != u'.' && *p != u'-') return -1;
        if (separator != 0 && *p != separator) return -1;
        separator = *p;
    }
    if (!whole_count(international, digits)) return -1;
    if (international && digits_start[0] == u'0') return -1;

    if (groups == 1) {
        // Unwritten groups: 4-3-3 or 3-4-4, and after +84 3-3-3 or 2-4-4.
        const int national = international ? digits + 1 : digits;
        const int lead = national == kNationalMin ? 4 : 3;
        const int rest = national == kNationalMin ? 3 : 4;
        group_lengths[0] = international ? lead - 1 : lead;
        group_lengths[1] = rest;
        group_lengths[2] = rest;
        groups = 3;
    }

    int used = 0;
    if (international) put_digits(token, 3, true, out, &used);
    const char16_t *q = digits_start;
    for (int g = 0; g < groups; ++g) {
        while (!is_digit(*q)) ++q;
        put_digits(q, group_lengths[g], g + 1 < groups, out, &used);
        q += group_lengths[g];
    }
    return used;
}

bool opens_phone_number(const char16_t *text, int length, PhoneGroups *groups) {
    if (is_country_code(text, length)) {
        *groups = PhoneGroups{true, 0};
        return true;
    }
    if (length < 2 || length > 4 || !all_digits(text, length) || text[0] != u'0' || text[1] == u'0') return false;
    *groups = PhoneGroups{false, length};
    return true;
}

bool continues_phone_number(const char16_t *text, int length, PhoneGroups *groups) {
    if (length < 2 || length > 4 || !all_digits(text, length)) return false;
    if (groups->international && groups->digits == 0 && text[0] == u'0') return false;
    const int national = (groups->international ? 1 : 0) + groups->digits + length;
    if (national > kNationalMax) return false;
    groups->digits += length;
    return true;
}

bool is_whole_phone_number(const PhoneGroups &groups) { return whole_count(groups.international, groups.digits); }

int read_phone_group(const char16_t *text, int length, bool pause_after, char16_t out[kNormTextCapacity]) {
    out[0] = 0;
    int used = 0;
    put_digits(text, length, pause_after, out, &used);
    return used;
}

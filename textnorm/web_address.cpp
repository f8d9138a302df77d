// The web and e-mail address reader.
#include "textnorm/web_address.h"

#include "textnorm/char_names.h"

namespace {

bool is_ascii_letter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool is_label_char(char16_t c) { return is_ascii_letter(c) || is_digit(c) || c == u'-'; }
bool is_word_char(char16_t c) { return is_ascii_letter(c) || is_digit(c); }

char16_t lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

// Compares text[0..length) with a lower-case ASCII word, ignoring case.
bool equals_ignoring_case(const char16_t *text, int length, const char *word) {
    int i = 0;
    for (; i < length && word[i] != 0; ++i)
        if (lower(text[i]) != static_cast<char16_t>(word[i])) return false;
    return i == length && word[i] == 0;
}

bool starts_with_ignoring_case(const char16_t *text, const char *prefix) {
    for (int i = 0; prefix[i] != 0; ++i)
        if (lower(text[i]) != static_cast<char16_t>(prefix[i])) return false;
    return true;
}

// Top-level domains common in Vietnamese text; short words that end sentences or file names
// ("in", "it", "me", "js") are left out.
const char *const kTopLevelDomains[] = {
    "com", "net", "org", "edu", "gov", "info", "biz", "vn", "io", "tv", "asia", "app", "dev", "uk", "us",
    "jp", "kr", "cn", "fr", "de", "au", "ca", "ru", "sg", "th", "la", "kh", "eu", "tw", "hk", "xyz",
    "online", "site", "store", "tech", "mobi", "int", "vip", "shop", "blog", "news", "top", "club",
};

bool is_top_level_domain(const char16_t *label, int length) {
    for (const char *domain : kTopLevelDomains)
        if (equals_ignoring_case(label, length, domain)) return true;
    return false;
}

// Checks a host of labels separated by dots from text up to the first character that cannot be
// in a host; returns its length, or -1. need_known_domain asks for a known last label.
int host_length(const char16_t *text, bool need_known_domain) {
    int labels = 0;
    int i = 0;
    int label_start = 0;
    for (;; ++i) {
        if (is_label_char(text[i])) continue;
        const int label_length = i - label_start;
        if (label_length == 0 || text[label_start] == u'-' || text[i - 1] == u'-') return -1;
        ++labels;
        if (text[i] != u'.' || !is_label_char(text[i + 1])) break;
        label_start = i + 1;
    }
    if (labels < 2) return -1;
    const int last_length = i - label_start;
    for (int j = label_start; j < i; ++j)
        if (!is_ascii_letter(text[j])) return -1;  // a top-level domain is letters only
    if (need_known_domain && !is_top_level_domain(text + label_start, last_length)) return -1;
    return i;
}

bool is_path_char(char16_t c) {
    if (is_word_char(c)) return true;
    for (const char16_t *p = u"-._~%!$&'()*+,;=:@/?#"; *p != 0; ++p)
        if (*p == c) return true;
    return false;
}

bool is_local_part_char(char16_t c) { return is_word_char(c) || c == u'.' || c == u'_' || c == u'%' || c == u'+' || c == u'-'; }

const struct {
    char16_t separator;
    const char16_t *name;
} kSeparatorNames[] = {
    {u'.', u"chấm"},      {u'@', u"a còng"},     {u'/', u"gạch chéo"}, {u':', u"hai chấm"},
    {u'-', u"gạch ngang"}, {u'_', u"gạch dưới"}, {u'?', u"hỏi chấm"},  {u'=', u"bằng"},
    {u'&', u"và"},        {u'#', u"thăng"},      {u'%', u"phần trăm"}, {u'+', u"cộng"},
};

// Reads text[0..length): runs of letters and digits as words, every other character by name.
int read_parts(const char16_t *text, int length, WordReader read_word, char16_t out[kNormTextCapacity]) {
    int used = 0;
    out[0] = 0;
    char16_t word[kNormTextCapacity];
    char16_t reading[kNormTextCapacity];
    for (int i = 0; i < length && used < kNormTextCapacity - 1;) {
        if (is_word_char(text[i])) {
            int n = 0;
            while (i < length && is_word_char(text[i]) && n < kNormTextCapacity - 1) word[n++] = text[i++];
            word[n] = 0;
            read_word(word, reading);
        } else {
            const char16_t *name = nullptr;
            for (const auto &row : kSeparatorNames)
                if (row.separator == text[i]) name = row.name;
            if (name) {
                fill_format(reading, kNormTextCapacity, u"%s", {name});
            } else {
                spell_char(text + i, reading);
            }
            ++i;
        }
        used += fill_format(out + used, static_cast<size_t>(kNormTextCapacity - used), u" %s", {reading});
    }
    return used;
}

}  // namespace

int read_web_address(const char16_t *token, WordReader read_word, char16_t out[kNormTextCapacity]) {
    out[0] = 0;
    if (token == nullptr) return -1;
    int length = 0;
    int at = -1;
    for (; token[length] != 0; ++length) {
        if (token[length] < 0x21 || token[length] > 0x7E) return -1;
        if (token[length] == u'@') {
            if (at >= 0) return -1;
            at = length;
        }
        if (length >= kNormTextCapacity) return -1;
    }

    if (at >= 0) {
        for (int i = 0; i < at; ++i)
            if (!is_local_part_char(token[i])) return -1;
        if (at == 0 || token[0] == u'.' || token[at - 1] == u'.') return -1;
        const int host = host_length(token + at + 1, true);
        if (host < 0 || at + 1 + host != length) return -1;
        return read_parts(token, length, read_word, out);
    }

    int start = 0;
    const bool scheme = starts_with_ignoring_case(token, "http://") || starts_with_ignoring_case(token, "https://");
    if (scheme) start = token[4] == u':' ? 7 : 8;
    const int host = host_length(token + start, !scheme);
    if (host < 0) return -1;
    int end = start + host;
    if (token[end] == u':') {  // a port
        int digits = 0;
        while (is_digit(token[end + 1 + digits])) ++digits;
        if (digits == 0) return -1;
        end += 1 + digits;
    }
    if (token[end] != 0 && token[end] != u'/') return -1;
    for (int i = end; i < length; ++i)
        if (!is_path_char(token[i])) return -1;
    // A slash that only closes the address is not read.
    const int read_length = length > start && token[length - 1] == u'/' ? length - 1 : length;
    return read_parts(token + start, read_length - start, read_word, out);
}

// The keyboard reader.
#include "textnorm/keyboard.h"

#include "textnorm/char_names.h"
#include "textnorm/number_reader.h"

namespace {

struct KeyName {
    const char *key;  // lower case
    const char16_t *reading;
    bool modifier;
};

const KeyName kKeys[] = {
    {"ctrl", u"con trôn", true},      {"control", u"con trôn", true}, {"alt", u"an", true},
    {"shift", u"síp", true},          {"win", u"ui in đốt", true},    {"windows", u"ui in đốt", true},
    {"cmd", u"com măn", true},        {"command", u"com măn", true},  {"fn", u"ép en", true},
    {"option", u"óp sân", true},      {"nvda", u"en vi đi ây", true},      {"tab", u"tép", false},         {"esc", u"ít kếp", false},
    {"escape", u"ít kếp", false},     {"enter", u"en tơ", false},     {"return", u"ri tơn", false},
    {"space", u"xờ pết", false},      {"backspace", u"bách xờ pết", false}, {"delete", u"đi lít", false},
    {"del", u"đi lít", false},        {"insert", u"in xớt", true},    {"ins", u"in xớt", true},
    {"home", u"hôm", false},          {"end", u"en", false},          {"pgup", u"pết ắp", false},
    {"pageup", u"pết ắp", false},     {"pgdn", u"pết đao", false},    {"pagedown", u"pết đao", false},
    {"up", u"ắp", false},             {"down", u"đao", false},        {"left", u"lép", false},
    {"right", u"rai", false},         {"capslock", u"cáp lóc", false},
};

// English letter names, a to z, as Vietnamese say them.
const char16_t *const kLetterNames[26] = {
    u"ây", u"bi", u"xi", u"đi", u"i",  u"ép",  u"gi", u"ết", u"ai", u"giây", u"cây", u"eo", u"em",
    u"en", u"âu", u"pi", u"kiu", u"a", u"ét", u"ti", u"diu", u"vi", u"đáp bờ liu", u"ích", u"oai", u"dét",
};

char16_t lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }
bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }

const KeyName *find_key(const char16_t *text, int length) {
    for (const KeyName &key : kKeys) {
        int i = 0;
        while (i < length && key.key[i] != 0 && lower(text[i]) == static_cast<char16_t>(key.key[i])) ++i;
        if (i == length && key.key[i] == 0) return &key;
    }
    return nullptr;
}

// F1 to F24: "ép" and the number.
int read_function_key(const char16_t *text, int length, char16_t out[kNormTextCapacity]) {
    if (length < 2 || length > 3 || lower(text[0]) != u'f' || !is_digit(text[1]) || text[1] == u'0') return -1;
    if (length == 3 && !is_digit(text[2])) return -1;
    const int value = length == 2 ? text[1] - u'0' : (text[1] - u'0') * 10 + (text[2] - u'0');
    if (value > 24) return -1;
    char16_t digits[3] = {text[1], length == 3 ? text[2] : u'\0', 0};
    char16_t number[kNormTextCapacity];
    read_number(digits, number);
    return fill_format(out, kNormTextCapacity, u"ép %s", {number});
}

// The reading of one key of a shortcut, or -1; a single character is allowed only as the last.
int read_key(const char16_t *text, int length, bool last, char16_t out[kNormTextCapacity]) {
    if (const KeyName *key = find_key(text, length)) return fill_format(out, kNormTextCapacity, u"%s", {key->reading});
    if (read_function_key(text, length, out) >= 0) return static_cast<int>(wide_length(out));
    if (!last || length != 1) return -1;
    const char16_t c = lower(text[0]);
    if (c >= u'a' && c <= u'z') return fill_format(out, kNormTextCapacity, u"%s", {kLetterNames[c - u'a']});
    if (c <= 0x20 || c > 0x7E) return -1;
    const char16_t one[2] = {c, 0};
    return spell_char(one, out);
}

}  // namespace

int read_keys(const char16_t *token, char16_t out[kNormTextCapacity]) {
    out[0] = 0;
    if (token == nullptr || token[0] == 0) return -1;
    int length = 0;
    while (token[length] != 0) {
        if (++length > 40) return -1;
    }

    bool has_plus = false;
    for (int i = 0; i + 1 < length; ++i) has_plus |= token[i] == u'+';
    if (!has_plus) {
        const KeyName *key = find_key(token, length);
        if (key) return fill_format(out, kNormTextCapacity, u"%s", {key->reading});
        return read_function_key(token, length, out);
    }

    int used = 0;
    char16_t reading[kNormTextCapacity];
    int start = 0;
    bool first = true;
    while (start < length) {
        // A key runs to the next "+"; a "+" as the last key stands for itself (Ctrl++).
        int end = start;
        while (end < length && token[end] != u'+') ++end;
        if (end == start) end = start + 1;
        const bool last = end >= length;
        if (read_key(token + start, end - start, last, reading) < 0) return refuse(out);
        if (first) {
            const KeyName *key = find_key(token + start, end - start);
            if (key == nullptr || !key->modifier) return refuse(out);
        }
        used += fill_format(out + used, static_cast<size_t>(kNormTextCapacity - used), first ? u"%s" : u" cộng %s",
                            {reading});
        first = false;
        if (last) break;
        start = end + 1;
        if (start >= length) return refuse(out);  // a shortcut that ends in "+"
    }
    return used;
}

// Splitting of tokens that mix a number with a unit or letters, and spelling of the rest.
#include "textnorm/mixed_token.h"

#include "textnorm/char_names.h"
#include "textnorm/decimal_reader.h"
#include "textnorm/number_reader.h"

const MeasureUnit measure_table[kMeasureTableRows] = {
    {u"mm", u"mi li mét"},
    {u"cm", u"xăng ti mét"},
    {u"dm", u"đề xi mét"},
    {u"m", u"mét"},
    {u"km", u"ki lô mét"},
    {u"mm2", u"mi li mét vuông"},
    {u"cm2", u"xăng ti mét vuông"},
    {u"dm2", u"đề xi mét vuông"},
    {u"m2", u"mét vuông"},
    {u"km2", u"ki lô mét vuông"},
    {u"mm3", u"mi li mét khối"},
    {u"cm3", u"xăng ti mét khối"},
    {u"dm3", u"đề xi mét khối"},
    {u"m3", u"mét khối"},
    {u"km3", u"ki lô mét khối"},
    {u"hz", u"héc"},
    {u"khz", u"ki lô héc"},
    {u"ghz", u"ghi ga héc"},
    {u"ml", u"mi li lít"},
    {u"l", u"lít"},
    {u"mol", u"môn"},
    {u"h", u"giờ"},
    {u"s", u"giây"},
    {u"kg", u"ki lô gam"},
};

namespace {

bool is_number_char(char16_t c) { return (c >= u'0' && c <= u'9') || c == u',' || c == u'.'; }

bool same_text(const char16_t *a, const char16_t *b) {
    for (; *a != 0 && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

// Every character's name after a space, stopping before the first that would pass the limit.
int spell_token(const char16_t *token, char16_t out[kNormTextCapacity]) {
    static_assert(kSpelledTextLimit < kNormTextCapacity, "spelled text must fit the buffer");
    int length = 0;
    out[0] = 0;
    for (const char16_t *p = token; *p != 0; ++p) {
        const char16_t one[2] = {*p, 0};
        char16_t name[kNormTextCapacity];
        const int name_length = spell_char(one, name);
        if (length + 1 + name_length > kSpelledTextLimit) break;
        out[length++] = u' ';
        for (int i = 0; i < name_length; ++i) out[length++] = name[i];
    }
    out[length] = 0;
    return length;
}

}  // namespace

int split_mixed(const char16_t *token, char16_t out[kNormTextCapacity]) {
    out[0] = 0;
    if (token == nullptr || token[0] == 0) return 0;

    int n = 0;
    while (n < kMixedTokenScanLength && token[n] != 0) ++n;
    int prefix_length = 0;
    while (prefix_length < n && is_number_char(token[prefix_length])) ++prefix_length;

    // A longer prefix can be neither a number nor a decimal.
    constexpr int kPrefixRoom = 32;
    static_assert(kPrefixRoom > kDecimalMaxLength, "room for the longest decimal");
    if (prefix_length > 0 && prefix_length < kPrefixRoom) {
        char16_t prefix[kPrefixRoom];
        for (int i = 0; i < prefix_length; ++i) prefix[i] = token[i];
        prefix[prefix_length] = 0;

        char16_t reading[kNormTextCapacity];
        bool numeric = true;
        if (is_number(prefix)) {
            read_number(prefix, reading);
        } else if (is_decimal(prefix)) {
            read_decimal(prefix, reading);
        } else {
            numeric = false;
        }

        if (numeric) {
            char16_t rest[kNormTextCapacity];
            const int rest_length = n - prefix_length;
            for (int i = 0; i < rest_length; ++i) rest[i] = token[prefix_length + i];
            rest[rest_length] = 0;
            fold_text(rest);
            for (const MeasureUnit &unit : measure_table) {
                if (same_text(rest, unit.abbreviation)) {
                    return fill_format(out, kNormTextCapacity, u"%s %s", {reading, unit.reading});
                }
            }
            // The rest starts with no digit, comma or dot, so splitting it again would only
            // spell it out.
            char16_t spelled[kNormTextCapacity];
            spell_token(rest, spelled);
            return fill_format(out, kNormTextCapacity, u"%s %s", {reading, spelled});
        }
    }
    return spell_token(token, out);
}

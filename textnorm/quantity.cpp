// Readers of numbers with signs, ranges, currencies, units per unit and mathematical symbols.
#include "textnorm/quantity.h"

#include "lexicon/ascii_form.h"
#include "textnorm/calendar.h"
#include "textnorm/char_names.h"
#include "textnorm/decimal_reader.h"
#include "textnorm/mixed_token.h"
#include "textnorm/number_reader.h"

namespace {

bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool is_number_char(char16_t c) { return is_digit(c) || c == u',' || c == u'.'; }

bool same_text(const char16_t *a, const char16_t *b) {
    for (; *a != 0 && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

// Room for the longest number or decimal and its terminator.
constexpr int kNumberRoom = 40;
static_assert(kNumberRoom > kDottedNumberMaxLength && kNumberRoom > kDecimalMaxLength, "room for a number");

// A token cut in two: its leading number or decimal (the longest run of digits, commas and dots,
// which must be a whole number or decimal) and the rest after it.
struct NumberAndRest {
    char16_t number[kNumberRoom];
    const char16_t *rest;
};

bool split_number(const char16_t *token, NumberAndRest *parts) {
    int length = 0;
    while (is_number_char(token[length])) {
        if (length + 1 >= kNumberRoom) return false;
        parts->number[length] = token[length];
        ++length;
    }
    parts->number[length] = 0;
    parts->rest = token + length;
    return length > 0 && (is_number(parts->number) || is_decimal(parts->number));
}

int read_numeric(const char16_t *number, char16_t out[kNormTextCapacity]) {
    return is_number(number) ? read_number(number, out) : read_decimal(number, out);
}

// The value of a number or decimal, for comparing the two ends of a range.
double numeric_value(const char16_t *number) {
    double value = 0;
    double scale = 0;
    for (const char16_t *p = number; *p != 0; ++p) {
        if (*p == u',') {
            scale = 1;
        } else if (is_digit(*p)) {
            value = value * 10 + (*p - u'0');
            scale *= 10;
        }
    }
    return scale > 0 ? value / scale : value;
}

// Copies at most capacity - 1 units of text, folded to lower case, into out; false when longer.
template <size_t N>
bool fold_copy(const char16_t *text, const char16_t *end, char16_t (&out)[N]) {
    size_t n = 0;
    for (const char16_t *p = text; p != end && *p != 0; ++p) {
        if (n + 1 >= N) return false;
        out[n++] = fold_letter(*p);
    }
    out[n] = 0;
    return true;
}

struct Currency {
    const char16_t *sign;  // folded
    const char16_t *reading;
    bool before_number;    // may also stand before the number
};

const Currency kCurrencies[] = {
    {u"$", u"đô la", true},  {u"us$", u"đô la mỹ", true}, {u"€", u"ơ rô", true},
    {u"¥", u"yên", true},    {u"£", u"bảng anh", true},   {u"đ", u"đồng", false},
    {u"₫", u"đồng", false},  {u"vnđ", u"việt nam đồng", false}, {u"vnd", u"việt nam đồng", false},
};

const Currency *find_currency(const char16_t *folded) {
    for (const Currency &currency : kCurrencies)
        if (same_text(folded, currency.sign)) return &currency;
    return nullptr;
}

// Words of time and count that a unit is given per: "đồng/lít", "lượt/ngày".
const char16_t *const kPerWords[] = {
    u"giờ",  u"phút", u"giây", u"ngày", u"đêm",  u"tuần", u"tháng", u"quý",  u"năm",  u"người",
    u"khách", u"lượt", u"lần", u"chiếc", u"cái", u"con",  u"căn",   u"phòng", u"hộp", u"gói",
    u"thùng", u"chai", u"lon", u"bao",  u"tấn",  u"tạ",   u"yến",   u"cân",  u"ký",   u"kí",
    u"lít",  u"mét",  u"suất", u"vé",   u"ca",   u"buổi", u"trận",  u"bữa",  u"hộ",   u"cuốn",
    u"quyển", u"bộ",  u"cây",  u"bình", u"lọ",   u"túi",  u"kiện",  u"sào",  u"thửa", u"lượng",
    u"chỉ",
};

// Units of measurement that the measure table lacks but that often follow a slash.
const MeasureUnit kMoreMeasures[] = {
    {u"g", u"gam"}, {u"mg", u"mi li gam"}, {u"ha", u"héc ta"}, {u"kwh", u"ki lô oát giờ"}, {u"kw", u"ki lô oát"},
};

const MeasureUnit *find_measure(const char16_t *folded) {
    for (const MeasureUnit &unit : measure_table)
        if (same_text(folded, unit.abbreviation)) return &unit;
    for (const MeasureUnit &unit : kMoreMeasures)
        if (same_text(folded, unit.abbreviation)) return &unit;
    return nullptr;
}

// Currencies that a price is given per (an exchange rate, đồng/USD), read by the word reader.
const char16_t *const kPerCurrencies[] = {u"usd", u"eur", u"euro"};

bool is_per_word(const char16_t *folded) {
    for (const char16_t *word : kPerWords)
        if (same_text(folded, word)) return true;
    return false;
}

bool is_per_currency(const char16_t *folded) {
    for (const char16_t *code : kPerCurrencies)
        if (same_text(folded, code)) return true;
    return false;
}

bool is_letter(char16_t c) {
    c = fold_letter(c);
    if (c >= u'a' && c <= u'z') return true;
    for (const LetterRow &row : letter_table)
        if (row.small_letter == c) return true;
    return false;
}

bool is_letter_word(const char16_t *text) {
    if (*text == 0) return false;
    for (const char16_t *p = text; *p != 0; ++p)
        if (!is_letter(*p)) return false;
    return true;
}

// The reading of the unit before or after the slash; false when it cannot stand there.
bool read_unit_part(const char16_t *part, bool denominator, WordReader read_word, char16_t out[kNormTextCapacity],
                    bool *is_measure) {
    char16_t folded[16];
    if (!fold_copy(part, nullptr, folded)) return false;
    *is_measure = false;
    if (const MeasureUnit *unit = find_measure(folded)) {
        *is_measure = true;
        fill_format(out, kNormTextCapacity, u"%s", {unit->reading});
        return true;
    }
    if (denominator && is_digit(part[0])) {
        // A measure with its number: lít/100km.
        NumberAndRest parts;
        if (!split_number(part, &parts) || !fold_copy(parts.rest, nullptr, folded)) return false;
        const MeasureUnit *unit = find_measure(folded);
        if (unit == nullptr) return false;
        char16_t number[kNormTextCapacity];
        read_numeric(parts.number, number);
        *is_measure = true;
        fill_format(out, kNormTextCapacity, u"%s %s", {number, unit->reading});
        return true;
    }
    if (denominator) {
        if (is_per_currency(folded)) {
            read_word(part, out);
            return true;
        }
        if (!is_per_word(folded)) return false;
        fill_format(out, kNormTextCapacity, u"%s", {part});
        return true;
    }
    if (const Currency *currency = find_currency(folded)) {
        fill_format(out, kNormTextCapacity, u"%s", {currency->reading});
        return true;
    }
    if (same_text(folded, u"%")) {
        fill_format(out, kNormTextCapacity, u"phần trăm", {});
        return true;
    }
    if (!is_letter_word(part)) return false;
    read_word(part, out);
    return true;
}

bool is_minus(char16_t c) { return c == u'-' || c == u'\u2212'; }

// Signs read by name before a number or between two.
bool is_expression_sign(char16_t c) {
    return c == u'±' || c == u'≥' || c == u'≤' || c == u'≠' || c == u'≈' || c == u'×' || c == u'÷';
}

}  // namespace

int read_signed_number(const char16_t *token, WordReader read_word, char16_t out[kNormTextCapacity]) {
    out[0] = 0;
    if (token == nullptr || !is_minus(token[0]) || !is_digit(token[1])) return -1;
    char16_t rest[kNormTextCapacity];
    read_word(token + 1, rest);
    return fill_format(out, kNormTextCapacity, u"âm %s", {rest});
}

int read_range(const char16_t *token, WordReader read_word, char16_t out[kNormTextCapacity]) {
    out[0] = 0;
    if (token == nullptr) return -1;
    NumberAndRest first;
    if (!split_number(token, &first)) return -1;
    const char16_t dash = first.rest[0];
    if (dash != u'-' && dash != u'–') return -1;
    const char16_t *second_text = first.rest + 1;
    char16_t from[kNormTextCapacity];
    char16_t to[kNormTextCapacity];
    // Days before a date: 10-12/12 is "mười đến mười hai tháng mười hai".
    if (read_date(second_text, to) >= 0 && is_number(first.number) && wide_length(first.number) <= 2) {
        const char16_t *date = to;
        while (*date == u' ') ++date;
        while (*date != 0 && *date != u' ') ++date;  // past "ngày"
        const int first_day = static_cast<int>(numeric_value(first.number));
        int second_day = 0;
        for (const char16_t *p = second_text; is_digit(*p); ++p) second_day = second_day * 10 + (*p - u'0');
        if (first_day < 1 || first_day >= second_day) return refuse(out);
        read_numeric(first.number, from);
        return fill_format(out, kNormTextCapacity, u"%s đến %s", {from, date});
    }
    NumberAndRest second;
    if (!split_number(second_text, &second)) return -1;
    // The second end may carry a unit of letters or a percent sign, nothing else.
    for (const char16_t *p = second.rest; *p != 0; ++p) {
        const char16_t c = fold_letter(*p);
        if (!((c >= u'a' && c <= u'z') || c == u'%' || c == u'°')) return -1;
    }
    if (!(numeric_value(first.number) < numeric_value(second.number))) return -1;
    read_numeric(first.number, from);
    read_word(second_text, to);
    return fill_format(out, kNormTextCapacity, u"%s đến %s", {from, to});
}

const char16_t *currency_after_number(const char16_t *text) {
    char16_t folded[8];
    if (text == nullptr || !fold_copy(text, nullptr, folded)) return nullptr;
    const Currency *currency = find_currency(folded);
    return currency ? currency->reading : nullptr;
}

int read_money(const char16_t *token, char16_t out[kNormTextCapacity]) {
    out[0] = 0;
    if (token == nullptr) return -1;
    char16_t number_reading[kNormTextCapacity];
    NumberAndRest parts;
    if (split_number(token, &parts)) {
        const char16_t *reading = currency_after_number(parts.rest);
        if (parts.rest[0] == 0 || reading == nullptr) return -1;
        read_numeric(parts.number, number_reading);
        return fill_format(out, kNormTextCapacity, u"%s %s", {number_reading, reading});
    }
    // The sign before the number.
    int sign_length = 0;
    while (token[sign_length] != 0 && !is_digit(token[sign_length]) && sign_length < 3) ++sign_length;
    char16_t folded[8];
    if (sign_length == 0 || !fold_copy(token, token + sign_length, folded)) return -1;
    const Currency *currency = find_currency(folded);
    if (currency == nullptr || !currency->before_number) return -1;
    if (!split_number(token + sign_length, &parts) || parts.rest[0] != 0) return -1;
    read_numeric(parts.number, number_reading);
    return fill_format(out, kNormTextCapacity, u"%s %s", {number_reading, currency->reading});
}

int read_per_unit(const char16_t *token, WordReader read_word, char16_t out[kNormTextCapacity]) {
    out[0] = 0;
    if (token == nullptr) return -1;
    const char16_t *slash = nullptr;
    for (const char16_t *p = token; *p != 0; ++p) {
        if (*p != u'/') continue;
        if (slash) return -1;
        slash = p;
    }
    if (slash == nullptr || slash == token || slash[1] == 0) return -1;

    char16_t number_reading[kNormTextCapacity];
    number_reading[0] = 0;
    const char16_t *unit_start = token;
    NumberAndRest parts;
    if (is_number_char(token[0])) {
        if (!split_number(token, &parts)) return -1;
        read_numeric(parts.number, number_reading);
        unit_start = parts.rest;
    }
    char16_t numerator[16];
    if (unit_start == slash || slash - unit_start >= 16) return -1;
    int n = 0;
    for (const char16_t *p = unit_start; p != slash; ++p) numerator[n++] = *p;
    numerator[n] = 0;

    char16_t above[kNormTextCapacity];
    char16_t below[kNormTextCapacity];
    bool above_is_measure = false;
    bool below_is_measure = false;
    if (!read_unit_part(slash + 1, true, read_word, below, &below_is_measure)) return -1;
    if (!read_unit_part(numerator, false, read_word, above, &above_is_measure)) return -1;
    const char16_t *per = above_is_measure || below_is_measure ? u"trên" : u"một";
    return fill_format(out, kNormTextCapacity, u"%s %s %s %s", {number_reading, above, per, below});
}

int read_symbol_expression(const char16_t *token, WordReader read_word, char16_t out[kNormTextCapacity]) {
    out[0] = 0;
    if (token == nullptr) return -1;
    char16_t name[kNormTextCapacity];
    char16_t rest[kNormTextCapacity];
    if (is_expression_sign(token[0])) {
        if (!is_digit(token[1])) return -1;
        spell_char(token, name);
        read_word(token + 1, rest);
        return fill_format(out, kNormTextCapacity, u"%s %s", {name, rest});
    }
    // Numbers joined by signs, an equals sign among them (3×4=12); at least one sign of the table.
    NumberAndRest part;
    if (!split_number(token, &part)) return -1;
    int used = read_numeric(part.number, out);
    bool named = false;
    const char16_t *p = part.rest;
    while ((is_expression_sign(*p) || *p == u'=') && is_digit(p[1])) {
        named = named || is_expression_sign(*p);
        spell_char(p, name);
        if (!split_number(p + 1, &part)) return refuse(out);
        char16_t number[kNormTextCapacity];
        read_numeric(part.number, number);
        used += fill_format(out + used, static_cast<size_t>(kNormTextCapacity - used), u" %s %s", {name, number});
        p = part.rest;
    }
    if (!named) return refuse(out);
    if (*p != 0) {
        read_word(p, rest);
        used += fill_format(out + used, static_cast<size_t>(kNormTextCapacity - used), u" %s", {rest});
    }
    return used;
}

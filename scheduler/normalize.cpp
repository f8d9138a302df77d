// Normalization dispatch for word items. The first rule that applies wins: phone numbers, numbers,
// decimal numbers, signed numbers, single characters, syllables of the voice, dates, times and
// ranges, the dictionaries on the word's lower-case 8-bit form, then the readers of money, units
// per unit, symbols, addresses, keys and hyphenated words, and last the mixed-token reader that
// spells what is left. A few rules look at the words around the token first: a Roman numeral
// after "chương" or "thế kỷ", "SN" before a year, a currency sign after a number, a phone number
// written in groups, and a date after the word it would repeat.
#include "scheduler/normalize.h"

#include "lexicon/ascii_form.h"
#include "lexicon/dictionary.h"
#include "lexicon/unit_name.h"
#include "textnorm/calendar.h"
#include "textnorm/char_names.h"
#include "textnorm/decimal_reader.h"
#include "textnorm/keyboard.h"
#include "textnorm/mixed_token.h"
#include "textnorm/norm_text.h"
#include "textnorm/number_reader.h"
#include "textnorm/phone_number.h"
#include "textnorm/quantity.h"
#include "textnorm/roman_numeral.h"
#include "textnorm/web_address.h"

namespace {

// Scratch space of the worker thread; nothing in it survives from one item to the next.
char16_t g_norm_text[kNormTextCapacity];

// Words around a token longer than this take part in no rule.
constexpr int kContextWordCapacity = 16;

// What the dispatch knows of the words before the token it reads. Words count only while no mark
// or line end stands between them: a word is next to the one read before it when it is the item
// that followed that one in the list. Only items compare, by address, so the state is cleared
// whenever a new text is segmented (reset_reading_context).
struct ReadingContext {
    char16_t before[2][kContextWordCapacity] = {};  // folded; [0] right before the token
    bool number_before = false;                     // the word right before is a number
    const UtteranceItem *expected = nullptr;        // the item after the word read last
    const UtteranceItem *phone_last = nullptr;      // last group of a phone number being read
};

ReadingContext g_context;

bool same_text(const char16_t *a, const char16_t *b) {
    for (; *a != 0 && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

int copy_text(const char16_t *text, char16_t out[kNormTextCapacity]) {
    return fill_format(out, kNormTextCapacity, u"%s", {text});
}

// The reading of a word found in a dictionary, widened byte for byte.
int widen_reading(const char *reading, char16_t out[kNormTextCapacity]) {
    int i = 0;
    for (; reading[i] != 0 && i < kNormTextCapacity - 1; ++i) out[i] = static_cast<unsigned char>(reading[i]);
    out[i] = 0;
    return i;
}

// The abbreviation first, then the English word; an empty reading is still a hit.
const char *lookup_reading(const char *key) {
    const char *reading = lookup_abbreviation(key);
    return reading ? reading : lookup_foreign_word(key);
}

// The dictionary key of a token: its lower-case 8-bit form. A token whose only letters above
// U+00FF are Đ and đ is looked up with d in their place (HĐND under "hdnd"): the lists hold
// abbreviations with d. False when the token has no key.
bool make_key(const char16_t *token, char key[kNarrowCapacity]) {
    if (narrow_text(token, key) >= 0) {
        lower_narrow(key);
        return true;
    }
    size_t n = 0;
    bool folded = false;
    for (const char16_t *p = token; *p != 0; ++p) {
        char16_t c = *p;
        if (c == u'đ' || c == u'Đ') {
            c = u'd';
            folded = true;
        }
        if (c > 0xFF || n + 1 >= static_cast<size_t>(kNarrowCapacity)) return false;
        key[n++] = static_cast<char>(c);
    }
    key[n] = 0;
    lower_narrow(key);
    return folded;
}

// Syllables spelled with k before a, o, u and their marked forms in loan words ("ka-ra-ô-kê")
// are the voice's c syllables.
bool is_known_loan_syllable(const char16_t *part) {
    if (is_known_unit(part)) return true;
    if (part[0] != u'k' && part[0] != u'K') return false;
    const char16_t vowel = fold_letter(part[1]);
    const char16_t *const back_vowels = u"aăâoôơuưáàảãạắằẳẵặấầẩẫậóòỏõọốồổỗộớờởỡợúùủũụứừửữự";
    bool back = false;
    for (const char16_t *v = back_vowels; *v != 0; ++v) back |= *v == vowel;
    if (!back) return false;
    char16_t respelled[kMaxSyllableChars + 1];
    int n = 0;
    for (const char16_t *p = part; *p != 0 && n < kMaxSyllableChars; ++p) respelled[n++] = *p;
    respelled[n] = 0;
    respelled[0] = u'c';
    return is_known_unit(respelled);
}

// A word of syllables joined by hyphens (ka-ra-ô-kê, ô-tô): the syllables, when the voice speaks
// every one of them.
int read_hyphenated(const char16_t *token, char16_t out[kNormTextCapacity]) {
    out[0] = 0;
    int parts = 0;
    int used = 0;
    char16_t part[kMaxSyllableChars + 1];
    const char16_t *p = token;
    for (;;) {
        int n = 0;
        while (*p != 0 && *p != u'-') {
            if (n == kMaxSyllableChars) return refuse(out);
            part[n++] = *p++;
        }
        part[n] = 0;
        if (n == 0 || !is_known_loan_syllable(part)) return refuse(out);
        if (!is_known_unit(part)) part[0] = u'c';
        used += fill_format(out + used, static_cast<size_t>(kNormTextCapacity - used), u" %s", {part});
        ++parts;
        if (*p == 0) break;
        ++p;
    }
    if (parts < 2) return refuse(out);
    return used;
}

bool read_token(const char16_t *token, char16_t out[kNormTextCapacity], bool dates = true);

// The reading of a part of a token, for the readers that read by parts: the part itself when the
// voice speaks it as it is.
int read_part(const char16_t *part, char16_t out[kNormTextCapacity]) {
    if (!read_token(part, out)) return copy_text(part, out);
    return static_cast<int>(wide_length(out));
}

// The rules that need nothing but the token. Writes its reading into out; false when the token
// stays as it is (a syllable of the voice). Without dates, a token shaped like one reads as it
// would without the date reader.
bool read_token(const char16_t *token, char16_t out[kNormTextCapacity], bool dates) {
    if (read_phone_number(token, out) >= 0) return true;
    if (is_number(token)) {
        read_number(token, out);
        return true;
    }
    if (is_decimal(token)) {
        read_decimal(token, out);
        return true;
    }
    if (read_signed_number(token, read_part, out) >= 0) return true;
    if (token[0] != 0 && token[1] == 0) {
        spell_char(token, out);
        return true;
    }
    if (is_known_unit(token)) return false;
    if ((dates && read_date(token, out) >= 0) || read_time(token, out) >= 0 || read_range(token, read_part, out) >= 0)
        return true;
    char key[kNarrowCapacity];
    if (make_key(token, key)) {
        if (const char *reading = lookup_reading(key)) {
            widen_reading(reading, out);
            return true;
        }
    }
    if (read_money(token, out) >= 0 || read_per_unit(token, read_part, out) >= 0 ||
        read_symbol_expression(token, read_part, out) >= 0 || read_web_address(token, read_part, out) >= 0 ||
        read_keys(token, out) >= 0 || read_hyphenated(token, out) >= 0)
        return true;
    split_mixed(token, out);
    return true;
}

bool is_four_digit_year(const UtteranceItem *item) {
    if (item == nullptr || item->kind != ItemKind::Word || item->source == nullptr || item->length != 4) return false;
    const char16_t *s = item->source;
    for (int i = 0; i < 4; ++i)
        if (s[i] < u'0' || s[i] > u'9') return false;
    return (s[0] == u'1' && s[1] == u'9') || (s[0] == u'2' && s[1] == u'0');
}

// A phone number written in groups starting at this token: the last item of its groups, or null.
const UtteranceItem *phone_number_groups(const char16_t *token, const UtteranceItem *item) {
    PhoneGroups groups;
    if (!opens_phone_number(token, static_cast<int>(wide_length(token)), &groups)) return nullptr;
    const UtteranceItem *whole = nullptr;
    for (const UtteranceItem *next = item->next; next && next->kind == ItemKind::Word && next->source;
         next = next->next) {
        if (!continues_phone_number(next->source, next->length, &groups)) break;
        if (is_whole_phone_number(groups)) whole = next;
    }
    return whole;
}

bool is_one_of(const char16_t *word, std::initializer_list<const char16_t *> words) {
    for (const char16_t *w : words)
        if (same_text(word, w)) return true;
    return false;
}

// After these words what looks like a date is a number of a document, house, page or class (số
// 12/2020, số 12/3, trang 1/10, lớp 10/1), read as it was before there was a date reader.
bool numbers_follow(const char16_t *word_before) {
    return is_one_of(word_before, {u"số", u"trang", u"câu", u"bài", u"tầng", u"phòng", u"ngõ", u"ngách", u"hẻm",
                                   u"kiệt", u"lô", u"lớp", u"nhà", u"căn", u"tỷ", u"tỉ", u"lệ"});
}

// Drops the first word of text when it is `word` ("ngày 9/12": no second ngày).
const char16_t *without_first_word(const char16_t *text, const char16_t *word) {
    const char16_t *p = text;
    while (*p == u' ') ++p;
    const char16_t *end = p;
    while (*end != 0 && *end != u' ') ++end;
    const char16_t *w = word;
    const char16_t *q = p;
    while (q != end && *w != 0 && *q == *w) {
        ++q;
        ++w;
    }
    return (q == end && *w == 0 && end != p) ? end : text;
}

// The reading of the token, or null when the token stays as it is.
const char16_t *choose_reading(const UtteranceItem *item, const char16_t *token) {
    const char16_t *before = g_context.before[0];
    if (g_context.phone_last) {
        const bool last = item == g_context.phone_last;
        if (last) g_context.phone_last = nullptr;
        read_phone_group(token, static_cast<int>(wide_length(token)), !last, g_norm_text);
        return g_norm_text;
    }
    if (read_roman_numeral(token, before, g_context.before[1], g_norm_text) >= 0) return g_norm_text;
    if ((same_text(token, u"SN") || same_text(token, u"Sn")) && is_four_digit_year(item->next)) {
        copy_text(u"sinh năm", g_norm_text);
        return g_norm_text;
    }
    if (const UtteranceItem *last_group = phone_number_groups(token, item)) {
        g_context.phone_last = last_group;
        read_phone_group(token, static_cast<int>(wide_length(token)), true, g_norm_text);
        return g_norm_text;
    }
    if (g_context.number_before) {
        if (const char16_t *currency = currency_after_number(token)) {
            copy_text(currency, g_norm_text);
            return g_norm_text;
        }
    }
    if (same_text(before, u"quý") && read_quarter(token, g_norm_text) >= 0) return g_norm_text;
    // 24/7 is round the clock, unless it follows "ngày".
    const bool dates = !numbers_follow(before) && !(same_text(token, u"24/7") && !same_text(before, u"ngày"));
    if (dates && read_date(token, g_norm_text) >= 0) {
        // Streets named after a date say it without "ngày" (đường 3/2).
        const char16_t *repeated = is_one_of(before, {u"đường", u"phố"}) ? u"ngày" : before;
        const char16_t *reading = without_first_word(g_norm_text, repeated);
        if (reading != g_norm_text) {
            char16_t rest[kNormTextCapacity];
            copy_text(reading, rest);
            copy_text(rest, g_norm_text);
        }
        return g_norm_text;
    }
    return read_token(token, g_norm_text, dates) ? g_norm_text : nullptr;
}

// Remembers the token just read as the word before the next one.
void remember_word(const char16_t *token, const UtteranceItem *following) {
    char16_t(&before)[2][kContextWordCapacity] = g_context.before;
    for (int i = 0; i < kContextWordCapacity; ++i) before[1][i] = before[0][i];
    size_t n = wide_length(token);
    if (n >= static_cast<size_t>(kContextWordCapacity)) n = 0;
    for (size_t i = 0; i < n; ++i) before[0][i] = fold_letter(token[i]);
    before[0][n] = 0;
    g_context.number_before = is_number(token) || is_decimal(token);
    g_context.expected = following;
}

}  // namespace

void reset_reading_context() { g_context = ReadingContext{}; }

void split_into_items(UtteranceItem *item, const char16_t *text) {
    UtteranceItem *last = item;
    bool first_piece = true;
    const char16_t *p = text;
    while (*p != 0) {
        while (*p == u' ') ++p;
        if (*p == 0) break;
        const char16_t *start = p;
        while (*p != 0 && *p != u' ') ++p;
        std::u16string piece(start, static_cast<size_t>(p - start));
        if (piece == kPauseWord && !first_piece) {
            // A pause inside a reading: a closing mark, which breaks the run of words.
            UtteranceItem *inserted = insert_mark_after(last, ItemKind::ClosingMark, kPauseWord);
            if (!inserted) return;
            last = inserted;
        } else if (piece == kPauseWord) {
            continue;  // no reading opens with a pause; the item stays a word
        } else if (first_piece) {
            item->norm_text = std::move(piece);
            first_piece = false;
        } else {
            UtteranceItem *inserted = insert_word_after(last, std::move(piece));
            if (!inserted) return;
            last = inserted;
        }
    }
}

void normalize_item(UtteranceItem *item) {
    const UtteranceItem *following = item->next;
    if (item != g_context.expected) {
        const UtteranceItem *expected = g_context.expected;
        g_context = ReadingContext{};
        g_context.expected = expected;
    }
    char16_t token[kContextWordCapacity];
    const size_t length = item->norm_text.size();
    const size_t kept = length < static_cast<size_t>(kContextWordCapacity) ? length : 0;
    item->norm_text.copy(token, kept);
    token[kept] = 0;

    const char16_t *reading = choose_reading(item, item->norm_text.c_str());
    remember_word(token, following);
    if (reading) split_into_items(item, reading);
}

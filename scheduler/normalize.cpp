// Normalization dispatch for word items. The first rule that applies wins: numbers,
// decimal numbers, single characters, syllables of the voice, the dictionaries on the
// word's lower-case 8-bit form, and last the mixed-token reader that spells what is left.
#include "scheduler/normalize.h"

#include "lexicon/ascii_form.h"
#include "lexicon/dictionary.h"
#include "lexicon/unit_name.h"
#include "textnorm/char_names.h"
#include "textnorm/decimal_reader.h"
#include "textnorm/mixed_token.h"
#include "textnorm/norm_text.h"
#include "textnorm/number_reader.h"

namespace {

// Scratch space of the worker thread; nothing in it survives from one item to the next.
char16_t g_norm_text[kNormTextCapacity];
char g_key[kNarrowCapacity];

// The reading of a word found in a dictionary, widened byte for byte.
const char16_t *widen_reading(const char *reading) {
    int i = 0;
    for (; reading[i] != 0 && i < kNormTextCapacity - 1; ++i)
        g_norm_text[i] = static_cast<unsigned char>(reading[i]);
    g_norm_text[i] = 0;
    return g_norm_text;
}

// The abbreviation first, then the English word; an empty reading is still a hit.
const char *lookup_reading(const char *key) {
    const char *reading = lookup_abbreviation(key);
    return reading ? reading : lookup_foreign_word(key);
}

// The reading of the token, or null when the token stays as it is.
const char16_t *choose_reading(const char16_t *token) {
    if (is_number(token)) {
        read_number(token, g_norm_text);
        return g_norm_text;
    }
    if (is_decimal(token)) {
        read_decimal(token, g_norm_text);
        return g_norm_text;
    }
    if (token[0] != 0 && token[1] == 0) {
        spell_char(token, g_norm_text);
        return g_norm_text;
    }
    if (is_known_unit(token)) return nullptr;
    if (narrow_text(token, g_key) >= 0) {
        lower_narrow(g_key);
        if (const char *reading = lookup_reading(g_key)) return widen_reading(reading);
    }
    split_mixed(token, g_norm_text);
    return g_norm_text;
}

}  // namespace

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
        if (first_piece) {
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
    if (const char16_t *reading = choose_reading(item->norm_text.c_str())) split_into_items(item, reading);
}

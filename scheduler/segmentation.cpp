// Segmentation of a request into utterance items.
#include "scheduler/segmentation.h"

#include "lexicon/compose.h"
#include "scheduler/normalize.h"

namespace {

// The full stop added at the end of a line that does not end in a sentence-final mark.
const char16_t kAddedFullStop[] = u".";

bool is_token_separator(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// Typographic quotation marks and guillemets. Languages pair them differently (“…”, »…«), so
// each one opens at a token's start and closes at its end, as the ASCII quotes do.
bool is_typographic_quote(char16_t c) {
    return c == u'\u201C' || c == u'\u201D' || c == u'\u2018' || c == u'\u2019' || c == u'\u00AB' ||
           c == u'\u00BB' || c == u'\u2039' || c == u'\u203A';
}

// The en dash and the em dash between words: a pause, like a comma.
bool is_dash(char16_t c) { return c == u'\u2013' || c == u'\u2014'; }

// Marks that end a sentence even when a quote or a bracket follows them ("Anh đi đâu?”).
bool ends_sentence_before_closer(char16_t c) { return c == u'!' || c == u'?' || c == u'\u2026'; }

// True when the token just read ended the line. A line that does not end in a sentence-final mark
// gets a full stop, unless the token's own sentence end stood inside its closing marks.
bool ends_line(const char16_t **pos, char16_t last_in_line, bool sentence_ended) {
    // Trailing white space (the carriage return of a CRLF line) still ends the line here.
    const char16_t *rest = *pos;
    while (is_token_separator(*rest)) ++rest;
    if (*rest != 0) return false;
    *pos = rest;
    if (!sentence_ended && !is_sentence_final_mark(last_in_line)) append_item(ItemKind::SentenceEnd, kAddedFullStop, 1);
    return true;
}

}  // namespace

bool is_opening_mark(char16_t c) {
    return c == u'(' || c == u'"' || c == u'{' || c == u'\'' || c == u'[' || is_typographic_quote(c);
}

bool is_closing_mark(char16_t c) {
    return c == u',' || c == u'"' || c == u';' || c == u':' || c == u')' || c == u'}' || c == u'\'' || c == u']' ||
           is_typographic_quote(c) || is_dash(c);
}

bool is_sentence_final_mark(char16_t c) {
    return c == u'.' || c == u'!' || c == u'?' || c == u';' || c == u'\u2026';
}

const char16_t *next_token(const char16_t **pos, int32_t *length) {
    const char16_t *p = *pos;
    while (is_token_separator(*p)) ++p;
    if (*p == 0) {
        *pos = p;
        return nullptr;
    }
    const char16_t *start = p;
    while (*p != 0 && !is_token_separator(*p)) ++p;
    *pos = p;
    *length = static_cast<int32_t>(p - start);
    return start;
}

bool segment_token(const char16_t **pos) {
    int32_t n = 0;
    const char16_t *p = next_token(pos, &n);
    if (!p) return false;
    const char16_t last_in_line = p[n - 1];

    // A dash standing alone between words is a pause, not a word to spell.
    if (n == 1 && is_dash(*p)) {
        append_item(ItemKind::ClosingMark, p, 1);
        return !ends_line(pos, last_in_line, false);
    }

    while (n >= 2 && is_opening_mark(*p)) {
        append_item(ItemKind::OpeningMark, p, 1);
        ++p;
        --n;
    }

    UtteranceItem *word = append_item(ItemKind::Word, p, n);

    // Sentence-final marks come off first, so the pending one is the leftmost of its run.
    const char16_t *q = p + n - 1;
    const char16_t *pending_end = nullptr;
    while (n >= 2 && is_sentence_final_mark(*q)) {
        pending_end = q;
        --q;
        --n;
    }
    const char16_t *first_closer = nullptr;
    while (n >= 2 && is_closing_mark(*q)) {
        append_item(ItemKind::ClosingMark, q, 1);
        first_closer = q;
        --q;
        --n;
    }
    // "đâu?”" and "lại.”": the sentence ended inside the closing marks. A full stop before an
    // ASCII closer stays in its word, as it always has.
    if (first_closer && !pending_end) {
        const bool typographic_closer = is_typographic_quote(*first_closer);
        while (n >= 2 && (ends_sentence_before_closer(*q) || (typographic_closer && *q == u'.'))) {
            pending_end = q;
            --q;
            --n;
        }
    }
    if (pending_end) append_item(ItemKind::SentenceEnd, pending_end, 1);

    if (word) {
        word->length = n;
        word->kind = ItemKind::Word;
    }
    return !ends_line(pos, last_in_line, pending_end != nullptr);
}

void assign_position_codes() {
    bool previous_is_word = false;
    for (UtteranceItem *item = item_list().head; item; item = item->next) {
        bool is_word = item->kind == ItemKind::Word;
        if (!is_word) {
            item->position = NotWord;
        } else {
            bool next_is_word = item->next && item->next->kind == ItemKind::Word;
            item->position = previous_is_word ? (next_is_word ? Middle : Last) : (next_is_word ? First : Alone);
        }
        previous_is_word = is_word;
    }
}

void segment_text(char16_t *text) {
    ItemList &list = item_list();
    // Items left by an interrupted request were normalized already and their text is gone.
    UtteranceItem *last_old = list.tail;
    reset_reading_context();

    char16_t *p = text;
    while (*p != 0) {
        while (*p == u'\n') ++p;  // a run of line feeds is one separator
        if (*p == 0) break;
        char16_t *line = p;
        while (*p != 0 && *p != u'\n') ++p;
        if (*p == u'\n') *p++ = 0;
        compose_text(line);  // only ever shortens the line, so p stays past it
        const char16_t *pos = line;
        while (segment_token(&pos)) {
        }
        append_item(ItemKind::LineEnd, nullptr, 0);
    }

    list.cursor = list.head;

    UtteranceItem *item = last_old ? last_old->next : list.head;
    while (item) {
        UtteranceItem *following = item->next;  // items that normalization inserts are not visited
        if (item->kind == ItemKind::Word) {
            item->norm_text.assign(item->source, static_cast<size_t>(item->length));
            normalize_item(item);
        }
        item = following;
    }

    assign_position_codes();
}

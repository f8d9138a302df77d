// Segmentation of a request into utterance items, one token at a time, just ahead of rendering.
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

    if (word) word->length = n;
    return !ends_line(pos, last_in_line, pending_end != nullptr);
}

namespace {

PositionCode word_position(bool previous_is_word, bool next_is_word) {
    return previous_is_word ? (next_is_word ? Middle : Last) : (next_is_word ? First : Alone);
}

// Cuts the next line out of the text, in place: false when no line is left. A run of line feeds
// is one separator, and line feeds at either end give no line.
bool start_line(TextReader &reader) {
    char16_t *p = reader.next;
    while (*p == u'\n') ++p;
    if (*p == 0) {
        reader.next = nullptr;
        return false;
    }
    char16_t *line = p;
    while (*p != 0 && *p != u'\n') ++p;
    if (*p == u'\n') *p++ = 0;
    while (*p == u'\n') ++p;
    reader.next = *p == 0 ? nullptr : p;
    reader.last_line = reader.next == nullptr;
    compose_text(line);  // only ever shortens the line, so the next one is where it was
    reader.line = line;
    return true;
}

// Copies the span of every word from `item` up to `end` into its normalized text and normalizes
// it; the items that normalization inserts are not visited again.
void normalize_items(UtteranceItem *item, const UtteranceItem *end) {
    while (item && item != end) {
        UtteranceItem *following = item->next;
        if (item->kind == ItemKind::Word) {
            item->norm_text.assign(item->source, static_cast<size_t>(item->length));
            normalize_item(item);
        }
        item = following;
    }
}

// Normalizes the `count` oldest tokens that wait. The items a token's normalization inserts stand
// before the next token's first item, so the tokens' bounds stay where they were.
void normalize_waiting(TextReader &reader, int count) {
    for (int i = 0; i < count; ++i) {
        const UtteranceItem *end = i + 1 < reader.waiting_count ? reader.waiting[i + 1] : nullptr;
        normalize_items(reader.waiting[i], end);
    }
    for (int i = count; i < reader.waiting_count; ++i) reader.waiting[i - count] = reader.waiting[i];
    reader.waiting_count -= count;
}

// Gives the items from the first one without a position their position codes, up to the first
// token that waits to be normalized and as far as the item after a word is known.
void assign_position_codes(TextReader &reader, bool text_done) {
    const UtteranceItem *end = reader.waiting_count > 0 ? reader.waiting[0] : nullptr;
    UtteranceItem *item = reader.unpositioned;
    for (; item && item != end; item = item->next) {
        const bool is_word = item->kind == ItemKind::Word;
        if (is_word && !item->next && !text_done) break;  // the next token decides
        item->position = is_word ? word_position(reader.previous_is_word, item->next && item->next->kind == ItemKind::Word)
                                 : NotWord;
        reader.previous_is_word = is_word;
    }
    reader.unpositioned = item;
}

}  // namespace

void start_reading(TextReader &reader, char16_t *text) {
    reader = TextReader{};
    reader.next = text && text[0] != 0 ? text : nullptr;
    reset_reading_context();  // the words read before belong to another text
}

bool reading_done(const TextReader &reader) { return !reader.next && !reader.line; }

bool item_is_ready(const TextReader &reader, const UtteranceItem *item) { return item && item != reader.unpositioned; }

bool read_ahead(TextReader &reader) {
    ItemList &list = item_list();
    while (!reading_done(reader)) {
        if (reader.stop_reading && reader.stop_reading->load()) return false;
        if (!reader.line && !start_line(reader)) break;
        UtteranceItem *before = list.tail;
        const bool line_goes_on = segment_token(&reader.line);
        UtteranceItem *first_new = before ? before->next : list.head;
        if (first_new) {
            reader.waiting[reader.waiting_count++] = first_new;
            if (!reader.unpositioned) reader.unpositioned = first_new;
        }
        if (!line_goes_on) {
            UtteranceItem *last = list.tail;
            if (last && last != before && last->kind == ItemKind::SentenceEnd && last->source == kAddedFullStop)
                last->added_full_stop = true;
            if (UtteranceItem *line_end = append_item(ItemKind::LineEnd, nullptr, 0)) {
                line_end->ends_request = reader.last_line;
                if (!reader.unpositioned) reader.unpositioned = line_end;
            }
            reader.line = nullptr;
        } else if (reader.waiting_count <= kReadAheadTokens) {
            continue;  // the oldest token's words may still look at more of the line
        }
        // A line's tokens are all normalized at its end: no reader looks past a line end.
        normalize_waiting(reader, line_goes_on ? 1 : reader.waiting_count);
        assign_position_codes(reader, reading_done(reader));
        return true;
    }
    if (reader.unpositioned) assign_position_codes(reader, true);
    return false;
}

void segment_text(char16_t *text) {
    TextReader reader;
    start_reading(reader, text);
    while (read_ahead(reader)) {
    }
}

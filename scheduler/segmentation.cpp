// Segmentation of a request into utterance items, one token at a time, just ahead of rendering.
#include "scheduler/segmentation.h"

#include "scheduler/normalize.h"

namespace {

// The full stop added at the end of a line that does not end in a sentence-final mark.
const char16_t kAddedFullStop[] = u".";

bool is_token_separator(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

}  // namespace

bool is_opening_mark(char16_t c) { return c == u'(' || c == u'"' || c == u'{' || c == u'\'' || c == u'['; }

bool is_closing_mark(char16_t c) {
    return c == u',' || c == u'"' || c == u';' || c == u':' || c == u')' || c == u'}' || c == u'\'' || c == u']';
}

bool is_sentence_final_mark(char16_t c) { return c == u'.' || c == u'!' || c == u'?' || c == u';'; }

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
    while (n >= 2 && is_closing_mark(*q)) {
        append_item(ItemKind::ClosingMark, q, 1);
        --q;
        --n;
    }
    if (pending_end) append_item(ItemKind::SentenceEnd, pending_end, 1);

    if (word) word->length = n;

    // Trailing white space (the carriage return of a CRLF line) still ends the line here.
    const char16_t *rest = *pos;
    while (is_token_separator(*rest)) ++rest;
    if (*rest == 0) {
        *pos = rest;
        if (!is_sentence_final_mark(last_in_line)) append_item(ItemKind::SentenceEnd, kAddedFullStop, 1);
        return false;
    }
    return true;
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
    reader.line = line;
    return true;
}

// Copies the span of every word among the new items into its normalized text and normalizes
// it; the items that normalization inserts are not visited again.
void normalize_items_from(UtteranceItem *item) {
    while (item) {
        UtteranceItem *following = item->next;
        if (item->kind == ItemKind::Word) {
            item->norm_text.assign(item->source, static_cast<size_t>(item->length));
            normalize_item(item);
        }
        item = following;
    }
}

// Gives every item from `item` on its position code, as far as the item after a word is known.
void assign_position_codes(TextReader &reader, UtteranceItem *item, bool text_done) {
    reader.position_pending = false;
    for (; item; item = item->next) {
        const bool is_word = item->kind == ItemKind::Word;
        if (is_word && !item->next && !text_done) {
            reader.position_pending = true;  // the next token decides
            return;
        }
        item->position = is_word ? word_position(reader.previous_is_word, item->next && item->next->kind == ItemKind::Word)
                                 : NotWord;
        reader.previous_is_word = is_word;
    }
}

}  // namespace

void start_reading(TextReader &reader, char16_t *text) {
    reader = TextReader{};
    reader.next = text && text[0] != 0 ? text : nullptr;
}

bool reading_done(const TextReader &reader) { return !reader.next && !reader.line; }

bool item_is_ready(const TextReader &reader, const UtteranceItem *item) {
    return item && !(reader.position_pending && item == item_list().tail);
}

bool read_ahead(TextReader &reader) {
    ItemList &list = item_list();
    while (!reading_done(reader)) {
        if (reader.stop_reading && reader.stop_reading->load()) return false;
        if (!reader.line && !start_line(reader)) break;
        UtteranceItem *before = list.tail;
        const bool line_goes_on = segment_token(&reader.line);
        if (!line_goes_on) {
            UtteranceItem *last = list.tail;
            if (last && last != before && last->kind == ItemKind::SentenceEnd && last->source == kAddedFullStop)
                last->added_full_stop = true;
            if (UtteranceItem *line_end = append_item(ItemKind::LineEnd, nullptr, 0))
                line_end->ends_request = reader.last_line;
            reader.line = nullptr;
        }
        UtteranceItem *first_new = before ? before->next : list.head;
        if (!first_new) continue;  // memory ran out
        normalize_items_from(first_new);
        assign_position_codes(reader, reader.position_pending ? before : first_new, reading_done(reader));
        return true;
    }
    if (reader.position_pending) assign_position_codes(reader, list.tail, true);
    return false;
}

void segment_text(char16_t *text) {
    TextReader reader;
    start_reading(reader, text);
    while (read_ahead(reader)) {
    }
}

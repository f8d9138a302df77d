// Cutting a request's text into lines, tokens, mark items and word items, normalizing every
// word and giving each word its position in its run. A request is read one token at a time, just
// ahead of rendering: each line is composed (decomposed letters and marks joined), the items of a
// token are appended, its words are normalized once the few tokens after it on the line are
// known (some readers look at them), and a word gets its position once the item after it is
// known. Runs of words never cross a line end, so the positions are those of reading the whole
// text first.
#pragma once

#include <atomic>

#include "scheduler/items.h"

// How many tokens of a line are cut into items before the oldest of them is normalized: a phone
// number written in groups, or "SN" before a year, is read by looking at the tokens after it.
constexpr int kReadAheadTokens = 6;

// Where the reading of a text stands. The text is cut into lines in place as they are reached.
struct TextReader {
    char16_t *next = nullptr;          // the first character not yet cut into a line; null at the end
    const char16_t *line = nullptr;    // the read position in the current line; null between lines
    bool last_line = false;            // the current line is the text's last
    bool previous_is_word = false;     // whether the item before `unpositioned` is a word
    UtteranceItem *unpositioned = nullptr;  // the first item with no position yet; null when all have one
    UtteranceItem *waiting[kReadAheadTokens + 1] = {};  // first items of the line's tokens not yet normalized
    int waiting_count = 0;
    const std::atomic<bool> *stop_reading = nullptr;  // when set, reading ends early (the speech was cancelled)
};

// Starts reading `text` (NUL-terminated, cut in place); its items go after any in the list.
void start_reading(TextReader &reader, char16_t *text);
// Appends the items of the next token, or the next line end, normalizes them and gives positions
// to the words whose neighbours are known. False, with every position given, once the text is done.
bool read_ahead(TextReader &reader);
bool reading_done(const TextReader &reader);
// True when `item` can be rendered: it is there, and its position is known.
bool item_is_ready(const TextReader &reader, const UtteranceItem *item);

// Reads the whole of `text`: new items are appended after any left in the list, and the cursor
// stays on the list's first item.
void segment_text(char16_t *text);

// The tokenizer over one line: `*pos` is the line's read position.
// Returns the token's start and sets `*length`, or null when the line holds no more token.
const char16_t *next_token(const char16_t **pos, int32_t *length);

// Appends the items of the line's next token. Returns false once the line is done.
bool segment_token(const char16_t **pos);

bool is_opening_mark(char16_t c);
bool is_closing_mark(char16_t c);
bool is_sentence_final_mark(char16_t c);

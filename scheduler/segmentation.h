// Cutting a request's text into lines, tokens, mark items and word items, then
// normalizing every word and giving each word its position in its run.
#pragma once

#include "scheduler/items.h"

// Runs the three passes over `text` (cut into lines in place); new items are appended
// after any left in the list and the cursor ends on the list's first item.
void segment_text(char16_t *text);

// The tokenizer over one line: `*pos` is the line's read position.
// Returns the token's start and sets `*length`, or null when the line holds no more token.
const char16_t *next_token(const char16_t **pos, int32_t *length);

// Appends the items of the line's next token. Returns false once the line is done.
bool segment_token(const char16_t **pos);

void assign_position_codes();

bool is_opening_mark(char16_t c);
bool is_closing_mark(char16_t c);
bool is_sentence_final_mark(char16_t c);

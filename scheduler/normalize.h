// Word normalization: how each word of a request is to be read, written as
// Vietnamese words, one word item per syllable.
#pragma once

#include "scheduler/items.h"

// Replaces the item's norm_text (a copy of its span) by its reading, inserting a word
// item after it for every further word of the reading.
void normalize_item(UtteranceItem *item);

// Forgets the words read before: called before the words of a new text are normalized, since a
// word is known to follow the one read before it only by the item that came after that one.
void reset_reading_context();

// Cuts `text` at spaces into the item and new word items after it. Keeps the item's
// text when `text` holds no word. A lone comma among the words is a pause: it becomes a
// closing-mark item.
void split_into_items(UtteranceItem *item, const char16_t *text);

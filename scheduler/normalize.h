// Word normalization: how each word of a request is to be read, written as
// Vietnamese words, one word item per syllable.
#pragma once

#include "scheduler/items.h"

// Replaces the item's norm_text (a copy of its span) by its reading, inserting a word
// item after it for every further word of the reading.
void normalize_item(UtteranceItem *item);

// Cuts `text` at spaces into the item and new word items after it. Keeps the item's
// text when `text` holds no word.
void split_into_items(UtteranceItem *item, const char16_t *text);

// The items of the request being spoken: words to voice and marks that become pauses.
// The list is part of the scheduler's state and survives from one request to the next, so the
// items left by an interrupted request are spoken before the next request's. It holds the items
// of the token being read just ahead of rendering, and those not yet rendered before it.
#pragma once

#include <cstdint>
#include <string>

enum class ItemKind : uint32_t {
    Word = 0,
    OpeningMark = 1,
    ClosingMark = 2,
    SentenceEnd = 3,
    LineEnd = 4,
};

// The position of a word in its run of words; it selects the recording of the syllable.
enum PositionCode : int32_t {
    NotWord = -1,
    Alone = 0,
    First = 1,
    Middle = 2,
    Last = 3,
};

struct UtteranceItem {
    // Span in the text the item was read from, which lives as long as the item; for the added
    // full stop a text of the library's own. Not read once rendering starts.
    const char16_t *source = nullptr;
    int32_t length = 0;
    ItemKind kind = ItemKind::Word;
    int32_t position = NotWord;
    bool added_full_stop = false;  // a SentenceEnd the engine added at a line's end, not a mark of the text
    bool ends_request = false;     // the LineEnd of the request's last line
    std::u16string norm_text;      // the word's normalized text (words only)
    UtteranceItem *next = nullptr;
};

struct ItemList {
    UtteranceItem *head = nullptr;
    UtteranceItem *tail = nullptr;
    UtteranceItem *cursor = nullptr;  // the next item to render
};

// The scheduler's list (scheduler/speech.cpp owns it).
ItemList &item_list();

// Appends at the tail (the cursor goes to it when the list was empty); returns the new item, or
// null when memory runs out.
UtteranceItem *append_item(ItemKind kind, const char16_t *source, int32_t length);
// Inserts a word holding `text` right after `after`; returns it, or null when memory runs out.
UtteranceItem *insert_word_after(UtteranceItem *after, std::u16string text);
// Inserts a mark item of that kind spanning `source` (one character) right after `after`; returns
// it, or null when memory runs out.
UtteranceItem *insert_mark_after(UtteranceItem *after, ItemKind kind, const char16_t *source);
UtteranceItem *current_item();
// Moves the cursor on and frees every item before it.
void advance_cursor();
void clear_items();

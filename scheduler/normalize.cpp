// Normalization dispatch for word items.
#include "scheduler/normalize.h"

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
    // Until the readers are wired in, every word keeps its own text.
    (void)item;
}

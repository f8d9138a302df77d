// Operations on the scheduler's item list.
#include "scheduler/items.h"

#include <new>
#include <utility>

UtteranceItem *append_item(ItemKind kind, const char16_t *source, int32_t length) {
    auto *item = new (std::nothrow) UtteranceItem;
    if (!item) return nullptr;
    item->kind = kind;
    item->source = source;
    item->length = length;
    ItemList &items = item_list();
    if (items.tail) {
        items.tail->next = item;
    } else {
        items.head = item;
        items.cursor = item;
    }
    items.tail = item;
    return item;
}

namespace {

UtteranceItem *link_after(UtteranceItem *after, UtteranceItem *item) {
    item->next = after->next;
    after->next = item;
    ItemList &items = item_list();
    if (items.tail == after) items.tail = item;
    return item;
}

}  // namespace

UtteranceItem *insert_word_after(UtteranceItem *after, std::u16string text) {
    auto *item = new (std::nothrow) UtteranceItem;
    if (!item) return nullptr;
    item->norm_text = std::move(text);
    return link_after(after, item);
}

UtteranceItem *insert_mark_after(UtteranceItem *after, ItemKind kind, const char16_t *source) {
    auto *item = new (std::nothrow) UtteranceItem;
    if (!item) return nullptr;
    item->kind = kind;
    item->source = source;
    item->length = 1;
    return link_after(after, item);
}

UtteranceItem *current_item() { return item_list().cursor; }

void advance_cursor() {
    ItemList &items = item_list();
    if (!items.cursor) return;
    UtteranceItem *new_cursor = items.cursor->next;
    UtteranceItem *item = items.head;
    while (item && item != new_cursor) {
        UtteranceItem *next = item->next;
        delete item;
        item = next;
    }
    items.head = new_cursor;
    items.cursor = new_cursor;
    if (!new_cursor) items.tail = nullptr;
}

void clear_items() {
    ItemList &items = item_list();
    UtteranceItem *item = items.head;
    while (item) {
        UtteranceItem *next = item->next;
        delete item;
        item = next;
    }
    items = ItemList{};
}

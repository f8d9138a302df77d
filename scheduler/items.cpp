// The process-wide item list.
#include "scheduler/items.h"

#include <new>
#include <utility>

namespace {

ItemList g_items;

}  // namespace

ItemList &item_list() { return g_items; }

UtteranceItem *append_item(ItemKind kind, const char16_t *source, int32_t length) {
    auto *item = new (std::nothrow) UtteranceItem;
    if (!item) return nullptr;
    item->kind = kind;
    item->source = source;
    item->length = length;
    if (g_items.tail)
        g_items.tail->next = item;
    else
        g_items.head = item;
    g_items.tail = item;
    return item;
}

namespace {

UtteranceItem *link_after(UtteranceItem *after, UtteranceItem *item) {
    item->next = after->next;
    after->next = item;
    if (g_items.tail == after) g_items.tail = item;
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

UtteranceItem *current_item() { return g_items.cursor; }

void advance_cursor() {
    if (!g_items.cursor) return;
    UtteranceItem *new_cursor = g_items.cursor->next;
    UtteranceItem *item = g_items.head;
    while (item && item != new_cursor) {
        UtteranceItem *next = item->next;
        delete item;
        item = next;
    }
    g_items.head = new_cursor;
    g_items.cursor = new_cursor;
    if (!new_cursor) g_items.tail = nullptr;
}

void clear_items() {
    UtteranceItem *item = g_items.head;
    while (item) {
        UtteranceItem *next = item->next;
        delete item;
        item = next;
    }
    g_items = ItemList{};
}

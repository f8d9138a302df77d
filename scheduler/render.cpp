// The render step.
#include "scheduler/render.h"

#include <cstring>

#include "api/settings.h"
#include "scheduler/items.h"

namespace {

int32_t make_even(int32_t bytes) { return bytes % 2 ? bytes + 1 : bytes; }

void append_silence(ChunkBuffer &chunk, int32_t bytes) {
    std::memset(chunk.data + chunk.count, 0, static_cast<size_t>(bytes));
    chunk.count += bytes;
}

}  // namespace

int32_t long_pause_bytes(int32_t rate) { return make_even(1323000 / rate); }

int32_t short_pause_bytes(int32_t rate) { return make_even(441000 / rate); }

void render_next_item(ChunkBuffer &chunk) {
    int32_t rate = synth_settings().rate.load();
    if (rate < kRateMin || rate > kRateMax) rate = kRateNormal;
    const int32_t long_pause = long_pause_bytes(rate);

    for (;;) {
        UtteranceItem *item = current_item();
        if (!item) return;
        switch (item->kind) {
        case ItemKind::OpeningMark:
        case ItemKind::ClosingMark:
        case ItemKind::SentenceEnd:
            append_silence(chunk, long_pause);
            advance_cursor();
            return;
        case ItemKind::LineEnd:
            append_silence(chunk, 2 * long_pause);
            advance_cursor();
            return;
        case ItemKind::Word:
            // Words are voiced once the voice's units can be rendered.
            advance_cursor();
            break;
        }
    }
}

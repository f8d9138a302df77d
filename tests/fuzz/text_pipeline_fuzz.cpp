// Fuzz target: text as the host sends it, through segmentation, normalization, unit naming and
// rendering, with a small voice loaded. Runs on the calling thread, as the worker would.
#include "fuzz/fuzz_entries.h"

#include <cstdio>
#include <memory>

#include "scheduler/items.h"
#include "scheduler/render.h"
#include "scheduler/segmentation.h"
#include "scheduler/settings.h"
#include "textnorm/norm_text.h"
#include "support/scratch_dir.h"
#include "voice/voice_file.h"

namespace {

struct FuzzVoice {
    ScratchDir dir;
    std::string path = dir.file("fuzz-voice.dat");
    bool written = write_fuzz_voice(path) == 0;
};

// Selected before every input: the voice-loader target may have replaced it in the same process.
bool select_fuzz_voice() {
    static FuzzVoice *voice = new FuzzVoice;  // kept for the whole run
    return voice->written && voice_select(voice->path.c_str()) == 0;
}

int32_t count_items() {
    int32_t count = 0;
    for (const UtteranceItem *item = item_list().head; item; item = item->next) count++;
    return count;
}

}  // namespace

int fuzz_text_pipeline(const uint8_t *data, size_t size) {
    if (!select_fuzz_voice()) {
        std::fprintf(stderr, "fuzz_text_pipeline: cannot load the fuzz voice\n");
        return -1;
    }
    // As SpeakText copies it: up to the first U+0000.
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const char16_t unit = static_cast<char16_t>(data[i] | data[i + 1] << 8);
        if (unit == 0) break;
        text.push_back(unit);
    }
    // The rate comes from the input's length, so pauses of every length get rendered too.
    static const int32_t kRates[] = {kRateMin, kRateNormal, kRateMax};
    synth_settings().rate.store(kRates[size % 3]);

    clear_items();
    segment_text(text.data());
    const int32_t items = count_items();
    if (item_list().cursor != item_list().head) return -1;
    // No reading passes the normalized text's buffer.
    for (const UtteranceItem *item = item_list().head; item; item = item->next) {
        if (item->norm_text.size() >= static_cast<size_t>(kNormTextCapacity)) {
            clear_items();
            return -1;
        }
    }

    static ChunkBuffer chunk;
    const int32_t frame_bytes = 2 * voice_channels();
    int result = 0;
    // Every step consumes at least one item, so more steps than items means the list does not end.
    for (int32_t step = 0;; step++) {
        if (step > items) {
            result = -1;
            break;
        }
        chunk.count = 0;
        render_next_item(chunk);
        if (chunk.count < 0 || chunk.count > kChunkCapacity || chunk.count % frame_bytes != 0) {
            result = -1;
            break;
        }
        if (chunk.count == 0) break;
    }
    if (result == 0 && current_item() != nullptr) result = -1;
    clear_items();
    settings_reset();
    return result;
}

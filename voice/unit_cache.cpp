// The decoded-unit cache: one block per kept unit, found through an array indexed by the unit's
// position in the voice's index, and a list from the most to the least recently used.
#include "voice/unit_cache.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// A unit's audio after prosody: the record, then the PCM, in one allocation.
struct ShapeBlock {
    ShapeKey key;
    int64_t uncut_limit;
    int bytes;

    unsigned char *pcm() { return reinterpret_cast<unsigned char *>(this + 1); }
};

// One kept unit: the record, then its PCM, then its messages, in one allocation.
struct CacheEntry {
    CacheEntry *newer;
    CacheEntry *older;
    ShapeBlock *shape;  // nullptr: none kept
    int position;
    int pcm_bytes;
    int message_bytes;

    unsigned char *pcm() { return reinterpret_cast<unsigned char *>(this + 1); }
    char *messages() { return reinterpret_cast<char *>(pcm() + pcm_bytes); }
};

size_t entry_block_bytes(int pcm_bytes, int message_bytes) {
    return sizeof(CacheEntry) + static_cast<size_t>(pcm_bytes) + static_cast<size_t>(message_bytes);
}

// What an entry costs the budget: its block, and the allocator's own header roughly.
constexpr int64_t kAllocatorHeaderBytes = 16;
int64_t entry_cost(int pcm_bytes, int message_bytes) {
    return static_cast<int64_t>(entry_block_bytes(pcm_bytes, message_bytes)) + kAllocatorHeaderBytes;
}

int64_t shape_cost(int bytes) {
    return static_cast<int64_t>(sizeof(ShapeBlock)) + bytes + kAllocatorHeaderBytes;
}

std::atomic<int64_t> g_budget{kDefaultUnitCacheBytes};
std::atomic<uint64_t> g_hits{0};
std::atomic<uint64_t> g_misses{0};

}  // namespace

struct UnitCache {
    int unit_count = 0;
    CacheEntry **by_position = nullptr;  // unit_count slots
    CacheEntry *newest = nullptr;
    CacheEntry *oldest = nullptr;
    int units = 0;
    int64_t bytes = 0;
};

namespace {

void unlink_entry(UnitCache &cache, CacheEntry *entry) {
    (entry->newer ? entry->newer->older : cache.newest) = entry->older;
    (entry->older ? entry->older->newer : cache.oldest) = entry->newer;
    entry->newer = entry->older = nullptr;
}

void link_newest(UnitCache &cache, CacheEntry *entry) {
    entry->newer = nullptr;
    entry->older = cache.newest;
    (cache.newest ? cache.newest->newer : cache.oldest) = entry;
    cache.newest = entry;
}

void drop_shape(UnitCache &cache, CacheEntry *entry) {
    if (!entry->shape) return;
    cache.bytes -= shape_cost(entry->shape->bytes);
    std::free(entry->shape);
    entry->shape = nullptr;
}

void remove_oldest(UnitCache &cache) {
    CacheEntry *entry = cache.oldest;
    unlink_entry(cache, entry);
    drop_shape(cache, entry);
    cache.by_position[entry->position] = nullptr;
    cache.units--;
    cache.bytes -= entry_cost(entry->pcm_bytes, entry->message_bytes);
    std::free(entry);
}

// Removes least recently used units until `wanted` more bytes fit the budget; the least recently
// used unit gives up its audio after prosody before it goes itself.
void make_room(UnitCache &cache, int64_t wanted) {
    const int64_t budget = g_budget.load();
    while (cache.oldest && cache.bytes + wanted > budget) {
        if (cache.oldest->shape)
            drop_shape(cache, cache.oldest);
        else
            remove_oldest(cache);
    }
}

void describe(CacheEntry *entry, CachedUnit *unit) {
    unit->pcm = entry->pcm();
    unit->pcm_bytes = entry->pcm_bytes;
    unit->messages = entry->messages();
    unit->message_bytes = entry->message_bytes;
}

bool valid_position(const UnitCache *cache, int position) {
    return cache && position >= 0 && position < cache->unit_count;
}

}  // namespace

UnitCache *unit_cache_create(int unit_count) {
    if (unit_count < 0) return nullptr;
    auto *cache = new (std::nothrow) UnitCache;
    if (!cache) return nullptr;
    cache->unit_count = unit_count;
    // Zero-filled pages cost no memory until a unit is kept in them.
    cache->by_position = static_cast<CacheEntry **>(std::calloc(static_cast<size_t>(unit_count > 0 ? unit_count : 1),
                                                                sizeof(CacheEntry *)));
    if (!cache->by_position) {
        delete cache;
        return nullptr;
    }
    return cache;
}

void unit_cache_free(UnitCache *cache) {
    if (!cache) return;
    while (cache->oldest) remove_oldest(*cache);
    std::free(cache->by_position);
    delete cache;
}

bool unit_cache_find(UnitCache *cache, int position, CachedUnit *unit) {
    if (!valid_position(cache, position) || !unit) return false;
    make_room(*cache, 0);  // after the budget was lowered
    CacheEntry *entry = cache->by_position[position];
    if (!entry) {
        g_misses++;
        return false;
    }
    g_hits++;
    if (entry != cache->newest) {
        unlink_entry(*cache, entry);
        link_newest(*cache, entry);
    }
    describe(entry, unit);
    return true;
}

bool unit_cache_holds(UnitCache *cache, int position) {
    if (!valid_position(cache, position)) return false;
    return cache->by_position[position] != nullptr;
}

bool unit_cache_add(UnitCache *cache, int position, const unsigned char *pcm, int pcm_bytes, const char *messages,
                    int message_bytes, CachedUnit *unit) {
    if (!valid_position(cache, position) || !unit || !pcm || pcm_bytes <= 0 || message_bytes < 0 ||
        (message_bytes > 0 && !messages))
        return false;
    const int64_t cost = entry_cost(pcm_bytes, message_bytes);
    if (cost > g_budget.load()) {
        unit_cache_trim(cache);
        return false;
    }
    if (CacheEntry *kept = cache->by_position[position]) {
        describe(kept, unit);
        return true;
    }
    make_room(*cache, cost);
    auto *entry = static_cast<CacheEntry *>(std::malloc(entry_block_bytes(pcm_bytes, message_bytes)));
    if (!entry) return false;
    entry->newer = entry->older = nullptr;
    entry->shape = nullptr;
    entry->position = position;
    entry->pcm_bytes = pcm_bytes;
    entry->message_bytes = message_bytes;
    std::memcpy(entry->pcm(), pcm, static_cast<size_t>(pcm_bytes));
    if (message_bytes > 0) std::memcpy(entry->messages(), messages, static_cast<size_t>(message_bytes));

    cache->by_position[position] = entry;
    link_newest(*cache, entry);
    cache->units++;
    cache->bytes += cost;
    describe(entry, unit);
    return true;
}

bool operator==(const ShapeKey &a, const ShapeKey &b) {
    return a.steps == b.steps && a.speed == b.speed && a.pitch == b.pitch && a.volume == b.volume &&
           a.sample_rate == b.sample_rate && a.channels == b.channels;
}

bool unit_cache_find_shape(UnitCache *cache, int position, const ShapeKey &key, CachedShape *shape) {
    if (!valid_position(cache, position) || !shape) return false;
    const CacheEntry *entry = cache->by_position[position];
    if (!entry || !entry->shape || !(entry->shape->key == key)) return false;
    shape->pcm = entry->shape->pcm();
    shape->bytes = entry->shape->bytes;
    shape->uncut_limit = entry->shape->uncut_limit;
    return true;
}

bool unit_cache_add_shape(UnitCache *cache, int position, const ShapeKey &key, const unsigned char *pcm, int bytes,
                          int64_t uncut_limit) {
    if (!valid_position(cache, position) || !pcm || bytes <= 0) return false;
    CacheEntry *entry = cache->by_position[position];
    if (!entry) return false;
    drop_shape(*cache, entry);  // another key's: of no more use
    const int64_t cost = shape_cost(bytes);
    const int64_t budget = g_budget.load();
    // Room is taken from the shapes of the units used least recently, never from a unit.
    for (CacheEntry *older = cache->oldest; older && older != entry && cache->bytes + cost > budget; older = older->newer)
        drop_shape(*cache, older);
    if (cache->bytes + cost > budget) return false;
    auto *shape = static_cast<ShapeBlock *>(std::malloc(sizeof(ShapeBlock) + static_cast<size_t>(bytes)));
    if (!shape) return false;
    shape->key = key;
    shape->uncut_limit = uncut_limit;
    shape->bytes = bytes;
    std::memcpy(shape->pcm(), pcm, static_cast<size_t>(bytes));
    entry->shape = shape;
    cache->bytes += cost;
    return true;
}

void unit_cache_trim(UnitCache *cache) {
    if (!cache) return;
    make_room(*cache, 0);
}

void set_unit_cache_budget(int64_t bytes) { g_budget.store(bytes > 0 ? bytes : 0); }

int64_t unit_cache_budget() { return g_budget.load(); }

UnitCacheUse unit_cache_use(UnitCache *cache) {
    if (!cache) return {0, 0};
    return {cache->units, cache->bytes};
}

uint64_t unit_cache_hits() { return g_hits.load(); }

uint64_t unit_cache_misses() { return g_misses.load(); }

void reset_unit_cache_counts() {
    g_hits.store(0);
    g_misses.store(0);
}

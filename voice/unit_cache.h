// Decoded units of one voice kept for reuse: the PCM a unit decodes to, before prosody, and the
// decoder's messages about it. Speech repeats a few hundred syllables most of the time, and
// speaking a kept unit costs a copy where decoding it costs a few hundred microseconds.
//
// The cache is bounded by bytes (the process-wide budget); the unit used least recently goes
// first. It belongs to its voice: made empty with it, freed with it.
//
// Threads: only the synthesis thread uses a voice's cache (under the voice lock while it
// renders), and the voice is freed with its cache only once it is no longer current, so the cache
// needs no lock of its own. It keeps to its budget as it finds and adds units, so a unit it handed
// out stays in place until the next call.
#pragma once

#include <cstddef>
#include <cstdint>

struct UnitCache;

// A kept unit. The bytes belong to the cache.
struct CachedUnit {
    const unsigned char *pcm = nullptr;
    int pcm_bytes = 0;
    const char *messages = nullptr;  // for standard error
    int message_bytes = 0;
};

// The budget new caches start with, and what it costs the long text at most in memory.
constexpr int64_t kDefaultUnitCacheBytes = int64_t{12} << 20;

// An empty cache for a voice of unit_count units, or nullptr when there is no memory for it.
UnitCache *unit_cache_create(int unit_count);
void unit_cache_free(UnitCache *cache);

// The unit at this position of the voice's index, if kept; it becomes the most recently used.
// Counts a hit or a miss.
bool unit_cache_find(UnitCache *cache, int position, CachedUnit *unit);
// Whether the unit is kept, without counting or reordering anything.
bool unit_cache_holds(UnitCache *cache, int position);

// Keeps a copy of the unit as the most recently used, first removing the units used least
// recently until it fits. True, with the kept copy in *unit, when the unit is kept, now or from
// before; false when it is larger than the budget.
bool unit_cache_add(UnitCache *cache, int position, const unsigned char *pcm, int pcm_bytes, const char *messages,
                    int message_bytes, CachedUnit *unit);
// Removes the units used least recently until the cache is within the budget.
void unit_cache_trim(UnitCache *cache);

// The bytes every cache may hold (entries and their bookkeeping); 0 keeps nothing. Any thread may
// set it; a smaller budget takes effect at the cache's next find, add or trim.
void set_unit_cache_budget(int64_t bytes);
int64_t unit_cache_budget();

struct UnitCacheUse {
    int units;
    int64_t bytes;
};
UnitCacheUse unit_cache_use(UnitCache *cache);

// Finds that found the unit, and that did not, in every cache since the last reset.
uint64_t unit_cache_hits();
uint64_t unit_cache_misses();
void reset_unit_cache_counts();

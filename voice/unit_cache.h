// Decoded units of one voice kept for reuse: the PCM a unit decodes to, before prosody, and the
// decoder's messages about it. Speech repeats a few hundred syllables most of the time, and
// speaking a kept unit costs a copy where decoding it costs a few hundred microseconds.
// Beside a kept unit's PCM the cache may hold its audio after prosody for one set of prosody
// inputs (the last used): away from normal rate, pitch and volume, sonic costs more than decoding,
// and the settings change rarely.
//
// The cache is bounded by bytes (the process-wide budget), the audio after prosody included; the
// unit used least recently goes first, after giving up its audio after prosody. That audio takes
// room that is free or that the audio after prosody of units used less recently held: keeping it
// never lets a unit go. The cache belongs to its voice: made empty with it, freed with it.
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
// recently (as unit_cache_trim does) until it fits. True, with the kept copy in *unit, when the
// unit is kept, now or from before; false when it is larger than the budget.
bool unit_cache_add(UnitCache *cache, int position, const unsigned char *pcm, int pcm_bytes, const char *messages,
                    int message_bytes, CachedUnit *unit);
// What a unit's audio after prosody depends on besides the unit: equal keys, equal bytes.
struct ShapeKey {
    int steps;      // which processing shapes it (the caller's numbering)
    int64_t speed;  // the rate or speed as that processing holds it
    int pitch, volume;
    int sample_rate, channels;
};
bool operator==(const ShapeKey &a, const ShapeKey &b);

// A kept unit's audio after prosody. It is what any destination limit from uncut_limit up gives.
struct CachedShape {
    const unsigned char *pcm = nullptr;
    int bytes = 0;
    int64_t uncut_limit = 0;
};

// The audio after prosody kept with the unit at this position for this key, if any. Counts
// nothing and reorders nothing: the unit's own find has just done both.
bool unit_cache_find_shape(UnitCache *cache, int position, const ShapeKey &key, CachedShape *shape);
// Keeps a copy of the kept unit's audio after prosody for this key, in place of any it had for
// another key, when it fits the room the budget leaves once the units used less recently have
// given up theirs. True when kept.
bool unit_cache_add_shape(UnitCache *cache, int position, const ShapeKey &key, const unsigned char *pcm, int bytes,
                          int64_t uncut_limit);

// Removes the units used least recently (each first giving up its audio after prosody) until the
// cache is within the budget.
void unit_cache_trim(UnitCache *cache);

// The bytes every cache may hold (entries, their audio after prosody and their bookkeeping); 0
// keeps nothing. Any thread may
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

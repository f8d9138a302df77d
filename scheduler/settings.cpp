// Process-wide voice settings, engine parameters and the registered audio callback.
#include "scheduler/settings.h"

#include <algorithm>
#include <climits>

#include "voice/diagnostics.h"
#include "voice/unit_cache.h"

namespace {

SynthSettings g_settings;
std::atomic<AudioCallback> g_callback{nullptr};

// A profile leaves a parameter alone where it has no value.
constexpr int32_t kNotInProfile = -1;
constexpr int32_t kUnitCacheMaxKb = 1 << 18;  // 256 MB

struct ParameterLimits {
    int32_t low;
    int32_t high;
    int32_t classic;  // the default: the engine's behaviour before parameters existed
    int32_t fluent;   // a screen reader's profile
};

// Indexed by EngineParameter; the public header documents every row.
constexpr ParameterLimits kParameterLimits[kParamCount] = {
    {0, 1, kProfileClassic, kProfileFluent},  // profile
    {0, 1, 0, 1},                             // leading silence trimmed
    {0, 200, 100, 20},                        // consonant pauses, percent
    {0, 2000, 300, 200},                      // punctuation pause, ms
    {0, 4000, 600, 300},                      // line-end pause, ms
    {0, 4000, 600, 0},                        // end-of-request pause, ms
    {0, 1, 1, 0},                             // added full stop
    {0, 1, 0, 1},                             // pause clock: 0 classic bytes, 1 voice time
    {50, 400, 100, 100},                      // speed, percent
    {0, 20, 0, 8},                            // join crossfade, ms
    {0, 1, 1, kNotInProfile},                 // diagnostics
    {50, 400, 100, kNotInProfile},            // rate of requests queued from now on, percent
    {25, 400, 100, kNotInProfile},            // their pitch, percent
    {0, 400, 100, kNotInProfile},             // their volume, percent
    {0, 100, 100, 88},                        // gain of all speech, percent
    {0, kUnitCacheMaxKb, static_cast<int32_t>(kDefaultUnitCacheBytes / 1024), kNotInProfile},  // unit cache, KB
    {0, 0, 0, kNotInProfile},                 // units found in the cache (read only; a write sets 0)
    {0, 0, 0, kNotInProfile},                 // units decoded (likewise)
    {0, 1, 0, kNotInProfile},                 // requests queued from now on start an utterance
    {0, 1, 0, kNotInProfile},                 // the worker waits while the host queues
};

struct EngineParameters {
    std::atomic<int32_t> values[kParamCount];
    EngineParameters() {
        for (int p = 0; p < kParamCount; ++p) values[p].store(kParameterLimits[p].classic);
    }
};

EngineParameters g_parameters;

void store_parameter(int parameter, int32_t value) {
    g_parameters.values[parameter].store(value);
    if (parameter == kParamDiagnostics) set_diagnostics_enabled(value != 0);
    if (parameter == kParamUnitCache) set_unit_cache_budget(int64_t{value} * 1024);
    if (parameter == kParamUnitCacheHits || parameter == kParamUnitCacheMisses) reset_unit_cache_counts();
}

int32_t saturated(uint64_t count) { return static_cast<int32_t>(std::min<uint64_t>(count, INT32_MAX)); }

}  // namespace

SynthSettings &synth_settings() { return g_settings; }

void settings_set_rate(int32_t host_rate) {
    // Computed in 64 bits so that huge host values clamp instead of overflowing.
    int64_t doubled = 2 * static_cast<int64_t>(host_rate);
    int32_t stored = doubled > kRateMax ? kRateMax : doubled < kRateMin ? kRateMin : static_cast<int32_t>(doubled);
    g_settings.rate.store(stored);
}

int32_t settings_host_rate() { return g_settings.rate.load() / 2; }

void settings_reset() {
    g_settings.rate.store(kRateNormal);
    g_settings.pitch.store(100);
    g_settings.volume.store(100);
    g_callback.store(nullptr);
}

void set_audio_callback(AudioCallback callback) { g_callback.store(callback); }

AudioCallback audio_callback() { return g_callback.load(); }

int set_engine_parameter(int parameter, int32_t value) {
    if (parameter < 0 || parameter >= kParamCount) return -1;
    const ParameterLimits &limits = kParameterLimits[parameter];
    value = std::clamp(value, limits.low, limits.high);
    if (parameter == kParamProfile) {
        for (int p = 0; p < kParamCount; ++p) {
            const ParameterLimits &row = kParameterLimits[p];
            const int32_t profile_value = value == kProfileFluent ? row.fluent : row.classic;
            if (p != kParamProfile && row.fluent != kNotInProfile) store_parameter(p, profile_value);
        }
    }
    store_parameter(parameter, value);
    return 0;
}

int32_t engine_parameter(int parameter) {
    if (parameter < 0 || parameter >= kParamCount) return -1;
    if (parameter == kParamUnitCacheHits) return saturated(unit_cache_hits());
    if (parameter == kParamUnitCacheMisses) return saturated(unit_cache_misses());
    return g_parameters.values[parameter].load();
}

void reset_engine_parameters() {
    for (int p = 0; p < kParamCount; ++p) store_parameter(p, kParameterLimits[p].classic);
}

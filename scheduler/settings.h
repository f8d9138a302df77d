// The three voice settings, the engine parameters and the host's audio callback: single
// values written by host threads and read by the worker once per rendered item.
#pragma once

#include <atomic>
#include <cstdint>

using AudioCallback = int (*)(char *pcm, int bytes);

// Stored rate is on the engine's scale (50..200, 100 normal); the host sees half of it.
constexpr int32_t kRateMin = 50;
constexpr int32_t kRateMax = 200;
constexpr int32_t kRateNormal = 100;

struct SynthSettings {
    std::atomic<int32_t> rate{kRateNormal};
    std::atomic<int32_t> pitch{100};
    std::atomic<int32_t> volume{100};
};

SynthSettings &synth_settings();

// Host scale 25..100 (50 normal) in, clamped engine scale stored.
void settings_set_rate(int32_t host_rate);
int32_t settings_host_rate();
void settings_reset();

void set_audio_callback(AudioCallback callback);
AudioCallback audio_callback();

// The engine parameters, numbered as in the public header (VELORIN_PARAM_*).
enum EngineParameter : int {
    kParamProfile = 0,
    kParamLeadingSilence = 1,
    kParamConsonantPauses = 2,
    kParamPunctuationPause = 3,
    kParamLineEndPause = 4,
    kParamRequestEndPause = 5,
    kParamAddedFullStop = 6,
    kParamPauseClock = 7,
    kParamSpeed = 8,
    kParamJoin = 9,
    kParamDiagnostics = 10,
    kParamRequestRate = 11,
    kParamRequestPitch = 12,
    kParamRequestVolume = 13,
    kParamGain = 14,
    kParamUnitCache = 15,
    kParamUnitCacheHits = 16,
    kParamUnitCacheMisses = 17,
    kParamRequestUtterance = 18,
    kParamHold = 19,
    kParamCount = 20,
};

enum EngineProfile : int32_t { kProfileClassic = 0, kProfileFluent = 1 };

// Held to the parameter's limits and stored: 0, or -1 for an unknown number. PROFILE writes
// every parameter that has a value in that profile. UNIT_CACHE sets the cache budget; the two
// counts read the cache's counters, and writing either sets both to 0.
int set_engine_parameter(int parameter, int32_t value);
int32_t engine_parameter(int parameter);
// Every parameter back to its classic default, diagnostics on.
void reset_engine_parameters();

// The three voice settings and the host's audio callback: single values written by
// host threads and read by the worker once per rendered item.
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

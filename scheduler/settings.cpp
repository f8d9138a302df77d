// Process-wide voice settings and the registered audio callback.
#include "scheduler/settings.h"

namespace {

SynthSettings g_settings;
std::atomic<AudioCallback> g_callback{nullptr};

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

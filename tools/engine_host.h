// What a program that hosts the engine needs, as the screen reader's driver does it: the
// entries looked up by their export names, and the voice file's format, which the library
// announces nowhere.
#pragma once

#include <string>

#include "api/velorin_nvda.h"

struct EngineEntries {
    VelorinInitFn init;
    VelorinInitSynthFn init_synth;
    VelorinSetIntFn set_rate;
    VelorinSetIntFn set_pitch;
    VelorinSetIntFn set_volume;
    VelorinSpeakTextFn speak_text;
    VelorinGetIntFn get_last_index;
    VelorinVoidFn cancel;
    VelorinVoidFn terminate_synth;
    VelorinSetParameterFn set_parameter;
    VelorinGetParameterFn get_parameter;
};

// Loads the library at path and looks up every entry. 0, or -1 with a one-line reason.
int load_engine_entries(const std::string &path, EngineEntries *entries, std::string *error);

struct VoiceFormat {
    int sample_rate = 0;
    int channels = 0;
};

// Reads the sample rate and channel count from a voice file's header. 0, or -1 with a reason.
int read_voice_format(const std::string &path, VoiceFormat *format, std::string *error);

// What a voice file's header says about the voice, for lists of voices.
struct VoiceSummary {
    std::string name;    // the first header text ("vi-default")
    std::string source;  // the second ("espeak-ng vi", "recordings")
    VoiceFormat format;
    int syllables = 0;
};
int read_voice_summary(const std::string &path, VoiceSummary *summary, std::string *error);

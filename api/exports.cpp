// The host entries, exported under the exact names the screen reader's driver looks up.
// Every body catches everything: nothing may throw into the host.
#include "api/velorin_nvda.h"

#include "scheduler/settings.h"
#include "scheduler/speech.h"
#include "voice/voice_file.h"

// The four entries with C++ names are C functions whose symbols the public header pins to the
// host's strings, whatever this platform's wchar_t is. On Windows the module-definition files in
// api/windows/ map the names instead (mingw's 32-bit export directives cannot carry asm labels),
// so there they are declared here, unexported under their own names.
#if defined(_WIN32)
extern "C" {
bool VelorinInitSynth(VelorinAudioCallback callback);
void VelorinSpeakText(const VelorinUtf16 *text, int index);
void VelorinTerminateSynth(void);
int VelorinSetVoice(char *name);
}
#endif

int Init(const char *voice_path) {
    if (!voice_path) return -1;
    try {
        return voice_select(voice_path) == 0 ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

bool VelorinInitSynth(VelorinAudioCallback callback) {
    set_audio_callback(callback);
    return true;
}

void SetRate(int rate) { settings_set_rate(rate); }
void SetPitch(int pitch) { synth_settings().pitch.store(pitch); }
void SetVolume(int volume) { synth_settings().volume.store(volume); }
int GetRate(void) { return settings_host_rate(); }
int GetPitch(void) { return synth_settings().pitch.load(); }
int GetVolume(void) { return synth_settings().volume.load(); }

void VelorinSpeakText(const VelorinUtf16 *text, int index) {
    try {
        speak_text(reinterpret_cast<const char16_t *>(text), index);
    } catch (...) {
    }
}

void Cancel(void) {
    try {
        cancel_speech();
    } catch (...) {
    }
}

int GetLastIndex(void) {
    try {
        return last_index();
    } catch (...) {
        return -1;
    }
}

void Terminate(void) { terminate_speech(); }

void VelorinTerminateSynth(void) {
    try {
        terminate_synth();
    } catch (...) {
    }
}

int GetVoice(void) { return 0; }
int VelorinSetVoice(char *) { return 0; }
// Speech is not paused: the host pauses its own playback.
void Pause(void) {}
// The host plays the audio.
int SetOutputDevice(void) { return 0; }

// The public numbers are the engine's own, so the entries only forward.
constexpr int kPublicParameters[][2] = {
    {VELORIN_PARAM_PROFILE, kParamProfile},
    {VELORIN_PARAM_LEADING_SILENCE, kParamLeadingSilence},
    {VELORIN_PARAM_CONSONANT_PAUSES, kParamConsonantPauses},
    {VELORIN_PARAM_PUNCTUATION_PAUSE, kParamPunctuationPause},
    {VELORIN_PARAM_LINE_END_PAUSE, kParamLineEndPause},
    {VELORIN_PARAM_REQUEST_END_PAUSE, kParamRequestEndPause},
    {VELORIN_PARAM_ADDED_FULL_STOP, kParamAddedFullStop},
    {VELORIN_PARAM_PAUSE_CLOCK, kParamPauseClock},
    {VELORIN_PARAM_SPEED, kParamSpeed},
    {VELORIN_PARAM_JOIN, kParamJoin},
    {VELORIN_PARAM_DIAGNOSTICS, kParamDiagnostics},
    {VELORIN_PARAM_REQUEST_RATE, kParamRequestRate},
    {VELORIN_PARAM_REQUEST_PITCH, kParamRequestPitch},
    {VELORIN_PARAM_REQUEST_VOLUME, kParamRequestVolume},
    {VELORIN_PARAM_GAIN, kParamGain},
    {VELORIN_PARAM_UNIT_CACHE, kParamUnitCache},
    {VELORIN_PARAM_UNIT_CACHE_HITS, kParamUnitCacheHits},
    {VELORIN_PARAM_UNIT_CACHE_MISSES, kParamUnitCacheMisses},
    {VELORIN_PARAM_REQUEST_UTTERANCE, kParamRequestUtterance},
    {VELORIN_PARAM_HOLD, kParamHold},
    {VELORIN_PARAM_COUNT, kParamCount},
    {VELORIN_PROFILE_CLASSIC, kProfileClassic},
    {VELORIN_PROFILE_FLUENT, kProfileFluent},
};
constexpr bool public_numbers_match() {
    for (const auto &pair : kPublicParameters)
        if (pair[0] != pair[1]) return false;
    return true;
}
static_assert(public_numbers_match(), "the public parameter numbers are the engine's");

int VelorinSetParameter(int parameter, int value) { return set_speech_parameter(parameter, value); }
int VelorinGetParameter(int parameter) { return engine_parameter(parameter); }

#if defined(_WIN32)
#include <windows.h>
// Nothing may be waited for under the loader lock: a worker that TerminateSynth has not ended is
// left alone, with what it uses. Elsewhere the scheduler's state ends with the library.
extern "C" VELORIN_API BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_DETACH) {
        try {
            shut_down_speech(false);
        } catch (...) {
        }
    }
    return TRUE;
}
#endif

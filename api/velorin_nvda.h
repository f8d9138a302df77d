/*
 * velorin_nvda: a Vietnamese text-to-speech engine driven by a screen reader.
 *
 * The host looks every entry up by its exact export name (below), registers an
 * audio callback with InitSynth, loads a voice with Init and queues UTF-16 text
 * with SpeakText. Speech comes back on a worker thread, chunk by chunk, as signed
 * 16-bit little-endian PCM at the voice file's sample rate and channel count.
 * The library plays nothing itself and never ends or blocks its host.
 *
 * Four entries carry Itanium-mangled names because the screen reader's driver
 * looks them up that way; on every platform they are exported under exactly
 * these strings, whatever the platform's wchar_t is:
 *
 *   Init                  int  Init(const char *voice_path)
 *   _Z9InitSynthPFiPciE   bool InitSynth(int (*callback)(char *pcm, int bytes))
 *   SetRate SetPitch SetVolume GetRate GetPitch GetVolume
 *   _Z9SpeakTextPwi       void SpeakText(const UTF-16 text, int index)
 *   Cancel GetLastIndex Terminate
 *   _Z14TerminateSynthv   void TerminateSynth(void)
 *   GetVoice              int  GetVoice(void)
 *   _Z8SetVoicePc         int  SetVoice(char *)
 *   Pause SetOutputDevice
 *   DllMain@12 / DllMain  (Windows only)
 *
 * Beside those eighteen, two plain-named entries read and write the engine parameters
 * (below): VelorinSetParameter and VelorinGetParameter. A host that never calls them hears
 * exactly what it always heard.
 *
 * Threads. Every entry may be called on any thread, the audio callback's included. SpeakText,
 * GetLastIndex, Cancel, Terminate and the setters never wait for the worker's reading of a
 * request or for the voice file; the worker reads each request just ahead of speaking it. Init
 * reads the new voice file while the worker speaks on with the current voice, which stays when
 * the new one cannot be loaded; only regular files are read as voices.
 *
 * Stopping. When Cancel returns, no chunk of the speech it cancelled reaches the callback any
 * more: called on a host thread, it waits for a callback in progress to return; called from
 * inside the callback, nothing after that callback is delivered. A host whose callback waits
 * for its own player must therefore wake that wait (stop the player) before calling Cancel.
 * Terminate stops after the chunk in hand; what was left of the request is spoken before the
 * next request. TerminateSynth stops the same way and delivers nothing more: on a host thread it
 * waits for a callback in progress and for the worker to end; from inside the callback it cannot
 * wait, and a later TerminateSynth on a host thread does.
 *
 * Unloading. Before unloading the library, call TerminateSynth on a thread other than the
 * callback's and let it return, and never unload from inside the callback. Unloading then frees
 * everything: the voice, the queued requests and the items. Without that, unloading on Linux
 * stops the worker itself and waits for it (for a callback in progress, at most 2 seconds); on
 * Windows nothing may be waited for while the library is freed, and a worker that TerminateSynth
 * did not end is left running into code that is gone.
 */
#ifndef VELORIN_NVDA_H
#define VELORIN_NVDA_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(_WIN32)
#  define VELORIN_API __declspec(dllexport)
#else
#  define VELORIN_API __attribute__((visibility("default")))
#endif

/* The host's receiver of PCM: a buffer valid only during the call, and its byte count (> 0). */
typedef int (*VelorinAudioCallback)(char *pcm, int bytes);

/* One UTF-16 code unit of the text that SpeakText takes. */
typedef uint16_t VelorinUtf16;

/* Export names as the host looks them up, for hosts that load the library at run time. */
#define VELORIN_NAME_INIT "Init"
#define VELORIN_NAME_INIT_SYNTH "_Z9InitSynthPFiPciE"
#define VELORIN_NAME_SET_RATE "SetRate"
#define VELORIN_NAME_SET_PITCH "SetPitch"
#define VELORIN_NAME_SET_VOLUME "SetVolume"
#define VELORIN_NAME_GET_RATE "GetRate"
#define VELORIN_NAME_GET_PITCH "GetPitch"
#define VELORIN_NAME_GET_VOLUME "GetVolume"
#define VELORIN_NAME_SPEAK_TEXT "_Z9SpeakTextPwi"
#define VELORIN_NAME_CANCEL "Cancel"
#define VELORIN_NAME_GET_LAST_INDEX "GetLastIndex"
#define VELORIN_NAME_TERMINATE "Terminate"
#define VELORIN_NAME_TERMINATE_SYNTH "_Z14TerminateSynthv"
#define VELORIN_NAME_GET_VOICE "GetVoice"
#define VELORIN_NAME_SET_VOICE "_Z8SetVoicePc"
#define VELORIN_NAME_PAUSE "Pause"
#define VELORIN_NAME_SET_OUTPUT_DEVICE "SetOutputDevice"
#define VELORIN_NAME_SET_PARAMETER "VelorinSetParameter"
#define VELORIN_NAME_GET_PARAMETER "VelorinGetParameter"

/*
 * Engine parameters. VelorinSetParameter(parameter, value) holds the value to the parameter's
 * limits, stores it and returns 0, or returns -1 for an unknown parameter. VelorinGetParameter
 * returns the stored value, or -1 for an unknown parameter (no parameter takes a negative
 * value). Both may be called on any thread at any time; a change takes effect from the next
 * item rendered, as rate, pitch and volume do. Every default is the engine's classic
 * behaviour. Numbers never change meaning; new parameters are added at the end.
 *
 *  parameter          unit, range       classic  fluent  what it sets
 *  PROFILE            0 or 1            0        1       writes every parameter of the two profile
 *                                                        columns: 0 classic (the defaults), 1 fluent
 *                                                        (for a screen reader); reads back the last
 *                                                        profile written
 *  LEADING_SILENCE    0 or 1            0        1       1: a request's first audio starts at once,
 *                                                        with no added pause and its unit's own lead
 *                                                        trimmed
 *  CONSONANT_PAUSES   percent, 0..200   100      25      the short pauses before a voiceless onset
 *                                                        and after a stop final (100 ms at normal
 *                                                        speed); 0 is none
 *  PUNCTUATION_PAUSE  ms, 0..2000       300      200     the pause of an opening or closing mark and
 *                                                        of a sentence end
 *  LINE_END_PAUSE     ms, 0..4000       600      300     the pause of a line end inside a request
 *  REQUEST_END_PAUSE  ms, 0..4000       600      0       the pause of a request's last line end
 *  ADDED_FULL_STOP    0 or 1            1        0       1: a line that ends without a sentence-final
 *                                                        mark gets a sentence end's pause before its
 *                                                        line end; 0: only the line end's
 *  PAUSE_CLOCK        0 or 1            0        1       0: pauses count 44100 bytes a second whatever
 *                                                        the voice, as the classic engine did (exact
 *                                                        for a 22050 Hz mono voice); 1: voice time
 *  SPEED              percent, 50..400  100      100     multiplies the speed that SetRate sets;
 *                                                        pauses shrink with it
 *  JOIN               ms, 0..20         0        8       crossfade between the units of a run of
 *                                                        words; 0: each unit fades to zero alone
 *  DIAGNOSTICS        0 or 1            1        -       1: the unit-lookup trace on standard output
 *                                                        and the decoder's messages on standard
 *                                                        error; 0: neither (allocation failures are
 *                                                        still reported)
 *  REQUEST_RATE       percent, 50..400  100      -       rate, pitch and volume of the requests
 *  REQUEST_PITCH      percent, 25..400  100      -       queued from now on, relative to the
 *  REQUEST_VOLUME     percent, 0..400   100      -       settings; a queued request keeps its own
 *
 * A "-" in the fluent column: PROFILE leaves the parameter as it is.
 * Pause lengths are at normal speed and shrink as rate and SPEED grow.
 */
enum VelorinParameter {
    VELORIN_PARAM_PROFILE = 0,
    VELORIN_PARAM_LEADING_SILENCE = 1,
    VELORIN_PARAM_CONSONANT_PAUSES = 2,
    VELORIN_PARAM_PUNCTUATION_PAUSE = 3,
    VELORIN_PARAM_LINE_END_PAUSE = 4,
    VELORIN_PARAM_REQUEST_END_PAUSE = 5,
    VELORIN_PARAM_ADDED_FULL_STOP = 6,
    VELORIN_PARAM_PAUSE_CLOCK = 7,
    VELORIN_PARAM_SPEED = 8,
    VELORIN_PARAM_JOIN = 9,
    VELORIN_PARAM_DIAGNOSTICS = 10,
    VELORIN_PARAM_REQUEST_RATE = 11,
    VELORIN_PARAM_REQUEST_PITCH = 12,
    VELORIN_PARAM_REQUEST_VOLUME = 13,
    VELORIN_PARAM_UNIT_CACHE = 14,
    VELORIN_PARAM_UNIT_CACHE_HITS = 15,
    VELORIN_PARAM_UNIT_CACHE_MISSES = 16,
    VELORIN_PARAM_COUNT = 17
};

enum VelorinProfile {
    VELORIN_PROFILE_CLASSIC = 0,
    VELORIN_PROFILE_FLUENT = 1
};

/* Signatures of the entries, for hosts that look them up by name. */
typedef int (*VelorinInitFn)(const char *voice_path);
typedef bool (*VelorinInitSynthFn)(VelorinAudioCallback callback);
typedef void (*VelorinSetIntFn)(int value);
typedef int (*VelorinGetIntFn)(void);
typedef void (*VelorinSpeakTextFn)(const VelorinUtf16 *text, int index);
typedef void (*VelorinVoidFn)(void);
typedef int (*VelorinSetVoiceFn)(char *name);
typedef int (*VelorinSetParameterFn)(int parameter, int value);
typedef int (*VelorinGetParameterFn)(int parameter);

#ifdef __cplusplus
extern "C" {
#endif

VELORIN_API int Init(const char *voice_path);
VELORIN_API void SetRate(int rate);
VELORIN_API void SetPitch(int pitch);
VELORIN_API void SetVolume(int volume);
VELORIN_API int GetRate(void);
VELORIN_API int GetPitch(void);
VELORIN_API int GetVolume(void);
VELORIN_API void Cancel(void);
VELORIN_API int GetLastIndex(void);
VELORIN_API void Terminate(void);
VELORIN_API int GetVoice(void);
VELORIN_API void Pause(void);
VELORIN_API int SetOutputDevice(void);
VELORIN_API int VelorinSetParameter(int parameter, int value);
VELORIN_API int VelorinGetParameter(int parameter);

#ifdef __cplusplus
}
#endif

#endif

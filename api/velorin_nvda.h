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

/* Exported while the library itself is built, imported by every other user of the DLL. */
#if defined(_WIN32)
#  if defined(VELORIN_BUILDING_LIBRARY)
#    define VELORIN_API __declspec(dllexport)
#  else
#    define VELORIN_API __declspec(dllimport)
#  endif
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
 * behaviour: with all of them at their defaults the audio is byte for byte what it always was.
 * Numbers never change meaning; new parameters are added at the end.
 *
 *  parameter          unit, range       classic  fluent  what it sets
 *  PROFILE            0 or 1            0        1       writes every parameter of the two profile
 *                                                        columns: 0 classic (the defaults), 1 fluent
 *                                                        (for a screen reader); reads back the last
 *                                                        profile written
 *  LEADING_SILENCE    0 or 1            0        1       1: an utterance that starts in silence
 *                                                        starts at once: no pause before its first
 *                                                        unit, whose own quiet lead is cut to 5 ms
 *  CONSONANT_PAUSES   percent, 0..200   100      20      the short pauses before a voiceless onset
 *                                                        and after a stop final (100 ms at 100 %);
 *                                                        0 is none
 *  PUNCTUATION_PAUSE  ms, 0..2000       300      200     the pause of an opening or closing mark and
 *                                                        of a sentence end
 *  LINE_END_PAUSE     ms, 0..4000       600      300     the pause of a line end inside a request
 *  REQUEST_END_PAUSE  ms, 0..4000       600      0       the pause of a request's last line end
 *  ADDED_FULL_STOP    0 or 1            1        0       1: a line that ends without a sentence-final
 *                                                        mark gets a sentence end's pause before its
 *                                                        line end; 0: only the line end's
 *  PAUSE_CLOCK        0 or 1            0        1       0: pauses count 44100 bytes a second whatever
 *                                                        the voice, as the classic engine did (exact
 *                                                        for a 22050 Hz mono voice); 1: voice time,
 *                                                        the same length at every sample rate and
 *                                                        channel count
 *  SPEED              percent, 50..400  100      100     multiplies the speed that SetRate sets;
 *                                                        rate x SPEED x REQUEST_RATE is held to
 *                                                        0.25x..4x, and pauses shrink with it
 *  JOIN               ms, 0..20         0        8       crossfade between the units of a run of
 *                                                        words, in ms at normal speed (shorter as
 *                                                        the speed rises); 0: each unit fades to
 *                                                        zero alone
 *  DIAGNOSTICS        0 or 1            1        -       1: the unit-lookup trace on standard output
 *                                                        and the decoder's messages on standard
 *                                                        error; 0: neither (allocation failures are
 *                                                        still reported)
 *  REQUEST_RATE       percent, 50..400  100      -       rate, pitch and volume of the requests
 *  REQUEST_PITCH      percent, 25..400  100      -       queued from now on, relative to the
 *  REQUEST_VOLUME     percent, 0..400   100      -       settings; a queued request keeps its own
 *  GAIN               percent, 0..100   100      88      the level of all speech, on top of volume:
 *                                                        speech with fewer pauses sounds louder; at
 *                                                        88 the fluent profile is within 0.3 LU of
 *                                                        the classic one's loudness
 *  UNIT_CACHE         KB, 0..262144     12288    -       decoded units the voice keeps for reuse,
 *                                                        with their audio at the settings last used
 *                                                        (0 keeps none); the audio is the same
 *                                                        either way
 *  UNIT_CACHE_HITS    count             0        -       units served from that cache, and units
 *  UNIT_CACHE_MISSES  count             0        -       decoded, since either was last written; a
 *                                                        write sets both to 0
 *  REQUEST_UTTERANCE  0 or 1            0        -       1: each request queued from now on starts
 *                                                        an utterance of its own, as one queued in
 *                                                        silence does (see Requests in a row); 0:
 *                                                        it follows the request queued before it
 *  HOLD               0 or 1            0        -       1: the worker renders nothing more until it
 *                                                        is 0 again, so that requests a host queues
 *                                                        meanwhile meet no race with it (see Requests
 *                                                        in a row); Cancel and TerminateSynth still
 *                                                        end speech at once
 *
 * A "-" in the fluent column: PROFILE leaves the parameter as it is.
 * Pause lengths are at normal speed and shrink as the speed grows, as the units do. A pause of 0
 * is no pause at all: the units either side of it join as in a run of words.
 *
 * Requests in a row. A request starts an utterance when it is queued while nothing is spoken or
 * queued (a new utterance after silence, or after Cancel), or when REQUEST_UTTERANCE was 1 as it
 * was queued; only then does LEADING_SILENCE apply. A request that does not start an utterance
 * follows the one queued before it as the same text in one request would: with REQUEST_END_PAUSE
 * 0 and ADDED_FULL_STOP 0 nothing is put between them but what two words of a run get (the
 * consonant pauses), the last word of the first and the first word of the second take the
 * recordings of words inside a run, and with JOIN their units crossfade; the end of the first
 * request's last unit then comes in the second request's first chunk. Before a request that
 * starts an utterance, the one before it ends whole: its last word takes the recording it takes
 * at the end of a run and its last unit's end comes in its own last chunk, before GetLastIndex
 * moves on; its audio is what it would be with nothing after it, and the next request's what it
 * would be after silence. So a host may split speech at its indexes without adding silence, and
 * add silence of its own (a break) between two requests by marking the second one. The worker
 * renders ahead of playing: the second request must be queued before the first one's last word
 * is rendered to give the recordings of a run, and before its end to crossfade. A host that queues
 * the requests of one utterance together sets HOLD to 1 before the first and to 0 after the last,
 * and the audio is then the same every time. A mark at the end of a request keeps its own pause
 * (PUNCTUATION_PAUSE), as it would in the middle of one.
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
    VELORIN_PARAM_GAIN = 14,
    VELORIN_PARAM_UNIT_CACHE = 15,
    VELORIN_PARAM_UNIT_CACHE_HITS = 16,
    VELORIN_PARAM_UNIT_CACHE_MISSES = 17,
    VELORIN_PARAM_REQUEST_UTTERANCE = 18,
    VELORIN_PARAM_HOLD = 19,
    VELORIN_PARAM_COUNT = 20
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

#if !defined(_WIN32)
/* The four entries with C++ export names, under C names bound to those symbols, for programs
 * that link the library (pkg-config velorin). On Windows they are looked up by name only. */
VELORIN_API bool VelorinInitSynth(VelorinAudioCallback callback) __asm__(VELORIN_NAME_INIT_SYNTH);
VELORIN_API void VelorinSpeakText(const VelorinUtf16 *text, int index) __asm__(VELORIN_NAME_SPEAK_TEXT);
VELORIN_API void VelorinTerminateSynth(void) __asm__(VELORIN_NAME_TERMINATE_SYNTH);
VELORIN_API int VelorinSetVoice(char *name) __asm__(VELORIN_NAME_SET_VOICE);
#endif

#ifdef __cplusplus
}
#endif

#endif

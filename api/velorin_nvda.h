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

/* Signatures of the entries, for hosts that look them up by name. */
typedef int (*VelorinInitFn)(const char *voice_path);
typedef bool (*VelorinInitSynthFn)(VelorinAudioCallback callback);
typedef void (*VelorinSetIntFn)(int value);
typedef int (*VelorinGetIntFn)(void);
typedef void (*VelorinSpeakTextFn)(const VelorinUtf16 *text, int index);
typedef void (*VelorinVoidFn)(void);
typedef int (*VelorinSetVoiceFn)(char *name);

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

#ifdef __cplusplus
}
#endif

#endif

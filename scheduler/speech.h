// The request queue and the synthesis worker behind SpeakText, Cancel, GetLastIndex,
// Terminate and TerminateSynth. One worker thread at a time speaks the queued requests
// in order, reading each just ahead of rendering it, and hands every chunk to the host's
// audio callback, holding no lock.
#pragma once

#include <chrono>
#include <cstdint>

// Queues a copy of the text (NUL-terminated UTF-16) with the request rate, pitch, volume and
// utterance start of the engine parameters, and starts a worker if none runs.
void speak_text(const char16_t *text, int32_t index);
// Index of the request being spoken, -1 when the queue is empty.
int32_t last_index();
// Stops speech and discards every queued request and item. On return no chunk of that speech
// reaches the callback any more: a callback in progress is waited for, unless this is called
// from inside it, and then nothing after it is delivered.
void cancel_speech();
// Stops the worker after its current chunk; what was left of the request is spoken
// before the next one.
void terminate_speech();
// Writes an engine parameter as set_engine_parameter does; writing HOLD wakes a held worker.
int set_speech_parameter(int parameter, int32_t value);
// Stops the worker as Terminate does, but delivers nothing more: on a host thread it waits for a
// callback in progress and for the worker to end; from inside the callback it cannot wait, and
// the worker ends after that callback.
void terminate_synth();
// At unload: stops the worker and frees the queue, the items and the voice. With may_wait false
// (Windows, under the loader lock) nothing is waited for, and what a running worker still uses
// is left alone.
void shut_down_speech(bool may_wait);

// For tests: whether a worker thread is running, and a wait for it to end (false on time-out).
bool worker_running();
bool wait_for_worker_end(std::chrono::milliseconds limit);

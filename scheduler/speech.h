// The request queue and the synthesis worker behind SpeakText, Cancel, GetLastIndex,
// Terminate and TerminateSynth. One worker thread at a time speaks the queued requests
// in order and hands every chunk to the host's audio callback, holding no lock.
#pragma once

#include <cstdint>
#include <mutex>

// Queues a copy of the text (NUL-terminated UTF-16) and starts a worker if none runs.
void speak_text(const char16_t *text, int32_t index);
// Index of the request being spoken, -1 when the queue is empty.
int32_t last_index();
// Stops speech and discards every queued request and item.
void cancel_speech();
// Stops the worker after its current chunk; what was left of the request is spoken
// before the next one.
void terminate_speech();
// Stops the worker and waits for it to end (unless called from the worker itself).
void terminate_synth();

// Held while anything reads or replaces the voice or the item list: the worker takes it
// for segmentation and for each render step, Init while it swaps the voice.
std::mutex &render_mutex();

// For tests: whether a worker thread is running.
bool worker_running();

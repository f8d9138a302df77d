// The first-in-first-out list of queued SpeakText calls.
#pragma once

#include <cstdint>
#include <string>

// Rate, pitch and volume of one request, in percent of the settings (100 leaves them as set),
// taken from the engine parameters when it was queued.
struct RequestProsody {
    int32_t rate = 100;
    int32_t pitch = 100;
    int32_t volume = 100;
};

struct SpeechRequest {
    std::u16string text;  // the host's text; the worker takes it over when it starts reading it
    int32_t index = 0;
    uint64_t serial = 0;  // tells a request apart from a later one at the same address
    RequestProsody prosody;
    // Starts an utterance: queued while the engine was idle (nothing spoken or queued before it, or
    // all of it cancelled), or asked to by REQUEST_UTTERANCE. The request before it ends whole.
    bool starts_utterance = false;
    SpeechRequest *next = nullptr;
};

struct RequestQueue {
    SpeechRequest *head = nullptr;
    SpeechRequest *tail = nullptr;
    uint64_t next_serial = 1;
};

// A new request holding a copy of `text`, made before the queue's lock is taken: null for an
// empty text, and null after a message when memory runs out.
SpeechRequest *new_request(const char16_t *text, int32_t index, const RequestProsody &prosody);
// Appends the request and gives it the queue's next serial number.
void enqueue_request(RequestQueue &queue, SpeechRequest *request);
void pop_request(RequestQueue &queue);
void clear_requests(RequestQueue &queue);

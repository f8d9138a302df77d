// The first-in-first-out list of queued SpeakText calls.
#pragma once

#include <cstdint>
#include <string>

struct SpeechRequest {
    std::u16string text;  // the host's text; segmentation cuts it into lines in place
    int32_t index = 0;
    uint64_t serial = 0;  // tells a request apart from a later one at the same address
    SpeechRequest *next = nullptr;
};

struct RequestQueue {
    SpeechRequest *head = nullptr;
    SpeechRequest *tail = nullptr;
};

// Appends a copy of `text`; an empty text queues nothing. Returns -1 when memory runs out.
int enqueue_request(RequestQueue &queue, const char16_t *text, int32_t index);
void pop_request(RequestQueue &queue);
void clear_requests(RequestQueue &queue);

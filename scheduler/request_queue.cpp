// Request queue operations; callers hold the queue's lock, except for new_request.
#include "scheduler/request_queue.h"

#include <cstdio>
#include <new>

SpeechRequest *new_request(const char16_t *text, int32_t index, const RequestProsody &prosody) {
    if (!text || text[0] == 0) return nullptr;
    auto *request = new (std::nothrow) SpeechRequest;
    if (request) {
        try {
            request->text = text;
        } catch (const std::bad_alloc &) {
            delete request;
            request = nullptr;
        }
    }
    if (!request) {
        std::fputs("velorin: out of memory; the text is not spoken\n", stderr);
        return nullptr;
    }
    request->index = index;
    request->prosody = prosody;
    return request;
}

void enqueue_request(RequestQueue &queue, SpeechRequest *request) {
    request->serial = queue.next_serial++;
    request->next = nullptr;
    if (queue.tail)
        queue.tail->next = request;
    else
        queue.head = request;
    queue.tail = request;
}

void pop_request(RequestQueue &queue) {
    SpeechRequest *head = queue.head;
    if (!head) return;
    queue.head = head->next;
    if (!queue.head) queue.tail = nullptr;
    delete head;
}

void clear_requests(RequestQueue &queue) {
    while (queue.head) pop_request(queue);
}

// Request queue operations; callers hold the queue's lock.
#include "scheduler/request_queue.h"

#include <new>

namespace {

uint64_t g_next_serial = 1;

}  // namespace

int enqueue_request(RequestQueue &queue, const char16_t *text, int32_t index) {
    if (!text || text[0] == 0) return 0;
    auto *request = new (std::nothrow) SpeechRequest;
    if (!request) return -1;
    try {
        request->text = text;
    } catch (const std::bad_alloc &) {
        delete request;
        return -1;
    }
    request->index = index;
    request->serial = g_next_serial++;
    if (queue.tail)
        queue.tail->next = request;
    else
        queue.head = request;
    queue.tail = request;
    return 0;
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

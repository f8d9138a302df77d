// The request queue, the worker thread and the speech entries.
//
// Locks: queue_mutex guards the queue; render_mutex guards the item list, the chunk
// buffer and the voice; worker_mutex guards worker_running. The only nesting is
// queue_mutex, then render_mutex or worker_mutex. The audio callback runs with no lock
// held, so the host may call any entry from inside it.
#include "scheduler/speech.h"

#include <atomic>
#include <cstdio>
#include <new>
#include <system_error>
#include <thread>

#include "scheduler/items.h"
#include "scheduler/render.h"
#include "scheduler/request_queue.h"
#include "scheduler/segmentation.h"
#include "scheduler/settings.h"

namespace {

struct SchedulerState {
    std::mutex queue_mutex;
    std::mutex render_mutex;
    std::mutex worker_mutex;
    RequestQueue queue;
    std::thread worker;  // the latest worker; joined when the next starts or by TerminateSynth
    std::atomic<bool> worker_running{false};
    std::atomic<bool> cancel_requested{false};
    std::atomic<bool> stop_requested{false};
    // A SpeakText reached a worker that was already winding down: it goes on instead of ending.
    bool restart_requested = false;  // under queue_mutex
    ChunkBuffer chunk;

    ~SchedulerState() {
        // A host that unloads without TerminateSynth must not be ended by a joinable thread.
        if (worker.joinable()) worker.detach();
    }
};

SchedulerState &state() {
    static SchedulerState s;
    return s;
}

bool told_to_stop(const SchedulerState &s) { return s.stop_requested.load() || s.cancel_requested.load(); }

// Called with queue_mutex held when the worker is about to end.
void mark_worker_ended(SchedulerState &s) {
    std::lock_guard<std::mutex> lock(s.worker_mutex);
    s.worker_running.store(false);
}

// Speaks one request: segments it, renders its items and hands each chunk to the host.
void speak_head_request(SchedulerState &s, uint64_t serial) {
    while (!told_to_stop(s)) {
        {
            std::lock_guard<std::mutex> lock(s.render_mutex);
            s.chunk.count = 0;
            render_next_item(s.chunk);
        }
        if (s.chunk.count == 0) break;
        // With no callback registered, the chunk is dropped.
        if (AudioCallback callback = audio_callback()) callback(reinterpret_cast<char *>(s.chunk.data), s.chunk.count);
    }
    std::lock_guard<std::mutex> lock(s.queue_mutex);
    // After Cancel the head may already be a newer request, which must not be lost.
    if (s.queue.head && s.queue.head->serial == serial) pop_request(s.queue);
}

void run_worker() {
    SchedulerState &s = state();
    for (;;) {
        uint64_t serial = 0;
        {
            std::lock_guard<std::mutex> lock(s.queue_mutex);
            if (told_to_stop(s)) {
                if (!s.restart_requested) {
                    mark_worker_ended(s);
                    return;
                }
                s.restart_requested = false;
                s.cancel_requested.store(false);
                s.stop_requested.store(false);
            }
            if (!s.queue.head) {
                // Cleared before queue_mutex is released, so a SpeakText after this starts a new worker.
                mark_worker_ended(s);
                return;
            }
            serial = s.queue.head->serial;
            std::lock_guard<std::mutex> render_lock(s.render_mutex);
            try {
                segment_text(s.queue.head->text.data());
            } catch (const std::bad_alloc &) {
                std::fputs("velorin: out of memory while reading a request; it is skipped\n", stderr);
                clear_items();
            }
        }
        speak_head_request(s, serial);
    }
}

}  // namespace

std::mutex &render_mutex() { return state().render_mutex; }

bool worker_running() { return state().worker_running.load(); }

void speak_text(const char16_t *text, int32_t index) {
    SchedulerState &s = state();
    std::lock_guard<std::mutex> lock(s.queue_mutex);
    if (enqueue_request(s.queue, text, index) != 0)
        std::fputs("velorin: out of memory; the text is not spoken\n", stderr);
    if (!s.queue.head) return;
    if (s.worker_running.load()) {
        if (told_to_stop(s)) s.restart_requested = true;
        return;
    }
    s.cancel_requested.store(false);
    s.stop_requested.store(false);
    s.restart_requested = false;
    {
        std::lock_guard<std::mutex> worker_lock(s.worker_mutex);
        s.worker_running.store(true);
    }
    // The previous worker has ended its loop (worker_running is 0): joining only waits for its exit.
    if (s.worker.joinable()) s.worker.join();
    try {
        s.worker = std::thread(run_worker);
    } catch (const std::system_error &) {
        // No thread: the next SpeakText tries again.
        std::lock_guard<std::mutex> worker_lock(s.worker_mutex);
        s.worker_running.store(false);
        std::fputs("velorin: cannot start the speech thread\n", stderr);
    }
}

int32_t last_index() {
    SchedulerState &s = state();
    std::lock_guard<std::mutex> lock(s.queue_mutex);
    return s.queue.head ? s.queue.head->index : -1;
}

void cancel_speech() {
    SchedulerState &s = state();
    s.cancel_requested.store(true);
    {
        std::lock_guard<std::mutex> lock(s.render_mutex);
        clear_items();
    }
    std::lock_guard<std::mutex> lock(s.queue_mutex);
    clear_requests(s.queue);
    s.restart_requested = false;
}

void terminate_speech() { state().stop_requested.store(true); }

void terminate_synth() {
    SchedulerState &s = state();
    s.stop_requested.store(true);
    std::thread worker;
    {
        std::lock_guard<std::mutex> lock(s.queue_mutex);
        worker = std::move(s.worker);
    }
    if (!worker.joinable()) return;
    // From the audio callback the worker cannot wait for itself; it ends after the call.
    if (worker.get_id() == std::this_thread::get_id())
        worker.detach();
    else
        worker.join();
}

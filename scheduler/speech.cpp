// The request queue, the worker thread and the speech entries, and the one record that holds
// the scheduler's state.
//
// Locks, in the only order in which they nest:
//   1. the voice select lock (voice/voice_file.cpp): one voice_select at a time, held while a
//      voice file loads;
//   2. voice_mutex() (voice/voice_file.cpp): the voice in use; held by the worker for each render
//      step, which reads the text just ahead as well, and by voice_select and
//      voice_release_current only to swap the voice.
//   A voice's cache of decoded units has no lock of its own: the worker uses it under
//   voice_mutex(), and it is freed with its voice after the swap.
//   queue_mutex stands apart: it is never held together with either voice lock, and nothing slow
//   runs under it (no text is read, no voice file touched, no diagnostics written, no callback
//   made). It guards the queue and its serial, the worker's handle and flags, the generation and
//   the callback in progress. A host entry therefore waits for it only while another runs a few
//   instructions; Cancel and TerminateSynth also wait, on purpose, for a callback in progress,
//   and TerminateSynth for the worker's current step.
// The worker holds no lock while it calls the audio callback, so the host may call any entry
// from inside it.
//
// The item list, the text being read and the chunk belong to the worker while one runs; with
// none running, they are touched only under queue_mutex.
#include "scheduler/speech.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>

#include "scheduler/items.h"
#include "scheduler/render.h"
#include "scheduler/request_queue.h"
#include "scheduler/segmentation.h"
#include "scheduler/settings.h"
#include "voice/diagnostics.h"
#include "voice/voice_file.h"

namespace {

// How long an unload waits for a callback in progress before it gives up and leaves the worker
// (and what it uses) alone: a host's callback returns within a chunk's playing time.
constexpr auto kUnloadCallbackWait = std::chrono::seconds(2);

// The text being read and where its reading stands. The items' spans point into `text`, which
// is replaced only once the list is empty.
struct Reading {
    std::u16string text;
    TextReader reader;
    RequestProsody prosody;
    uint64_t serial = 0;  // the queued request being read; 0 for what a Terminate left of one
};

struct SchedulerState {
    std::mutex queue_mutex;
    std::condition_variable changed;  // a callback returned, or the worker ended

    // Under queue_mutex.
    RequestQueue queue;
    std::thread worker;  // the latest worker; joined when the next starts, or by TerminateSynth
    std::thread::id worker_id;
    std::atomic<bool> worker_running{false};  // written under queue_mutex
    bool in_callback = false;
    uint64_t callbacks = 0;          // callbacks that have returned
    uint64_t generation = 0;         // one more for every Cancel: older speech is dropped
    bool closing = false;            // TerminateSynth or unload: nothing more is delivered
    bool restart_requested = false;  // a SpeakText reached a worker that was stopping after Terminate
    bool shut_down = false;          // the library is being unloaded
    std::atomic<bool> stop_requested{false};
    std::atomic<bool> discard_requested{false};  // from a Cancel until the worker has dropped its speech

    // The worker's while it runs; under queue_mutex when none runs.
    ItemList items;
    Reading reading;
    ChunkBuffer chunk;

    SchedulerState() = default;
    SchedulerState(const SchedulerState &) = delete;
    SchedulerState &operator=(const SchedulerState &) = delete;
    // A host that unloads the library without TerminateSynth.
    ~SchedulerState() { shut_down_speech(true); }
};

SchedulerState g_state;

bool on_worker_thread(const SchedulerState &s) {
    return s.worker_running.load() && std::this_thread::get_id() == s.worker_id;
}

// Waits, with queue_mutex held in `lock`, until a callback in progress has returned (at most
// `limit`); true when none is in progress any more. From the callback itself there is nothing
// to wait for: it is in progress until this thread returns to the worker.
template <typename Duration>
bool wait_for_callback(SchedulerState &s, std::unique_lock<std::mutex> &lock, Duration limit) {
    if (!s.in_callback || on_worker_thread(s)) return !s.in_callback;
    const uint64_t calls = s.callbacks;
    return s.changed.wait_for(lock, limit, [&] { return !s.in_callback || s.callbacks != calls; });
}

void wait_for_callback(SchedulerState &s, std::unique_lock<std::mutex> &lock) {
    if (!s.in_callback || on_worker_thread(s)) return;
    const uint64_t calls = s.callbacks;
    s.changed.wait(lock, [&] { return !s.in_callback || s.callbacks != calls; });
}

// Drops the items and the text being read; the text goes to *freed, to be freed after the lock.
void discard_speech(SchedulerState &s, std::u16string *freed) {
    clear_items();
    render_discard(s.chunk);
    freed->swap(s.reading.text);
    s.reading = Reading{};
    s.discard_requested.store(false);
}

// Moves the queue's requests to *dropped, to be freed after the lock.
void take_requests(SchedulerState &s, RequestQueue *dropped) {
    dropped->head = s.queue.head;
    dropped->tail = s.queue.tail;
    s.queue.head = s.queue.tail = nullptr;
}

// A pause still being delivered belongs to its request, which stays queued until it is through.
bool speech_in_hand(const SchedulerState &s) {
    return s.items.cursor || !reading_done(s.reading.reader) || render_pause_pending(s.chunk);
}

// Whether a request queued now follows nothing: the queue is empty, and no worker is finishing
// what a Terminate left of a request (a Cancel's leftovers are dropped, so they count as nothing).
// The worker's own state is read only when no worker runs.
bool engine_idle(const SchedulerState &s) {
    if (s.queue.head) return false;
    if (s.worker_running.load()) return s.discard_requested.load() || !s.stop_requested.load();
    return !speech_in_hand(s);
}

// Whether the one being read (or what a Terminate left, before the head) is followed by a request
// that goes on from it: queued after it, and not starting an utterance of its own.
bool request_follows(const SchedulerState &s) {
    const SpeechRequest *next = s.queue.head;
    if (s.reading.serial != 0) next = next && next->serial == s.reading.serial ? next->next : nullptr;
    return next && !next->starts_utterance;
}

// Removes the request being read from the queue, which moves GetLastIndex on. After a Cancel the
// head may be a newer request, which must not be lost.
void retire_request(SchedulerState &s) {
    if (s.reading.serial != 0 && s.queue.head && s.queue.head->serial == s.reading.serial) pop_request(s.queue);
    s.reading.serial = 0;
}

// The worker takes over the head request's text; the request stays queued until it is spoken.
void start_head_request(SchedulerState &s, std::u16string *freed) {
    SpeechRequest *head = s.queue.head;
    freed->swap(s.reading.text);
    s.reading.text = std::move(head->text);
    s.reading.prosody = head->prosody;
    s.reading.serial = head->serial;
    if (head->starts_utterance) render_start_utterance(s.chunk);
    start_reading(s.reading.reader, s.reading.text.data());
    s.reading.reader.stop_reading = &s.discard_requested;
}

// The worker's last act, under queue_mutex.
void end_worker(SchedulerState &s) {
    release_diagnostics();  // nothing is held between steps
    s.worker_running.store(false);
    s.changed.notify_all();
}

// Speaks the queue: one render step at a time, each chunk handed to the callback unless the
// speech it belongs to was cancelled meanwhile. `generation` is that of the speech in hand.
void run_worker(uint64_t generation) {
    SchedulerState &s = g_state;
    hold_diagnostics();
    for (;;) {
        std::u16string freed;  // a text let go of under the lock, freed after it
        bool follows = false;  // a request is queued after the one being read
        {
            std::unique_lock<std::mutex> lock(s.queue_mutex);
            // While the host holds the worker it is queuing requests that go on from each other:
            // whether the next one follows is only known once it is through. A worker with
            // nothing left to speak ends as usual.
            s.changed.wait(lock, [&] {
                return engine_parameter(kParamHold) == 0 || generation != s.generation || s.stop_requested.load() ||
                       (!speech_in_hand(s) && !s.queue.head && !render_holds_audio(s.chunk));
            });
            if (generation != s.generation) {
                discard_speech(s, &freed);
                generation = s.generation;
            }
            if (s.stop_requested.load()) {
                // The request is retired; what is left of it stays in the list and the text, and is
                // spoken first by the next worker, or by this one when a SpeakText came meanwhile.
                retire_request(s);
                if (!s.restart_requested || s.closing) {
                    end_worker(s);
                    return;
                }
                s.restart_requested = false;
                s.stop_requested.store(false);
            }
            if (!speech_in_hand(s)) {
                retire_request(s);
                if (s.queue.head) {
                    start_head_request(s, &freed);
                } else if (!render_holds_audio(s.chunk)) {
                    end_worker(s);
                    return;
                }
                // Otherwise the end of the last unit is still held: one more step delivers it.
            }
            follows = request_follows(s);
        }
        freed = std::u16string();

        s.chunk.count = 0;
        try {
            std::lock_guard<std::mutex> voice_lock(voice_mutex());
            render_next_item(s.chunk, &s.reading.reader, s.reading.prosody, follows);
        } catch (const std::bad_alloc &) {
            std::fputs("velorin: out of memory while reading a request; it is skipped\n", stderr);
            s.chunk.count = 0;
            std::lock_guard<std::mutex> lock(s.queue_mutex);
            retire_request(s);
            discard_speech(s, &freed);
        }
        write_held_diagnostics();
        if (s.chunk.count == 0) continue;  // the request is through

        const AudioCallback callback = audio_callback();
        {
            std::lock_guard<std::mutex> lock(s.queue_mutex);
            // With no callback registered, the chunk is dropped.
            if (generation != s.generation || s.closing || !callback) continue;
            s.in_callback = true;
        }
        callback(reinterpret_cast<char *>(s.chunk.data), s.chunk.count);
        std::lock_guard<std::mutex> lock(s.queue_mutex);
        s.in_callback = false;
        s.callbacks++;
        s.changed.notify_all();
    }
}

}  // namespace

ItemList &item_list() { return g_state.items; }

bool worker_running() { return g_state.worker_running.load(); }

bool wait_for_worker_end(std::chrono::milliseconds limit) {
    SchedulerState &s = g_state;
    std::unique_lock<std::mutex> lock(s.queue_mutex);
    return s.changed.wait_for(lock, limit, [&] { return !s.worker_running.load(); });
}

void speak_text(const char16_t *text, int32_t index) {
    SchedulerState &s = g_state;
    const RequestProsody prosody{engine_parameter(kParamRequestRate), engine_parameter(kParamRequestPitch),
                                 engine_parameter(kParamRequestVolume)};
    const bool own_utterance = engine_parameter(kParamRequestUtterance) != 0;
    // The copy is made before the lock: a long text costs the host its copy, nobody else.
    SpeechRequest *request = new_request(text, index, prosody);
    std::thread previous;
    {
        std::lock_guard<std::mutex> lock(s.queue_mutex);
        if (request) {
            request->starts_utterance = own_utterance || engine_idle(s);
            enqueue_request(s.queue, request);
        }
        if (!s.queue.head) return;
        if (s.worker_running.load()) {
            if (s.stop_requested.load() && !s.closing) s.restart_requested = true;
            return;
        }
        s.stop_requested.store(false);
        s.closing = false;
        s.restart_requested = false;
        s.worker_running.store(true);
        // The previous worker has ended its loop; joining it below only waits for its exit.
        previous = std::move(s.worker);
        try {
            s.worker = std::thread(run_worker, s.generation);
            s.worker_id = s.worker.get_id();
        } catch (const std::system_error &) {
            // No thread: the next SpeakText tries again.
            s.worker_running.store(false);
            std::fputs("velorin: cannot start the speech thread\n", stderr);
        }
    }
    if (previous.joinable()) previous.join();
}

int32_t last_index() {
    SchedulerState &s = g_state;
    std::lock_guard<std::mutex> lock(s.queue_mutex);
    return s.queue.head ? s.queue.head->index : -1;
}

void cancel_speech() {
    SchedulerState &s = g_state;
    RequestQueue dropped;
    std::u16string freed;
    {
        std::unique_lock<std::mutex> lock(s.queue_mutex);
        s.generation++;
        s.discard_requested.store(true);
        s.restart_requested = false;
        take_requests(s, &dropped);
        s.changed.notify_all();  // a held worker drops its speech at once
        // With no worker, what a Terminate left is dropped here; a worker drops its own.
        if (!s.worker_running.load()) discard_speech(s, &freed);
        wait_for_callback(s, lock);
    }
    clear_requests(dropped);
}

void terminate_speech() {
    SchedulerState &s = g_state;
    std::lock_guard<std::mutex> lock(s.queue_mutex);
    s.stop_requested.store(true);
    s.changed.notify_all();
}

int set_speech_parameter(int parameter, int32_t value) {
    const int result = set_engine_parameter(parameter, value);
    if (result == 0 && parameter == kParamHold) {
        SchedulerState &s = g_state;
        std::lock_guard<std::mutex> lock(s.queue_mutex);
        s.changed.notify_all();
    }
    return result;
}

void terminate_synth() {
    SchedulerState &s = g_state;
    std::thread worker;
    {
        std::unique_lock<std::mutex> lock(s.queue_mutex);
        s.stop_requested.store(true);
        s.closing = true;
        s.restart_requested = false;
        s.changed.notify_all();
        // From the callback the worker cannot wait for itself; it ends after the call, and a later
        // TerminateSynth on a host thread waits for it.
        if (on_worker_thread(s)) return;
        wait_for_callback(s, lock);
        worker = std::move(s.worker);
    }
    if (worker.joinable()) worker.join();
}

void shut_down_speech(bool may_wait) {
    SchedulerState &s = g_state;
    std::thread worker;
    {
        std::unique_lock<std::mutex> lock(s.queue_mutex);
        if (s.shut_down) return;  // on Windows the library's destructors follow DllMain's shut-down
        s.shut_down = true;
        s.stop_requested.store(true);
        s.discard_requested.store(true);
        s.closing = true;
        s.restart_requested = false;
        s.changed.notify_all();
        const bool wait = may_wait && !on_worker_thread(s) && wait_for_callback(s, lock, kUnloadCallbackWait);
        if (wait)
            worker = std::move(s.worker);
        else if (s.worker.joinable())
            s.worker.detach();
    }
    if (worker.joinable()) worker.join();
    RequestQueue dropped;
    std::u16string freed;
    {
        std::lock_guard<std::mutex> lock(s.queue_mutex);
        if (s.worker_running.load()) return;  // a worker that could not be waited for still uses them
        take_requests(s, &dropped);
        discard_speech(s, &freed);
    }
    clear_requests(dropped);
    voice_release_current();
}

// Captures what the worker hands to the audio callback, for tests of the speech entries.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

struct CapturedChunk {
    int32_t bytes;
    int32_t index_during_call;  // last_index() seen from inside the callback
    std::vector<unsigned char> data;
};

// Registers a callback that records every chunk; `on_chunk`, when set, runs inside the callback.
void capture_start(std::function<void(const CapturedChunk &)> on_chunk = nullptr);
std::vector<CapturedChunk> captured_chunks();
void capture_stop();

// Waits (up to `limit`) until no worker runs; true when the queue is empty then. False on time-out,
// and when a Terminate left requests queued.
bool wait_until_quiet(std::chrono::milliseconds limit = std::chrono::seconds(20));

// The end of a test that speaks: cancels what is left and waits for it (false when speech did
// not end), stops capturing, and puts the settings, the engine parameters and the voice back.
bool end_speech_test();

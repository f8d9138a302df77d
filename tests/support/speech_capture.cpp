#include "support/speech_capture.h"

#include "scheduler/settings.h"
#include "scheduler/speech.h"
#include "voice/voice_file.h"

namespace {

std::mutex g_mutex;
std::vector<CapturedChunk> g_chunks;
std::function<void(const CapturedChunk &)> g_on_chunk;

int record_chunk(char *pcm, int bytes) {
    CapturedChunk chunk{bytes, last_index(), std::vector<unsigned char>(pcm, pcm + bytes)};
    std::function<void(const CapturedChunk &)> on_chunk;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_chunks.push_back(chunk);
        on_chunk = g_on_chunk;
    }
    if (on_chunk) on_chunk(chunk);
    return 0;
}

}  // namespace

void capture_start(std::function<void(const CapturedChunk &)> on_chunk) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_chunks.clear();
        g_on_chunk = std::move(on_chunk);
    }
    set_audio_callback(record_chunk);
}

std::vector<CapturedChunk> captured_chunks() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_chunks;
}

void capture_stop() {
    set_audio_callback(nullptr);
    std::lock_guard<std::mutex> lock(g_mutex);
    g_on_chunk = nullptr;
}

bool wait_until_quiet(std::chrono::milliseconds limit) { return wait_for_worker_end(limit) && last_index() == -1; }

bool end_speech_test() {
    cancel_speech();
    const bool quiet = wait_until_quiet();
    capture_stop();
    settings_reset();
    reset_engine_parameters();
    voice_release_current();
    return quiet;
}

// The request queue and the worker: order, indexes, stopping, and re-entry from the callback.
// No voice is loaded, so words are silent and every chunk is a pause.
#include "scheduler/speech.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "scheduler/render.h"
#include "scheduler/settings.h"
#include "support/speech_capture.h"

namespace {

const int32_t kLong = long_pause_bytes(kRateNormal);  // 13230 at normal rate

std::vector<int32_t> sizes(const std::vector<CapturedChunk> &chunks) {
    std::vector<int32_t> out;
    for (const CapturedChunk &c : chunks) out.push_back(c.bytes);
    return out;
}

struct SpeechTest : testing::Test {
    void SetUp() override {
        settings_reset();
        ASSERT_TRUE(wait_until_quiet());
    }
    void TearDown() override {
        cancel_speech();
        EXPECT_TRUE(wait_until_quiet());
        capture_stop();
        settings_reset();
    }
};

TEST_F(SpeechTest, NothingQueuedReadsMinusOne) { EXPECT_EQ(last_index(), -1); }

TEST_F(SpeechTest, EmptyTextQueuesNothing) {
    capture_start();
    speak_text(u"", 3);
    speak_text(nullptr, 4);
    EXPECT_EQ(last_index(), -1);
    EXPECT_TRUE(wait_until_quiet());
    EXPECT_TRUE(captured_chunks().empty());
}

TEST_F(SpeechTest, IndexFollowsTheRequestBeingSpoken) {
    capture_start();
    speak_text(u"a, b.", 7);
    speak_text(u"c", 8);
    ASSERT_TRUE(wait_until_quiet());
    std::vector<CapturedChunk> chunks = captured_chunks();
    // a , b . L  then  c . L
    EXPECT_EQ(sizes(chunks), (std::vector<int32_t>{kLong, kLong, 2 * kLong, kLong, 2 * kLong}));
    std::vector<int32_t> indexes;
    for (const CapturedChunk &c : chunks) indexes.push_back(c.index_during_call);
    EXPECT_EQ(indexes, (std::vector<int32_t>{7, 7, 7, 8, 8}));
    EXPECT_EQ(last_index(), -1);
}

TEST_F(SpeechTest, ChunksAreSilenceOfThePauseLength) {
    capture_start();
    speak_text(u"(a)", 1);
    ASSERT_TRUE(wait_until_quiet());
    for (const CapturedChunk &c : captured_chunks())
        for (unsigned char byte : c.data) ASSERT_EQ(byte, 0);
}

TEST_F(SpeechTest, RequestOfLineFeedsIsRetiredWithoutAChunk) {
    capture_start();
    speak_text(u"\n\n\n", 5);
    ASSERT_TRUE(wait_until_quiet());
    EXPECT_TRUE(captured_chunks().empty());
}

TEST_F(SpeechTest, CancelWithNothingQueuedThenSpeakNormally) {
    cancel_speech();
    capture_start();
    speak_text(u"a", 1);
    ASSERT_TRUE(wait_until_quiet());
    EXPECT_EQ(captured_chunks().size(), 2u);
}

TEST_F(SpeechTest, CancelInsideTheCallbackStopsAfterThatChunk) {
    std::atomic<bool> all_queued{false};
    capture_start([&](const CapturedChunk &) {
        while (!all_queued.load()) std::this_thread::yield();
        cancel_speech();
    });
    speak_text(u"a, b, c, d.", 1);
    speak_text(u"e", 2);
    all_queued.store(true);
    ASSERT_TRUE(wait_until_quiet());
    EXPECT_EQ(captured_chunks().size(), 1u);
}

TEST_F(SpeechTest, SpeakTextAfterCancelWhileTheWorkerWindsDownIsSpoken) {
    std::atomic<int> calls{0};
    capture_start([&](const CapturedChunk &) {
        if (calls++ == 0) {
            cancel_speech();
            speak_text(u"z", 9);  // the cancelled worker has not ended yet
        }
    });
    speak_text(u"a, b, c.", 1);
    ASSERT_TRUE(wait_until_quiet());
    std::vector<CapturedChunk> chunks = captured_chunks();
    ASSERT_EQ(chunks.size(), 3u);  // the cancelled chunk, then z's full stop and line end
    EXPECT_EQ(chunks[1].index_during_call, 9);
    EXPECT_EQ(chunks[2].index_during_call, 9);
}

// A SpeakText that reaches the worker while it stops after Terminate keeps it going: the
// interrupted request is retired, what is left of it is spoken, then the new request.
TEST_F(SpeechTest, SpeakTextAfterTerminateWhileTheWorkerStopsGoesOn) {
    std::atomic<int> calls{0};
    capture_start([&](const CapturedChunk &) {
        if (calls++ == 0) {
            terminate_speech();
            speak_text(u"z", 9);
        }
    });
    speak_text(u"a, b, c.", 1);
    ASSERT_TRUE(wait_until_quiet());
    std::vector<int32_t> indexes;
    for (const CapturedChunk &c : captured_chunks()) indexes.push_back(c.index_during_call);
    EXPECT_EQ(sizes(captured_chunks()), (std::vector<int32_t>{kLong, kLong, kLong, 2 * kLong, kLong, 2 * kLong}));
    EXPECT_EQ(indexes, (std::vector<int32_t>{1, 9, 9, 9, 9, 9}));
}

TEST_F(SpeechTest, TerminateThenSpeakTextSpeaksLeftoversFirst) {
    std::atomic<int> calls{0};
    capture_start([&](const CapturedChunk &) {
        if (calls++ == 0) terminate_speech();
    });
    speak_text(u"a, b, c", 1);
    ASSERT_TRUE(wait_until_quiet());
    ASSERT_EQ(captured_chunks().size(), 1u);

    capture_start();
    speak_text(u"x", 2);
    ASSERT_TRUE(wait_until_quiet());
    // What was left of "a, b, c" (comma, full stop, line end), then "x".
    EXPECT_EQ(sizes(captured_chunks()), (std::vector<int32_t>{kLong, kLong, 2 * kLong, kLong, 2 * kLong}));
}

TEST_F(SpeechTest, TerminateKeepsTheOtherQueuedRequests) {
    std::atomic<int> calls{0};
    std::atomic<bool> all_queued{false};
    capture_start([&](const CapturedChunk &) {
        while (!all_queued.load()) std::this_thread::yield();
        if (calls++ == 0) terminate_speech();
    });
    speak_text(u"a", 1);
    speak_text(u"b", 2);
    all_queued.store(true);
    while (worker_running()) std::this_thread::yield();
    EXPECT_EQ(last_index(), 2);
    capture_start();
    speak_text(u"c", 3);
    ASSERT_TRUE(wait_until_quiet());
    // a's line end, then b, then c.
    EXPECT_EQ(sizes(captured_chunks()), (std::vector<int32_t>{2 * kLong, kLong, 2 * kLong, kLong, 2 * kLong}));
}

TEST_F(SpeechTest, CallbackMayCallTheEntriesWithoutDeadlock) {
    std::atomic<int> calls{0};
    capture_start([&](const CapturedChunk &) {
        EXPECT_NE(last_index(), -1);
        if (calls++ < 3) speak_text(u"b", 20 + calls.load());
        settings_set_rate(50);
    });
    speak_text(u"a", 1);
    ASSERT_TRUE(wait_until_quiet());
    EXPECT_GE(captured_chunks().size(), 8u);
}

TEST_F(SpeechTest, NoCallbackDropsTheChunks) {
    capture_stop();
    speak_text(u"a, b, c.", 1);
    EXPECT_TRUE(wait_until_quiet());
}

TEST_F(SpeechTest, TerminateSynthWaitsForTheWorkerToEnd) {
    std::atomic<bool> terminating{false};
    capture_start([&](const CapturedChunk &) {
        while (!terminating.load()) std::this_thread::yield();
    });
    speak_text(u"a, b, c.", 1);
    while (captured_chunks().empty()) std::this_thread::yield();
    terminating.store(true);  // the callback returns, whether TerminateSynth waits for it yet or not
    terminate_synth();
    EXPECT_FALSE(worker_running());
    EXPECT_EQ(captured_chunks().size(), 1u);
    cancel_speech();
}

// From the callback TerminateSynth cannot wait for the worker it runs on; nothing after that
// callback is delivered, and a TerminateSynth on a host thread then waits for the worker.
TEST_F(SpeechTest, TerminateSynthFromTheCallbackThenFromAHostThread) {
    std::atomic<bool> queued{false};
    std::atomic<bool> terminated{false};
    // Both requests are queued before the worker can end: a SpeakText after that would start
    // speech again, as it should.
    capture_start([&](const CapturedChunk &) {
        while (!queued.load()) std::this_thread::yield();
        if (!terminated.exchange(true)) terminate_synth();
    });
    speak_text(u"a, b, c, d.", 1);
    speak_text(u"e", 2);
    queued.store(true);
    while (!terminated.load()) std::this_thread::yield();
    terminate_synth();
    EXPECT_FALSE(worker_running());
    EXPECT_EQ(captured_chunks().size(), 1u);
    // The next SpeakText speaks what was left, then the queued request.
    capture_start();
    speak_text(u"f", 3);
    ASSERT_TRUE(wait_until_quiet());
    EXPECT_EQ(sizes(captured_chunks()),
              (std::vector<int32_t>{kLong, kLong, kLong, 2 * kLong, kLong, 2 * kLong, kLong, 2 * kLong}));
}

// After Cancel returns, no chunk of the cancelled speech arrives: the worker renders the next
// chunk while the host cancels, and that chunk must be dropped, however the two meet.
TEST_F(SpeechTest, NoChunkArrivesAfterCancelReturns) {
    constexpr int kRuns = 300;
    std::mutex mutex;
    std::condition_variable first_chunk;
    int chunks_seen = 0;
    std::atomic<bool> cancelled{false};
    std::atomic<int> late{0};
    capture_start([&](const CapturedChunk &) {
        if (cancelled.load()) late++;
        std::lock_guard<std::mutex> lock(mutex);
        chunks_seen++;
        first_chunk.notify_all();
    });
    int late_runs = 0;
    for (int run = 0; run < kRuns; run++) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            chunks_seen = 0;
        }
        cancelled.store(false);
        late.store(0);
        speak_text(u"a, b, c, d, e, f.", run);
        {
            std::unique_lock<std::mutex> lock(mutex);
            first_chunk.wait(lock, [&] { return chunks_seen > 0; });
        }
        cancel_speech();
        cancelled.store(true);
        ASSERT_TRUE(wait_until_quiet());
        if (late.load() > 0) late_runs++;
    }
    std::printf("a chunk after Cancel returned in %d of %d runs\n", late_runs, kRuns);
    EXPECT_EQ(late_runs, 0);
}

// While the callback blocks, the host's other entries return: the worker holds no lock during
// the call, and nothing they need waits for it.
TEST_F(SpeechTest, EntriesReturnWhileTheCallbackBlocks) {
    std::mutex mutex;
    std::condition_variable changed;
    bool in_callback = false, release = false;
    capture_start([&](const CapturedChunk &) {
        std::unique_lock<std::mutex> lock(mutex);
        in_callback = true;
        changed.notify_all();
        changed.wait(lock, [&] { return release; });
    });
    std::u16string long_text;
    for (int i = 0; i < 20000; i++) long_text += u"a, b\n";
    speak_text(long_text.c_str(), 1);
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return in_callback; });
    }
    speak_text(long_text.c_str(), 2);
    speak_text(u"c", 3);
    EXPECT_EQ(last_index(), 1);
    settings_set_rate(75);
    synth_settings().pitch.store(120);
    synth_settings().volume.store(80);
    EXPECT_EQ(set_engine_parameter(kParamRequestPitch, 150), 0);
    terminate_speech();
    EXPECT_EQ(last_index(), 1);
    {
        std::lock_guard<std::mutex> lock(mutex);
        release = true;
        changed.notify_all();
    }
    ASSERT_TRUE(wait_for_worker_end(std::chrono::seconds(20)));
    EXPECT_EQ(last_index(), 2);  // Terminate retired the first request
    reset_engine_parameters();
}

TEST_F(SpeechTest, SettingRateChangesPausesFromTheNextItem) {
    const int host_rates[] = {25, 37, 50, 75, 100};
    const int32_t comma[] = {26460, 17878, 13230, 8820, 6616};
    for (size_t i = 0; i < 5; ++i) {
        settings_set_rate(host_rates[i]);
        capture_start();
        speak_text(u"a,", 1);
        ASSERT_TRUE(wait_until_quiet());
        std::vector<int32_t> expected{comma[i], comma[i], 2 * comma[i]};
        EXPECT_EQ(sizes(captured_chunks()), expected) << "host rate " << host_rates[i];
    }
}

// Many host threads call every entry at once; the run must end quiet and clean
// (the sanitizer builds run this under ThreadSanitizer).
TEST_F(SpeechTest, ManyThreadsCallingTheEntriesEndQuiet) {
    std::printf("seeds 1234 to 1239\n");
    capture_start();
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 random(1234 + t);
            int index = t * 100000;
            while (!stop.load()) {
                switch (random() % 8) {
                case 0: case 1: case 2: speak_text(u"xin chào, các bạn.\nhai", index++); break;
                case 3: cancel_speech(); break;
                case 4: last_index(); break;
                case 5: terminate_speech(); break;
                case 6: settings_set_rate(static_cast<int>(random() % 120)); break;
                case 7: std::this_thread::yield(); break;
                }
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    stop.store(true);
    for (std::thread &t : threads) t.join();
    cancel_speech();
    EXPECT_TRUE(wait_until_quiet());
    EXPECT_EQ(last_index(), -1);
}

}  // namespace

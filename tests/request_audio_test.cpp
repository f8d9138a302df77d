// What each request sounds like through the worker: its own rate, pitch and volume, the same
// recordings and prosody for what a Terminate left of it, and a first chunk that does not wait
// for the rest of a long request to be read.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "scheduler/items.h"
#include "scheduler/segmentation.h"
#include "scheduler/settings.h"
#include "scheduler/speech.h"
#include "support/speech_capture.h"
#include "support/test_voice.h"
#include "voice/voice_file.h"

namespace {

using Chunks = std::vector<std::vector<unsigned char>>;

struct RequestAudioTest : testing::Test {
    ScratchDir dir;

    void SetUp() override {
        TestVoiceOptions options;
        options.unit_ms = 60;
        ASSERT_EQ(voice_select(build_test_voice(dir, {"xin", "cha`o", "ca'c", "ba.n", "ba", "hai"}, options).c_str()),
                  0);
        settings_reset();
        reset_engine_parameters();
        set_engine_parameter(kParamDiagnostics, 0);
    }
    void TearDown() override { EXPECT_TRUE(end_speech_test()); }

    // The chunks of each request by index, spoken together in one run.
    static std::vector<Chunks> by_index(const std::vector<CapturedChunk> &chunks, int requests) {
        std::vector<Chunks> out(static_cast<size_t>(requests));
        for (const CapturedChunk &c : chunks)
            if (c.index_during_call >= 0 && c.index_during_call < requests)
                out[static_cast<size_t>(c.index_during_call)].push_back(c.data);
        return out;
    }

    // The chunks of one request spoken alone with the request pitch given.
    Chunks alone(const std::u16string &text, int request_pitch) {
        set_engine_parameter(kParamRequestPitch, request_pitch);
        capture_start();
        speak_text(text.c_str(), 0);
        EXPECT_TRUE(wait_until_quiet());
        set_engine_parameter(kParamRequestPitch, 100);
        return by_index(captured_chunks(), 1)[0];
    }
};

const std::u16string kText = u"xin chào các bạn, ba hai";

// A request queued with its own pitch between two at 100 changes only its own audio.
TEST_F(RequestAudioTest, EachRequestKeepsItsOwnProsody) {
    const Chunks normal = alone(kText, 100);
    const Chunks high = alone(kText, 150);
    ASSERT_FALSE(normal.empty());
    ASSERT_NE(normal, high);

    // The first request is held in its first callback until all three are queued, so the
    // parameter changes while a request is being spoken.
    std::atomic<bool> queued{false};
    capture_start([&](const CapturedChunk &) {
        while (!queued.load()) std::this_thread::yield();
    });
    speak_text(kText.c_str(), 0);
    set_engine_parameter(kParamRequestPitch, 150);
    speak_text(kText.c_str(), 1);
    set_engine_parameter(kParamRequestPitch, 100);
    speak_text(kText.c_str(), 2);
    queued.store(true);
    ASSERT_TRUE(wait_until_quiet());
    const std::vector<Chunks> spoken = by_index(captured_chunks(), 3);
    EXPECT_EQ(spoken[0], normal);
    EXPECT_EQ(spoken[1], high);
    EXPECT_EQ(spoken[2], normal);
}

// What a Terminate leaves of a request is spoken with the recordings and the prosody the
// request had: the chunks are those the uninterrupted request would have delivered.
TEST_F(RequestAudioTest, LeftoversSoundAsTheRequestWouldHave) {
    for (int pitch : {100, 150}) {
        SCOPED_TRACE(pitch);
        const Chunks whole = alone(kText, pitch);
        ASSERT_GE(whole.size(), 3u);

        set_engine_parameter(kParamRequestPitch, pitch);
        std::atomic<int> calls{0};
        capture_start([&](const CapturedChunk &) {
            if (calls++ == 0) terminate_speech();
        });
        speak_text(kText.c_str(), 0);
        ASSERT_TRUE(wait_for_worker_end(std::chrono::seconds(20)));
        const Chunks first = by_index(captured_chunks(), 1)[0];
        set_engine_parameter(kParamRequestPitch, 100);

        capture_start();
        speak_text(u"ba", 1);
        ASSERT_TRUE(wait_until_quiet());
        Chunks rest;
        for (const CapturedChunk &c : captured_chunks())
            if (c.index_during_call == 1) rest.push_back(c.data);
        Chunks joined = first;
        joined.insert(joined.end(), rest.begin(), rest.begin() + static_cast<long>(whole.size() - first.size()));
        EXPECT_EQ(joined, whole);
    }
}

// The first chunk of a long request comes while only its start has been read: the list holds the
// items of a few tokens (those the readers look ahead at, a token of this text giving at most
// three), not the request's hundreds of thousands.
TEST_F(RequestAudioTest, LongRequestIsReadAsItIsSpoken) {
    std::u16string text;
    for (int i = 0; i < 50000; i++) text += i % 10 == 9 ? u"xin chào,\n" : u"xin chào ";
    std::atomic<int> most{0};
    std::atomic<int> calls{0};
    capture_start([&](const CapturedChunk &) {
        // The callback runs on the worker, which owns the list between its steps.
        int held = 0;
        for (const UtteranceItem *item = item_list().head; item; item = item->next) held++;
        if (held > most.load()) most.store(held);
        if (++calls == 200) cancel_speech();
    });
    speak_text(text.c_str(), 1);
    ASSERT_TRUE(wait_until_quiet());
    EXPECT_EQ(calls.load(), 200);
    EXPECT_LE(most.load(), 3 * (kReadAheadTokens + 2));
}

}  // namespace

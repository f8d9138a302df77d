// Requests in a row in the fluent profile, through the worker: a request queued behind another
// joins it without silence while one after idle, or one that starts an utterance of its own,
// starts at once, per-request prosody that changes only its own audio across the joins, Cancel
// and a new voice while an end is held, a host holding the worker while it queues, and a library
// that stays quiet with diagnostics off.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "scheduler/settings.h"
#include "scheduler/speech.h"
#include "support/speech_capture.h"
#include "support/test_voice.h"
#include "voice/voice_file.h"

namespace {

using Samples = std::vector<int16_t>;

constexpr int kHeldBytes = 176 * 2;  // JOIN 8 ms of a 22050 Hz mono voice

Samples stream_of(const std::vector<CapturedChunk> &chunks) {
    Samples out;
    for (const CapturedChunk &c : chunks) {
        const auto *p = reinterpret_cast<const int16_t *>(c.data.data());
        out.insert(out.end(), p, p + c.bytes / 2);
    }
    return out;
}

// Byte offset in the stream of the first chunk delivered while request `index` was spoken.
size_t request_offset(const std::vector<CapturedChunk> &chunks, int index) {
    size_t at = 0;
    for (const CapturedChunk &c : chunks) {
        if (c.index_during_call == index) return at;
        at += static_cast<size_t>(c.bytes);
    }
    return at;
}

// The longest run of 1 ms windows under -40 dBFS between the stream's first and last sound.
int longest_quiet_ms(const Samples &s, int sample_rate) {
    const size_t window = static_cast<size_t>(sample_rate / 1000);
    std::vector<bool> quiet;
    for (size_t at = 0; at + window <= s.size(); at += window) {
        double sum = 0;
        for (size_t i = at; i < at + window; ++i) sum += double(s[i]) * s[i];
        quiet.push_back(std::sqrt(sum / window) < 327.68);
    }
    size_t first = 0, last = quiet.size();
    while (first < last && quiet[first]) ++first;
    while (last > first && quiet[last - 1]) --last;
    int longest = 0, run = 0;
    for (size_t i = first; i < last; ++i) {
        run = quiet[i] ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

long first_sound(const Samples &s) {
    for (size_t i = 0; i < s.size(); ++i)
        if (std::abs(s[i]) > 200) return static_cast<long>(i);
    return -1;
}

struct FluentSpeechTest : testing::Test {
    ScratchDir dir;
    TestVoiceOptions options;
    std::string mono_voice;

    void SetUp() override {
        options.sample_rate = 22050;
        options.unit_ms = 100;
        options.lead_ms = 12;  // a quiet lead, as recorded units have
        mono_voice = build_test_voice(dir, {"xin", "ba", "hai"}, options);
        ASSERT_EQ(voice_select(mono_voice.c_str()), 0);
        settings_reset();
        reset_engine_parameters();
        set_engine_parameter(kParamProfile, kProfileFluent);
        set_engine_parameter(kParamDiagnostics, 0);
    }
    void TearDown() override { EXPECT_TRUE(end_speech_test()); }

    // The chunks of the texts queued as requests in a row: the first request's first callback
    // waits until all are queued; `between(i)` runs before request i is queued.
    std::vector<CapturedChunk> speak(const std::vector<std::u16string> &texts,
                                     const std::function<void(size_t)> &between = nullptr) {
        std::atomic<bool> queued{false};
        capture_start([&](const CapturedChunk &) {
            while (!queued.load()) std::this_thread::yield();
        });
        for (size_t i = 0; i < texts.size(); ++i) {
            if (between) between(i);
            speak_text(texts[i].c_str(), static_cast<int>(i));
        }
        queued.store(true);
        EXPECT_TRUE(wait_until_quiet());
        return captured_chunks();
    }

    int32_t unit_bytes() const { return test_unit_frames(options.unit_ms, options) * 2; }
};

// After idle, the first unit's lead is cut to 5 ms and nothing comes before it. The request queued
// behind it is not trimmed: its unit overlaps the first one's end, and no silence longer than what
// is left of its lead stands between them.
TEST_F(FluentSpeechTest, QueuedRequestJoinsAndOneAfterIdleStartsAtOnce) {
    const Samples alone = stream_of(speak({u"ba"}));
    const long lead = first_sound(alone);
    EXPECT_GE(lead, 22050 * 4 / 1000);
    EXPECT_LE(lead, 22050 * 7 / 1000);
    // The codec smears the onset a few milliseconds into the lead, which keeps that much more.
    EXPECT_LT(alone.size() * 2, static_cast<size_t>(unit_bytes()) - 2 * 22050 * 3 / 1000);
    // Idle again: trimmed again.
    EXPECT_EQ(stream_of(speak({u"ba"})), alone);

    const std::vector<CapturedChunk> pair = speak({u"ba", u"ba"});
    const Samples joined = stream_of(pair);
    EXPECT_EQ(joined.size() * 2, alone.size() * 2 + unit_bytes() - kHeldBytes);
    EXPECT_LE(longest_quiet_ms(joined, 22050), 12 - 8 + 1);
    // The second request's first chunk starts with the first one's held end.
    EXPECT_EQ(request_offset(pair, 1), alone.size() * 2 - kHeldBytes);

    // Classic: the added full stop, the line end and the lead: over 900 ms.
    set_engine_parameter(kParamProfile, kProfileClassic);
    EXPECT_GE(longest_quiet_ms(stream_of(speak({u"ba", u"ba"})), 22050), 900);
}

// Chunks of the requests from..to-1 (their indexes), as one stream.
Samples stream_of_requests(const std::vector<CapturedChunk> &chunks, int from, int to) {
    std::vector<CapturedChunk> kept;
    for (const CapturedChunk &c : chunks)
        if (c.index_during_call >= from && c.index_during_call < to) kept.push_back(c);
    return stream_of(kept);
}

// REQUEST_UTTERANCE 1 when a request is queued makes it start an utterance of its own. Each case
// is a row of requests, some of them starting one; an utterance is a request that starts one and
// those that follow it. The chunks delivered while an utterance's requests are spoken are exactly
// those requests spoken in a row after silence: the request before an utterance ends whole in
// its own chunks, and the utterance's first audio is trimmed as after idle. The first request of
// a reference with more than one is two words long, so that its last word is rendered after the
// rest are queued.
TEST_F(FluentSpeechTest, RequestStartingAnUtteranceSoundsAsAfterSilence) {
    struct Case {
        const char *name;
        std::vector<std::u16string> texts;
        std::vector<int> starts;  // REQUEST_UTTERANCE as each is queued
    };
    const Case cases[] = {
        {"one word each", {u"ba", u"ba"}, {0, 1}},
        {"runs either side", {u"xin ba", u"hai xin"}, {0, 1}},
        {"a mark's pause before it", {u"ba hai.", u"hai"}, {0, 1}},
        {"the next request follows it", {u"hai", u"ba xin", u"hai"}, {0, 1, 0}},
        {"two in a row", {u"ba", u"hai", u"xin ba"}, {0, 1, 1}},
        {"the first one, queued in silence anyway", {u"xin ba", u"hai"}, {1, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<CapturedChunk> chunks =
            speak(c.texts, [&](size_t i) { set_engine_parameter(kParamRequestUtterance, c.starts[i]); });
        set_engine_parameter(kParamRequestUtterance, 0);
        const int count = static_cast<int>(c.texts.size());
        for (int begin = 0; begin < count;) {
            int end = begin + 1;
            while (end < count && !c.starts[end]) ++end;
            const std::vector<std::u16string> utterance(c.texts.begin() + begin, c.texts.begin() + end);
            EXPECT_EQ(stream_of_requests(chunks, begin, end), stream_of(speak(utterance))) << "requests " << begin;
            begin = end;
        }
        if (std::count(c.starts.begin() + 1, c.starts.end(), 1) > 0) {
            EXPECT_NE(stream_of(chunks), stream_of(speak(c.texts))) << "the same requests in a row";
        }
    }
}

// HOLD 1 keeps the worker from rendering while the host queues a row: one-word requests, whose
// words a worker running ahead would end apart, join as one request's words every time. Cancel
// and TerminateSynth end held speech at once, and nothing of it comes after.
TEST_F(FluentSpeechTest, HoldLetsTheHostQueueARowWithoutARace) {
    auto speak_held = [&](const std::vector<std::u16string> &texts) {
        capture_start();
        EXPECT_EQ(set_speech_parameter(kParamHold, 1), 0);
        for (size_t i = 0; i < texts.size(); ++i) speak_text(texts[i].c_str(), static_cast<int>(i));
        EXPECT_EQ(set_speech_parameter(kParamHold, 0), 0);
        EXPECT_TRUE(wait_until_quiet());
        return stream_of(captured_chunks());
    };
    const Samples whole = stream_of(speak({u"xin ba hai"}));
    for (int attempt = 0; attempt < 20; ++attempt) {
        SCOPED_TRACE(attempt);
        EXPECT_EQ(speak_held({u"xin", u"ba", u"hai"}), whole);
    }

    for (const bool terminate : {false, true}) {
        SCOPED_TRACE(terminate ? "TerminateSynth" : "Cancel");
        capture_start();
        set_speech_parameter(kParamHold, 1);
        speak_text(u"xin ba", 7);
        EXPECT_EQ(last_index(), 7);
        if (terminate) {
            terminate_synth();
            cancel_speech();
        } else {
            cancel_speech();
        }
        EXPECT_EQ(last_index(), -1);
        EXPECT_TRUE(wait_until_quiet());
        set_speech_parameter(kParamHold, 0);
        EXPECT_TRUE(captured_chunks().empty());
    }
}

// A request with a raised pitch between two at 100: only its own audio changes, and where it
// overlaps its neighbours, the joins (the end held from the request before it, and its own end
// held into the next).
TEST_F(FluentSpeechTest, RequestProsodyChangesOnlyItsOwnAudio) {
    const std::vector<std::u16string> texts = {u"ba hai ba", u"ba hai ba", u"ba hai ba"};
    auto pitch_of_middle = [&](int pitch) {
        return speak(texts, [&](size_t i) { set_engine_parameter(kParamRequestPitch, i == 1 ? pitch : 100); });
    };
    const std::vector<CapturedChunk> normal = pitch_of_middle(100);
    const std::vector<CapturedChunk> high = pitch_of_middle(150);
    const Samples a = stream_of(normal), b = stream_of(high);
    ASSERT_EQ(a.size(), b.size());
    ASSERT_NE(a, b);
    size_t first = 0, last = a.size();
    while (a[first] == b[first]) ++first;
    while (a[last - 1] == b[last - 1]) --last;
    EXPECT_GE(first * 2, request_offset(normal, 1));
    EXPECT_LE(last * 2, request_offset(normal, 2) + kHeldBytes);
    EXPECT_EQ(request_offset(normal, 1), request_offset(high, 1));
    EXPECT_EQ(request_offset(normal, 2), request_offset(high, 2));
}

// A Cancel while the end of a unit is held: that end is never delivered, and the next utterance
// sounds as if nothing had come before it.
TEST_F(FluentSpeechTest, CancelForgetsTheHeldEnd) {
    const Samples fresh = stream_of(speak({u"xin"}));
    std::atomic<int> calls{0};
    capture_start([&](const CapturedChunk &) {
        if (calls++ == 0) cancel_speech();
    });
    speak_text(u"ba ba ba", 0);
    ASSERT_TRUE(wait_until_quiet());
    EXPECT_EQ(captured_chunks().size(), 1u);
    EXPECT_EQ(stream_of(speak({u"xin"})), fresh);
}

// A new voice while an end is held: the end belongs to the old voice and is dropped, and every
// chunk after it is whole frames of the new voice.
TEST_F(FluentSpeechTest, NewVoiceWhileAnEndIsHeld) {
    TestVoiceOptions stereo = options;
    stereo.channels = 2;
    stereo.sample_rate = 16000;
    const std::string stereo_voice = build_test_voice(dir, {"xin", "ba", "hai"}, stereo, "stereo.dat");
    std::atomic<int> calls{0};
    capture_start([&](const CapturedChunk &) {
        if (calls++ == 0) {
            EXPECT_EQ(voice_select(stereo_voice.c_str()), 0);
        }
    });
    speak_text(u"ba ba ba ba", 0);
    ASSERT_TRUE(wait_until_quiet());
    const std::vector<CapturedChunk> chunks = captured_chunks();
    ASSERT_EQ(chunks.size(), 5u);  // four units and the last one's end
    const int32_t stereo_unit = test_unit_frames(stereo.unit_ms, stereo) * 4;
    const int32_t stereo_held = 128 * 4;  // 8 ms at 16000 Hz
    // The second unit (inside the run) is the new voice's, with nothing in front of it.
    EXPECT_EQ(chunks[1].bytes, stereo_unit - stereo_held);
    for (size_t i = 1; i < chunks.size(); ++i) EXPECT_EQ(chunks[i].bytes % 4, 0) << i;
}

// A pause longer than a chunk is its request's to the end: every piece of it comes while the
// request is the one spoken, before the next request starts.
TEST_F(FluentSpeechTest, LongPauseBelongsToItsRequest) {
    settings_set_rate(25);
    set_engine_parameter(kParamSpeed, 50);  // 0.25x
    set_engine_parameter(kParamRequestEndPause, 4000);
    const std::vector<CapturedChunk> chunks = speak({u"ba", u"ba"});
    std::vector<unsigned char> first;
    size_t pieces = 0;
    for (const CapturedChunk &c : chunks) {
        if (c.index_during_call != 0) continue;
        first.insert(first.end(), c.data.begin(), c.data.end());
        ++pieces;
    }
    const auto sound_end = std::find_if(first.rbegin(), first.rend(), [](unsigned char b) { return b != 0; });
    const size_t trailing_zeros = static_cast<size_t>(sound_end - first.rbegin());
    // 16 s at 0.25x, and the last few milliseconds of the unit's faded end.
    EXPECT_GE(trailing_zeros, 705600u);
    EXPECT_LE(trailing_zeros, 705600u + 400);
    EXPECT_GE(pieces, 3u);  // the unit, and the pause in two
    EXPECT_EQ(chunks.back().index_during_call, 1);
}

// With diagnostics off the library writes nothing while it speaks; with them on, the trace lines
// and the decoder's messages are there.
TEST_F(FluentSpeechTest, DiagnosticsOffWritesNothing) {
    for (int diagnostics : {0, 1}) {
        set_engine_parameter(kParamDiagnostics, diagnostics);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const std::vector<CapturedChunk> chunks = speak({u"xin chào, ba hai", u"ba\nhai"});
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(chunks.empty());
        if (diagnostics == 0) {  // nothing at all
            EXPECT_EQ(out, "");
            EXPECT_EQ(err, "");
        } else {
            EXPECT_NE(out.find("cst_find_word xin.0"), std::string::npos);
            EXPECT_NE(err.find("Decoding"), std::string::npos);
        }
    }
}

}  // namespace

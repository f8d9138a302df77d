// Stress of the host entries: several host threads call SpeakText, Cancel, GetLastIndex,
// Terminate, the setters and InitSynth at random while the audio callback sometimes blocks and
// sometimes calls back in. Afterwards speech must end, every request that no Cancel could reach
// must have been spoken in order, and nothing may be left behind. The ThreadSanitizer build
// runs this (label concurrency); the AddressSanitizer build checks it for leaks.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "api/velorin_nvda.h"
#include "scheduler/items.h"
#include "scheduler/settings.h"
#include "scheduler/speech.h"
#include "support/test_voice.h"
#include "voice/voice_file.h"

namespace {

// Every text gives audio with the stress voice, so every request that is spoken shows its index.
const char16_t *const kTexts[] = {u"xin chào.", u"ba hai, xin", u"hai\nba", u"(chào) xin ba hai!"};

// One tick of a global order of events, taken around the calls that matter.
std::atomic<int64_t> g_clock{0};
int64_t tick() { return g_clock.fetch_add(1); }

struct Request {
    int64_t queued_before = 0;  // tick taken just before SpeakText
};

struct Interval {
    int64_t start, end;
};

struct StressState {
    std::mutex mutex;  // guards everything below; held around SpeakText so indexes follow queue order
    int next_index = 0;
    std::map<int, Request> requests;
    std::vector<Interval> cancels;     // Cancel and Terminate calls, each from just before to just after
    std::vector<int> indexes_seen;     // GetLastIndex inside the callback, in callback order
    std::map<int, int64_t> first_seen;  // tick at which the callback first saw each index
    int64_t chunks = 0;
};

StressState *g_state = nullptr;
// Set once the host threads have stopped: the callback no longer calls back in, since a Terminate
// from it would leave the last requests queued until a SpeakText that never comes.
std::atomic<bool> g_draining{false};
std::atomic<int> g_calling_in{0};  // callbacks inside random_entry
// With voices here, the entries also load them in turn and change the engine parameters.
std::vector<std::string> g_voices;

void speak(std::mt19937 &random) {
    std::lock_guard<std::mutex> lock(g_state->mutex);
    const int index = g_state->next_index++;
    g_state->requests[index].queued_before = tick();
    const char16_t *text = kTexts[random() % (sizeof kTexts / sizeof kTexts[0])];
    VelorinSpeakText(reinterpret_cast<const VelorinUtf16 *>(text), index);
}

void stop_speech(bool cancel) {
    const int64_t start = tick();
    if (cancel)
        Cancel();
    else
        Terminate();
    const int64_t end = tick();
    std::lock_guard<std::mutex> lock(g_state->mutex);
    g_state->cancels.push_back({start, end});
}

void random_setting(std::mt19937 &random) {
    const int values[] = {INT_MIN, -1, 0, 25, 50, 75, 100, 150, 400, INT_MAX};
    const int value = values[random() % (sizeof values / sizeof values[0])];
    // Every parameter but DIAGNOSTICS, which would fill standard output.
    const int parameters[] = {VELORIN_PARAM_PROFILE,       VELORIN_PARAM_LEADING_SILENCE,  VELORIN_PARAM_CONSONANT_PAUSES,
                              VELORIN_PARAM_PUNCTUATION_PAUSE, VELORIN_PARAM_LINE_END_PAUSE, VELORIN_PARAM_REQUEST_END_PAUSE,
                              VELORIN_PARAM_ADDED_FULL_STOP, VELORIN_PARAM_PAUSE_CLOCK,    VELORIN_PARAM_SPEED,
                              VELORIN_PARAM_JOIN,            VELORIN_PARAM_REQUEST_RATE,   VELORIN_PARAM_REQUEST_PITCH,
                              VELORIN_PARAM_REQUEST_VOLUME,  VELORIN_PARAM_GAIN};
    switch (random() % (g_voices.empty() ? 6 : 9)) {
    case 0: SetRate(value); break;
    case 1: SetPitch(value); break;
    case 2: SetVolume(value); break;
    case 3: GetRate(); break;
    case 4: GetPitch(); break;
    case 5: GetVolume(); break;
    case 6: VelorinSetParameter(parameters[random() % (sizeof parameters / sizeof parameters[0])], value); break;
    case 7: VelorinSetParameter(VELORIN_PARAM_PROFILE, static_cast<int>(random() % 2)); break;
    default: Init(g_voices[random() % g_voices.size()].c_str()); break;
    }
}

int stress_callback(char *pcm, int bytes);

// What a host thread, or the callback calling back in, does next. Stops are rare enough that
// many requests are spoken whole, and host threads pause now and then as a screen reader does.
void random_entry(std::mt19937 &random, bool in_callback) {
    const unsigned roll = random() % 64;
    if (roll < 6) {
        speak(random);
    } else if (roll < 7) {
        stop_speech(true);
    } else if (roll < 8) {
        stop_speech(false);
    } else if (roll < 30) {
        GetLastIndex();
    } else if (roll < 32) {
        VelorinInitSynth(stress_callback);
    } else if (roll < 48) {
        random_setting(random);
    } else if (!in_callback) {
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 1000));
    }
}

// The callback's own random choices; only one worker calls it at a time.
constexpr unsigned kCallbackSeed = 77;
std::mt19937 g_callback_random(kCallbackSeed);

int stress_callback(char *pcm, int bytes) {
    std::mt19937 &random = g_callback_random;
    const int index = GetLastIndex();
    const int64_t now = tick();
    {
        std::lock_guard<std::mutex> lock(g_state->mutex);
        g_state->chunks++;
        g_state->indexes_seen.push_back(index);
        g_state->first_seen.emplace(index, now);
    }
    // The buffer is the host's to read during the call.
    volatile char touch = pcm[0] ^ pcm[bytes - 1];
    (void)touch;
    switch (random() % 8) {
    case 0: std::this_thread::sleep_for(std::chrono::milliseconds(1 + random() % 4)); break;  // a slow host
    case 1:  // calls back in
        g_calling_in++;
        if (!g_draining.load()) random_entry(random, true);
        g_calling_in--;
        break;
    default: break;
    }
    return 0;
}

struct ConcurrencyStress : testing::Test {
    ScratchDir dir;
    StressState state;

    void SetUp() override {
        TestVoiceOptions options;
        options.unit_ms = 20;
        std::string path = build_test_voice(dir, {"xin", "cha`o", "ba", "hai"}, options);
        ASSERT_EQ(Init(path.c_str()), 0);
        g_state = &state;
        g_draining.store(false);
        settings_reset();
    }
    void TearDown() override {
        VelorinInitSynth(nullptr);
        g_state = nullptr;
        g_voices.clear();
        reset_engine_parameters();
        settings_reset();
        voice_release_current();
    }

    bool wait_until_quiet(std::chrono::seconds limit) { return wait_for_worker_end(limit) && GetLastIndex() == -1; }
    // Host threads call the entries at random for three seconds; then speech must end, in order,
    // with every request that no stop could reach spoken, and nothing left behind.
    void run_stress();
};

TEST_F(ConcurrencyStress, RandomEntriesFromManyThreads) { run_stress(); }

// The fluent profile's joins and held ends, with Cancel, Init between a mono and a stereo voice,
// and every engine parameter changing while speech goes on.
TEST_F(ConcurrencyStress, FluentSpeechWithCancelInitAndParameters) {
    TestVoiceOptions stereo;
    stereo.channels = 2;
    stereo.sample_rate = 22050;
    stereo.unit_ms = 20;
    g_voices = {dir.file("voice.dat"), build_test_voice(dir, {"xin", "cha`o", "ba", "hai"}, stereo, "stereo.dat")};
    VelorinSetParameter(VELORIN_PARAM_DIAGNOSTICS, 0);
    VelorinSetParameter(VELORIN_PARAM_PROFILE, VELORIN_PROFILE_FLUENT);
    run_stress();
}

void ConcurrencyStress::run_stress() {
    std::printf("seeds: host threads 1000 to 1003, callback %u\n", kCallbackSeed);
    g_callback_random.seed(kCallbackSeed);
    ASSERT_TRUE(VelorinInitSynth(stress_callback));
    std::atomic<bool> stop{false};
    std::vector<std::thread> hosts;
    for (int t = 0; t < 4; t++) {
        hosts.emplace_back([&stop, t] {
            std::mt19937 random(1000 + t);
            while (!stop.load()) random_entry(random, false);
        });
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
    stop.store(true);
    for (std::thread &host : hosts) host.join();

    // Speech ends: a last request starts a worker for whatever Terminate left queued.
    g_draining.store(true);
    while (g_calling_in.load() > 0) std::this_thread::yield();
    VelorinInitSynth(stress_callback);
    SetRate(100);
    // Pauses of seconds at a quarter of normal speed would outlast the wait.
    if (!g_voices.empty()) VelorinSetParameter(VELORIN_PARAM_PROFILE, VELORIN_PROFILE_FLUENT);
    std::mt19937 random(1);
    speak(random);
    ASSERT_TRUE(wait_until_quiet(std::chrono::seconds(60)))
        << "speech did not end: GetLastIndex " << GetLastIndex() << ", worker running " << worker_running();
    VelorinTerminateSynth();

    // Nothing is left behind: no request, no item, no worker.
    EXPECT_EQ(GetLastIndex(), -1);
    EXPECT_FALSE(worker_running());
    EXPECT_EQ(item_list().head, nullptr);
    EXPECT_EQ(item_list().tail, nullptr);

    std::lock_guard<std::mutex> lock(state.mutex);
    ASSERT_GT(state.chunks, 0);
    // Requests are spoken in the order they were queued: the index seen by the callback never
    // goes back (-1: a callback that was in progress when a Cancel emptied the queue).
    int previous = -1;
    for (int index : state.indexes_seen) {
        if (index == -1) continue;
        EXPECT_GE(index, previous) << "request " << index << " spoken after request " << previous;
        EXPECT_LT(index, state.next_index);
        previous = std::max(previous, index);
    }
    // Every request that no Cancel or Terminate could have reached was spoken: one is exempt when
    // such a call overlapped the time from its SpeakText until the callback first saw a later index.
    int checked = 0;
    for (const auto &[index, request] : state.requests) {
        int64_t done = INT64_MAX;
        auto later = state.first_seen.upper_bound(index);
        if (later != state.first_seen.end()) done = later->second;
        bool reachable = false;
        for (const Interval &cancel : state.cancels)
            if (cancel.end > request.queued_before && cancel.start < done) reachable = true;
        if (reachable) continue;
        checked++;
        EXPECT_EQ(state.first_seen.count(index), 1u) << "request " << index << " was never spoken";
    }
    EXPECT_GT(checked, 0);
    std::printf("%d requests, %zu stops, %lld chunks, %d requests no stop could reach\n", state.next_index,
                state.cancels.size(), static_cast<long long>(state.chunks), checked);
}

}  // namespace

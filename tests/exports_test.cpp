// The built shared library, loaded as the screen reader loads it: every entry is found
// under its exact name and behaves sanely before and after a voice is loaded.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "api/velorin_nvda.h"
#include "support/test_voice.h"

namespace {

const char *const kExportNames[] = {
    VELORIN_NAME_INIT,           VELORIN_NAME_INIT_SYNTH,    VELORIN_NAME_SET_RATE,
    VELORIN_NAME_SET_PITCH,      VELORIN_NAME_SET_VOLUME,    VELORIN_NAME_GET_RATE,
    VELORIN_NAME_GET_PITCH,      VELORIN_NAME_GET_VOLUME,    VELORIN_NAME_SPEAK_TEXT,
    VELORIN_NAME_CANCEL,         VELORIN_NAME_GET_LAST_INDEX, VELORIN_NAME_TERMINATE,
    VELORIN_NAME_TERMINATE_SYNTH, VELORIN_NAME_GET_VOICE,    VELORIN_NAME_SET_VOICE,
    VELORIN_NAME_PAUSE,          VELORIN_NAME_SET_OUTPUT_DEVICE, VELORIN_NAME_SET_PARAMETER,
    VELORIN_NAME_GET_PARAMETER,
};

struct Library {
    void *handle = dlopen(VELORIN_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ~Library() {
        if (handle) dlclose(handle);
    }
    template <typename Fn>
    Fn get(const char *name) {
        return reinterpret_cast<Fn>(dlsym(handle, name));
    }
};

TEST(Exports, EveryEntryIsFoundByItsExactName) {
    Library lib;
    ASSERT_NE(lib.handle, nullptr) << dlerror();
    for (const char *name : kExportNames) EXPECT_NE(dlsym(lib.handle, name), nullptr) << name;
}

TEST(Exports, NothingElseIsExported) {
    std::string command = std::string("nm -D --defined-only ") + VELORIN_LIBRARY_PATH;
    FILE *pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<std::string> names;
    char line[512];
    while (fgets(line, sizeof line, pipe)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
        names.push_back(text.substr(text.rfind(' ') + 1));
    }
    ASSERT_EQ(pclose(pipe), 0);
    std::vector<std::string> expected(std::begin(kExportNames), std::end(kExportNames));
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}

TEST(Exports, EntriesBeforeAnyVoiceAreSafe) {
    Library lib;
    ASSERT_NE(lib.handle, nullptr) << dlerror();
    auto get_rate = lib.get<VelorinGetIntFn>(VELORIN_NAME_GET_RATE);
    auto get_pitch = lib.get<VelorinGetIntFn>(VELORIN_NAME_GET_PITCH);
    auto get_volume = lib.get<VelorinGetIntFn>(VELORIN_NAME_GET_VOLUME);
    auto set_rate = lib.get<VelorinSetIntFn>(VELORIN_NAME_SET_RATE);
    auto set_pitch = lib.get<VelorinSetIntFn>(VELORIN_NAME_SET_PITCH);
    auto last_index = lib.get<VelorinGetIntFn>(VELORIN_NAME_GET_LAST_INDEX);
    auto cancel = lib.get<VelorinVoidFn>(VELORIN_NAME_CANCEL);
    auto init = lib.get<VelorinInitFn>(VELORIN_NAME_INIT);
    auto init_synth = lib.get<VelorinInitSynthFn>(VELORIN_NAME_INIT_SYNTH);
    auto set_voice = lib.get<VelorinSetVoiceFn>(VELORIN_NAME_SET_VOICE);
    auto get_voice = lib.get<VelorinGetIntFn>(VELORIN_NAME_GET_VOICE);
    auto set_output_device = lib.get<VelorinGetIntFn>(VELORIN_NAME_SET_OUTPUT_DEVICE);
    auto terminate_synth = lib.get<VelorinVoidFn>(VELORIN_NAME_TERMINATE_SYNTH);

    EXPECT_EQ(get_rate(), 50);
    EXPECT_EQ(get_pitch(), 100);
    EXPECT_EQ(get_volume(), 100);
    EXPECT_EQ(last_index(), -1);
    cancel();
    EXPECT_EQ(init("/nonexistent/voice.dat"), -1);
    EXPECT_EQ(init(nullptr), -1);
    EXPECT_TRUE(init_synth(nullptr));
    char name[] = "anything";
    EXPECT_EQ(set_voice(name), 0);
    EXPECT_EQ(get_voice(), 0);
    EXPECT_EQ(set_output_device(), 0);
    set_rate(37);
    EXPECT_EQ(get_rate(), 37);
    set_pitch(-5);
    EXPECT_EQ(get_pitch(), -5);
    terminate_synth();
    terminate_synth();
}

TEST(Exports, ParametersAreClampedAndUnknownOnesRefused) {
    Library lib;
    ASSERT_NE(lib.handle, nullptr) << dlerror();
    auto set_parameter = lib.get<VelorinSetParameterFn>(VELORIN_NAME_SET_PARAMETER);
    auto get_parameter = lib.get<VelorinGetParameterFn>(VELORIN_NAME_GET_PARAMETER);
    ASSERT_NE(set_parameter, nullptr);
    ASSERT_NE(get_parameter, nullptr);
    EXPECT_EQ(get_parameter(VELORIN_PARAM_PUNCTUATION_PAUSE), 300);
    EXPECT_EQ(set_parameter(VELORIN_PARAM_SPEED, 100000), 0);
    EXPECT_EQ(get_parameter(VELORIN_PARAM_SPEED), 400);
    EXPECT_EQ(set_parameter(VELORIN_PARAM_COUNT, 1), -1);
    EXPECT_EQ(set_parameter(-1, 1), -1);
    EXPECT_EQ(get_parameter(VELORIN_PARAM_COUNT), -1);
    EXPECT_EQ(set_parameter(VELORIN_PARAM_PROFILE, VELORIN_PROFILE_CLASSIC), 0);
    EXPECT_EQ(get_parameter(VELORIN_PARAM_SPEED), 100);
}

// The entries a host drives speech with, looked up in a freshly loaded library.
struct Speech {
    Library lib;
    VelorinInitFn init = lib.get<VelorinInitFn>(VELORIN_NAME_INIT);
    VelorinInitSynthFn init_synth = lib.get<VelorinInitSynthFn>(VELORIN_NAME_INIT_SYNTH);
    VelorinSpeakTextFn speak_text = lib.get<VelorinSpeakTextFn>(VELORIN_NAME_SPEAK_TEXT);
    VelorinVoidFn terminate_synth = lib.get<VelorinVoidFn>(VELORIN_NAME_TERMINATE_SYNTH);
    VelorinSetParameterFn set_parameter = lib.get<VelorinSetParameterFn>(VELORIN_NAME_SET_PARAMETER);

    void speak(const char16_t *text) { speak_text(reinterpret_cast<const VelorinUtf16 *>(text), 1); }
};

// What the callback has seen, for the tests that unload the library.
struct Heard {
    std::mutex mutex;
    std::condition_variable changed;
    int chunks = 0;
    std::function<void()> inside;  // runs in the callback when set
};
Heard g_heard;

int hear(char *, int) {
    std::function<void()> inside;
    {
        std::lock_guard<std::mutex> lock(g_heard.mutex);
        g_heard.chunks++;
        inside = g_heard.inside;
        g_heard.changed.notify_all();
    }
    if (inside) inside();
    return 0;
}

void wait_for_chunks(int count) {
    std::unique_lock<std::mutex> lock(g_heard.mutex);
    g_heard.changed.wait(lock, [&] { return g_heard.chunks >= count; });
}

struct UnloadTest : testing::Test {
    ScratchDir dir;
    std::string voice;
    void SetUp() override {
        TestVoiceOptions options;
        options.unit_ms = 20;
        voice = build_test_voice(dir, {"xin", "cha`o", "ba", "hai"}, options);
        std::lock_guard<std::mutex> lock(g_heard.mutex);
        g_heard.chunks = 0;
        g_heard.inside = nullptr;
    }
    void TearDown() override {
        std::lock_guard<std::mutex> lock(g_heard.mutex);
        g_heard.inside = nullptr;
    }
};

// Load, speak, TerminateSynth, unload, a hundred times: every cycle frees what it made (the
// sanitizer build checks with LeakSanitizer), and speech works again in the next.
TEST_F(UnloadTest, LoadSpeakTerminateUnloadCycles) {
    for (int cycle = 0; cycle < 100; cycle++) {
        SCOPED_TRACE(cycle);
        Speech speech;
        ASSERT_NE(speech.lib.handle, nullptr) << dlerror();
        ASSERT_EQ(speech.init(voice.c_str()), 0);
        speech.set_parameter(VELORIN_PARAM_DIAGNOSTICS, 0);
        speech.init_synth(hear);
        const int before = [] {
            std::lock_guard<std::mutex> lock(g_heard.mutex);
            return g_heard.chunks;
        }();
        speech.speak(u"xin chào, ba hai");
        wait_for_chunks(before + 1);
        speech.terminate_synth();
    }
}

// Unloading while the worker speaks stops it first: with no TerminateSynth at all, and after a
// TerminateSynth from inside the callback, which could not wait for the worker it ran on.
TEST_F(UnloadTest, UnloadingWhileSpeakingStopsTheWorkerFirst) {
    std::u16string long_text;
    for (int i = 0; i < 2000; i++) long_text += u"xin chào ba hai, ";
    for (bool terminate_in_callback : {false, true}) {
        SCOPED_TRACE(terminate_in_callback);
        Speech speech;
        ASSERT_NE(speech.lib.handle, nullptr) << dlerror();
        ASSERT_EQ(speech.init(voice.c_str()), 0);
        speech.set_parameter(VELORIN_PARAM_DIAGNOSTICS, 0);
        std::atomic<bool> terminated{false};
        if (terminate_in_callback) {
            std::lock_guard<std::mutex> lock(g_heard.mutex);
            g_heard.inside = [&] {
                if (!terminated.exchange(true)) speech.terminate_synth();
            };
        }
        speech.init_synth(hear);
        speech.speak(long_text.c_str());
        wait_for_chunks(1);
        if (terminate_in_callback)
            while (!terminated.load()) std::this_thread::yield();
        // ~Speech unloads the library here, with the worker still on its way.
    }
    std::lock_guard<std::mutex> lock(g_heard.mutex);
    g_heard.inside = nullptr;
}

}  // namespace

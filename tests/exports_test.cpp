// The built shared library, loaded as the screen reader loads it: every entry is found
// under its exact name and behaves sanely before and after a voice is loaded.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "api/velorin_nvda.h"

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

}  // namespace

// Feeds every seed and every crash reproducer of the fuzz targets to the target's entry, so an
// ordinary test run (and the sanitizer builds) replays whatever the fuzzers once found.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "fuzz/fuzz_entries.h"

namespace {

namespace fs = std::filesystem;

struct FuzzTarget {
    const char *name;
    int (*entry)(const uint8_t *data, size_t size);
};

// Test names and messages show the target's name rather than the record's bytes.
void PrintTo(const FuzzTarget &target, std::ostream *out) { *out << target.name; }

const FuzzTarget kTargets[] = {
    {"text_pipeline", fuzz_text_pipeline},
    {"voice_loader", fuzz_voice_loader},
    {"unit_decoder", fuzz_unit_decoder},
};

std::vector<fs::path> inputs_of(const std::string &folder) {
    std::vector<fs::path> files;
    std::error_code error;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name[0] != '.' && name != "README.md") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

void replay(const FuzzTarget &target, const std::string &folder) {
    for (const fs::path &file : inputs_of(folder)) {
        std::ifstream in(file, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(target.entry(bytes.data(), bytes.size()), 0) << file;
    }
}

struct FuzzReplay : testing::TestWithParam<FuzzTarget> {};

TEST_P(FuzzReplay, SeedCorpus) {
    const std::string folder = std::string(VELORIN_FUZZ_DIR) + "/corpus/" + GetParam().name;
    EXPECT_FALSE(inputs_of(folder).empty()) << "no seeds in " << folder;
    replay(GetParam(), folder);
}

TEST_P(FuzzReplay, CrashReproducers) {
    replay(GetParam(), std::string(VELORIN_FUZZ_DIR) + "/crashes/" + GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, testing::ValuesIn(kTargets),
                         [](const testing::TestParamInfo<FuzzTarget> &target) { return std::string(target.param.name); });

}  // namespace

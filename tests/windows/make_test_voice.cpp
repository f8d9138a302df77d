// Writes a small synthetic voice to the path given: by default the one the Windows check speaks
// with, holding the syllables of speech_text.txt and of the numbers read there.
//
//   make_test_voice [--name NAME] [--sample-rate HZ] [--syllables LIST] OUTPUT
//
// LIST is a comma-separated list of syllables in the ASCII tone notation ("xin,cha`o,vie).t");
// NAME goes into the header (default "test speaker"); HZ is 16000 unless given.
#include "support/scratch_dir.h"
#include "support/test_voice.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

int usage() {
    std::fprintf(stderr, "usage: make_test_voice [--name NAME] [--sample-rate HZ] [--syllables LIST] OUTPUT\n");
    return 2;
}

}  // namespace

int main(int argc, char **argv) {
    std::vector<std::string> syllables = {"xin", "cha`o", "vie).t", "nam", "mo).t", "hai", "ba",
                                          "tra(m", "mu(o(i", "d!o).c", "la).p", "to)'i", "nay"};
    TestVoiceOptions options;
    std::string output;
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg == "--name" || arg == "--sample-rate" || arg == "--syllables") {
            if (i + 1 >= argc) return usage();
            const std::string value = argv[++i];
            if (arg == "--name") {
                options.name = value;
            } else if (arg == "--sample-rate") {
                options.sample_rate = std::atoi(value.c_str());
                if (options.sample_rate <= 0) return usage();
            } else {
                syllables.clear();
                std::stringstream list(value);
                for (std::string syllable; std::getline(list, syllable, ',');)
                    if (!syllable.empty()) syllables.push_back(syllable);
                if (syllables.empty()) return usage();
            }
        } else if (output.empty() && arg.rfind("--", 0) != 0) {
            output = arg;
        } else {
            return usage();
        }
    }
    if (output.empty()) return usage();
    ScratchDir dir;
    const std::string path = build_test_voice(dir, syllables, options);
    if (path.empty()) return 1;
    std::error_code error;
    std::filesystem::copy_file(path, output, std::filesystem::copy_options::overwrite_existing, error);
    if (error) {
        std::fprintf(stderr, "make_test_voice: cannot write %s: %s\n", output.c_str(), error.message().c_str());
        return 1;
    }
    return 0;
}

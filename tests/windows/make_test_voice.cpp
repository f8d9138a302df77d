// Writes the small synthetic voice that the Windows check speaks with, to the path given.
//
//   make_test_voice OUTPUT
//
// It holds the syllables of speech_text.txt and of the numbers read there.
#include "support/scratch_dir.h"
#include "support/test_voice.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_test_voice OUTPUT\n");
        return 2;
    }
    const std::vector<std::string> syllables = {"xin", "cha`o", "vie).t", "nam", "mo).t", "hai", "ba",
                                                "tra(m", "mu(o(i", "d!o).c", "la).p", "to)'i", "nay"};
    ScratchDir dir;
    const std::string path = build_test_voice(dir, syllables);
    if (path.empty()) return 1;
    std::error_code error;
    std::filesystem::copy_file(path, argv[1], std::filesystem::copy_options::overwrite_existing, error);
    if (error) {
        std::fprintf(stderr, "make_test_voice: cannot write %s: %s\n", argv[1], error.message().c_str());
        return 1;
    }
    return 0;
}

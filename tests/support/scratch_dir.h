// A private temporary folder per test, removed with everything in it.
#pragma once

#include <string>

struct ScratchDir {
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    std::string path;
    std::string file(const std::string &name) const { return path + "/" + name; }
};

// Compares two chunk recordings of driver_host: same chunk count and sizes, and every 16-bit
// sample within a tolerance (the two builds' floating-point decoders may round differently).
//
//   compare_chunks EXPECTED ACTUAL [TOLERANCE]       exit 0 when they match, 1 otherwise
//   compare_chunks --raw EXPECTED ACTUAL [TOLERANCE] ACTUAL is bare PCM: the chunks back to back
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The chunks of a recording, or false when the file is missing or malformed.
bool read_chunks(const char *path, std::vector<std::vector<unsigned char>> *chunks) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() < 8 || std::string(data.begin(), data.begin() + 8) != "VLCHUNKS") return false;
    size_t at = 8;
    while (at < data.size()) {
        if (data.size() - at < 4) return false;
        uint32_t size = data[at] | data[at + 1] << 8 | data[at + 2] << 16 | static_cast<uint32_t>(data[at + 3]) << 24;
        at += 4;
        if (data.size() - at < size) return false;
        chunks->emplace_back(data.begin() + at, data.begin() + at + size);
        at += size;
    }
    return true;
}

int sample_at(const std::vector<unsigned char> &chunk, size_t i) {
    return static_cast<int16_t>(chunk[2 * i] | chunk[2 * i + 1] << 8);
}

// A bare PCM file as one chunk.
bool read_raw(const char *path, std::vector<std::vector<unsigned char>> *chunks) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    chunks->emplace_back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    bool raw = argc > 1 && std::string(argv[1]) == "--raw";
    if (raw) {
        --argc;
        ++argv;
    }
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: compare_chunks [--raw] EXPECTED ACTUAL [TOLERANCE]\n");
        return 2;
    }
    int tolerance = argc == 4 ? std::atoi(argv[3]) : 4;
    std::vector<std::vector<unsigned char>> expected, actual;
    if (!read_chunks(argv[1], &expected)) return std::fprintf(stderr, "cannot read %s\n", argv[1]), 1;
    if (raw) {
        std::vector<unsigned char> joined;
        for (const auto &chunk : expected) joined.insert(joined.end(), chunk.begin(), chunk.end());
        expected.assign(1, joined);
        if (!read_raw(argv[2], &actual)) return std::fprintf(stderr, "cannot read %s\n", argv[2]), 1;
    } else if (!read_chunks(argv[2], &actual)) {
        return std::fprintf(stderr, "cannot read %s\n", argv[2]), 1;
    }

    bool ok = true;
    if (expected.size() != actual.size()) {
        std::printf("chunk count differs: %zu expected, %zu actual\n", expected.size(), actual.size());
        ok = false;
    }
    size_t samples = 0, differing = 0, over = 0;
    int max_difference = 0;
    for (size_t c = 0; c < expected.size() && c < actual.size(); ++c) {
        if (expected[c].size() != actual[c].size()) {
            std::printf("chunk %zu: %zu bytes expected, %zu actual\n", c, expected[c].size(), actual[c].size());
            ok = false;
            continue;
        }
        for (size_t i = 0; i < expected[c].size() / 2; ++i) {
            int difference = std::abs(sample_at(expected[c], i) - sample_at(actual[c], i));
            ++samples;
            if (difference) ++differing;
            if (difference > tolerance) ++over;
            if (difference > max_difference) max_difference = difference;
        }
    }
    if (over) ok = false;
    std::printf("%zu chunks, %zu samples compared, %zu differ, largest difference %d (tolerance %d): %s\n",
                expected.size(), samples, differing, max_difference, tolerance, ok ? "match" : "MISMATCH");
    return ok ? 0 : 1;
}

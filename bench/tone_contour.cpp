// Praat's pitch tracker run over a folder, and contour errors.
#include "tone_contour.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#ifndef VELORIN_SOURCE_DIR
#define VELORIN_SOURCE_DIR "."
#endif

namespace {

void put_le(std::ofstream &out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>(value >> (8 * i)));
}

int first_voiced(const PitchTrack &track) {
    for (size_t i = 0; i < track.size(); ++i)
        if (track[i] > 0) return static_cast<int>(i);
    return -1;
}

int last_voiced(const PitchTrack &track) {
    for (size_t i = track.size(); i-- > 0;)
        if (track[i] > 0) return static_cast<int>(i);
    return -1;
}

}  // namespace

bool write_padded_wav(const std::string &path, const std::vector<int16_t> &samples, int sample_rate, int channels,
                      int pad_ms) {
    std::ofstream out(path, std::ios::binary);
    if (!out) return false;
    const uint32_t pad = static_cast<uint32_t>(sample_rate / 1000 * pad_ms * channels);
    const uint32_t data = static_cast<uint32_t>((samples.size() + 2 * pad) * 2);
    out.write("RIFF", 4);
    put_le(out, 36 + data, 4);
    out.write("WAVEfmt ", 8);
    put_le(out, 16, 4);
    put_le(out, 1, 2);
    put_le(out, static_cast<uint32_t>(channels), 2);
    put_le(out, static_cast<uint32_t>(sample_rate), 4);
    put_le(out, static_cast<uint32_t>(sample_rate * channels * 2), 4);
    put_le(out, static_cast<uint32_t>(channels * 2), 2);
    put_le(out, 16, 2);
    out.write("data", 4);
    put_le(out, data, 4);
    const std::vector<int16_t> silence(pad, 0);
    for (const std::vector<int16_t> *part : {&silence, &samples, &silence}) {
        for (int16_t s : *part) put_le(out, static_cast<uint16_t>(s), 2);
    }
    return static_cast<bool>(out);
}

bool praat_pitch_tracks(const std::string &folder, bool cross_correlation, std::map<std::string, PitchTrack> *tracks,
                        std::string *error) {
    const std::string command = "praat --run '" VELORIN_SOURCE_DIR "/bench/pitch_listing.praat' '" + folder + "' " +
                                (cross_correlation ? "cc" : "ac") + " 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) {
        *error = "cannot run praat";
        return false;
    }
    std::string output;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    const int status = pclose(pipe);
    if (status != 0) {
        *error = "praat failed (install it with: apt-get install --no-install-recommends praat): " +
                 output.substr(0, 300);
        return false;
    }
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string name, value;
        fields >> name;
        if (name.size() < 5 || name.compare(name.size() - 4, 4, ".wav") != 0) continue;
        PitchTrack track;
        while (fields >> value && value != "|") track.push_back(std::strtod(value.c_str(), nullptr));
        (*tracks)[name.substr(0, name.size() - 4)] = track;
    }
    return true;
}

ContourError contour_error(const PitchTrack &reference, const PitchTrack &test) {
    ContourError result;
    const int ra = first_voiced(reference), rb = last_voiced(reference);
    const int ta = first_voiced(test), tb = last_voiced(test);
    if (ra < 0 || ta < 0) return result;
    constexpr int kPoints = 20;
    int used = 0;
    double sum = 0;
    for (int k = 0; k < kPoints; ++k) {
        const double p = 0.05 + 0.9 * k / (kPoints - 1);
        const size_t i = static_cast<size_t>(std::lround(ra + p * (rb - ra)));
        const size_t j = static_cast<size_t>(std::lround(ta + p * (tb - ta)));
        if (reference[i] <= 0 || test[j] <= 0) continue;
        sum += std::fabs(12 * std::log2(test[j] / reference[i]));
        ++used;
    }
    result.compared = used > 0;
    result.semitones = used > 0 ? sum / used : 0;
    return result;
}

ContourSummary summarize(const std::vector<ContourError> &errors) {
    ContourSummary summary;
    int over = 0;
    for (const ContourError &e : errors) {
        if (!e.compared) {
            ++summary.untracked;
            continue;
        }
        ++summary.compared;
        summary.mean_semitones += e.semitones;
        if (e.semitones > 1) ++over;
    }
    if (summary.compared > 0) {
        summary.mean_semitones /= summary.compared;
        summary.over_one = static_cast<double>(over) / summary.compared;
    }
    return summary;
}

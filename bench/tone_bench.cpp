// tone_bench: how well units keep their tones when sped up. Every step-th unit of a voice is
// decoded and made faster at 2x to 6x by sonic's settings (speed at both qualities, rate, rate with
// the pitch brought back by chord pitch or by resampling) and by speed_unit, and praat tracks the
// pitch of all of them; each contour is compared with the unit's own at 1x.
#include <algorithm>
#include <chrono>
#include <iterator>
#include <map>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tone_contour.h"
#include "voice/diagnostics.h"
#include "voice/unit_decode.h"
#include "voice/unit_lookup.h"
#include "voice/unit_prosody.h"
#include "voice/unit_speed.h"
#include "voice/voice_file.h"

namespace {

const char kUsage[] =
    "Usage: tone_bench --voice PATH [--step N] [--cc]\n"
    "Tone-contour error of sped-up units against the units at 1x, with praat's pitch tracker.\n"
    "  --voice PATH  the voice file\n"
    "  --step N      every N-th unit of the voice (default 89: 316 units of the default voice)\n"
    "  --cc          praat's cross-correlation method instead of its autocorrelation method\n";

using Samples = std::vector<int16_t>;

struct Method {
    const char *name;
    int (*run)(const Samples &in, Samples *out, double factor, int sample_rate, int channels);
};

int sonic(const Samples &in, Samples *out, float speed, float pitch, float rate, int chord_pitch, int quality,
          int sample_rate, int channels) {
    return apply_prosody(reinterpret_cast<const unsigned char *>(in.data()), static_cast<int>(in.size() * 2),
                         reinterpret_cast<unsigned char *>(out->data()), static_cast<int>(out->size() * 2), speed,
                         pitch, rate, 1, chord_pitch, quality, sample_rate, channels);
}

int sonic_pass(const Samples &in, Samples *out, double factor, int sample_rate, int channels) {
    return sonic(in, out, static_cast<float>(factor), 1, 1, 1, 0, sample_rate, channels);
}

int sonic_pass_quality(const Samples &in, Samples *out, double factor, int sample_rate, int channels) {
    return sonic(in, out, static_cast<float>(factor), 1, 1, 1, 1, sample_rate, channels);
}

// Faster by resampling: the pitch goes up with the speed. (With chord pitch on, sonic ignores the
// rate and apply_prosody would only cut the unit short.)
int sonic_rate(const Samples &in, Samples *out, double factor, int sample_rate, int channels) {
    return sonic(in, out, 1, 1, static_cast<float>(factor), 0, 0, sample_rate, channels);
}

// Resampled faster, the pitch brought back down: by chord pitch (sonic then ignores the rate and
// speeds up by pitch / speed instead), and by resampling.
int rate_and_chord_pitch(const Samples &in, Samples *out, double factor, int sample_rate, int channels) {
    return sonic(in, out, 1, static_cast<float>(1 / factor), static_cast<float>(factor), 1, 0, sample_rate, channels);
}

int rate_and_pitch(const Samples &in, Samples *out, double factor, int sample_rate, int channels) {
    return sonic(in, out, 1, static_cast<float>(1 / factor), static_cast<float>(factor), 0, 0, sample_rate, channels);
}

int kept_onset(const Samples &in, Samples *out, double factor, int sample_rate, int channels) {
    return speed_unit(reinterpret_cast<const unsigned char *>(in.data()), static_cast<int>(in.size() * 2),
                      reinterpret_cast<unsigned char *>(out->data()), static_cast<int>(out->size() * 2), factor,
                      sample_rate, channels);
}

const Method kMethods[] = {
    {"sonic speed, quality 0 (SetRate's)", sonic_pass},
    {"sonic speed, quality 1", sonic_pass_quality},
    {"sonic rate", sonic_rate},
    {"sonic rate, pitch 1/factor, chord pitch on", rate_and_chord_pitch},
    {"sonic rate, pitch 1/factor, resampled", rate_and_pitch},
    {"speed_unit", kept_onset},
};
constexpr int kMethodCount = static_cast<int>(std::size(kMethods));
const double kFactors[] = {2, 3, 4, 5, 6};

}  // namespace

int main(int argc, char **argv) {
    std::string voice;
    int step = 89;
    bool cross_correlation = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--voice" && i + 1 < argc) {
            voice = argv[++i];
        } else if (arg == "--cc") {
            cross_correlation = true;
        } else if (arg == "--step" && i + 1 < argc) {
            step = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fputs(kUsage, arg == "-h" || arg == "--help" ? stdout : stderr);
            return arg == "-h" || arg == "--help" ? 0 : 2;
        }
    }
    set_diagnostics_enabled(false);
    if (voice.empty() || voice_select(voice.c_str()) != 0) {
        std::fprintf(stderr, "tone_bench: give a voice that loads with --voice\n");
        return 1;
    }
    const VoiceDatabase *database = current_voice();
    const int sample_rate = voice_sample_rate(), channels = voice_channels();
    char folder_template[] = "/tmp/tone_bench.XXXXXX";
    const char *folder = mkdtemp(folder_template);
    if (!folder) return 1;

    // Decode, speed up, time and write every unit.
    static unsigned char stored[20000];
    static unsigned char decoded[100000];
    std::vector<std::string> units;
    std::map<std::string, double> lengths;
    double seconds[kMethodCount][5] = {};
    double audio_seconds = 0;
    for (int u = 0; u < database->unit_count; u += step) {
        const int size = get_unit_audio(database->units[u].name, stored, sizeof stored);
        const int bytes = size < 0 ? -1 : decode_unit(stored, size, decoded, sizeof decoded, database->sample_rate, database->channels);
        if (bytes <= 0) continue;
        const Samples in(reinterpret_cast<int16_t *>(decoded), reinterpret_cast<int16_t *>(decoded) + bytes / 2);
        const std::string id = "u" + std::to_string(units.size());
        units.push_back(database->units[u].name);
        audio_seconds += static_cast<double>(in.size()) / channels / sample_rate;
        write_padded_wav(std::string(folder) + "/" + id + "_1.wav", in, sample_rate, channels, 40);
        lengths[id + "_1"] = static_cast<double>(in.size());
        for (int m = 0; m < kMethodCount; ++m) {
            for (int f = 0; f < 5; ++f) {
                Samples out(in.size() * 2);
                const auto start = std::chrono::steady_clock::now();
                const int written = kMethods[m].run(in, &out, kFactors[f], sample_rate, channels);
                seconds[m][f] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                out.resize(static_cast<size_t>(std::max(written, 0)) / 2);
                const std::string name = id + "_" + std::to_string(m) + "_" + std::to_string(static_cast<int>(kFactors[f]));
                lengths[name] = static_cast<double>(out.size());
                write_padded_wav(std::string(folder) + "/" + name + ".wav", out, sample_rate, channels, 40);
            }
        }
    }
    std::map<std::string, PitchTrack> tracks;
    std::string error;
    const bool tracked = praat_pitch_tracks(folder, cross_correlation, &tracks, &error);
    std::filesystem::remove_all(folder);
    if (!tracked) {
        std::fprintf(stderr, "tone_bench: %s\n", error.c_str());
        return 1;
    }

    std::printf("tone_bench: %zu units of %s (every %d-th), %d Hz, praat's %s pitch\n", units.size(), voice.c_str(),
                step, sample_rate, cross_correlation ? "cross-correlation" : "autocorrelation");
    std::printf("contour error against the unit at 1x: mean semitones over the units compared, share of them over "
                "1 semitone, units without voicing left to compare; the median length at 1x over the length; CPU per "
                "second of 1x audio\n\n");
    std::printf("| method | factor | mean error | over 1 semitone | without voicing | speed reached | CPU |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (int m = 0; m < kMethodCount; ++m) {
        for (int f = 0; f < 5; ++f) {
            std::vector<ContourError> errors;
            std::vector<double> reached;
            for (size_t i = 0; i < units.size(); ++i) {
                const std::string id = "u" + std::to_string(i);
                const std::string name = id + "_" + std::to_string(m) + "_" + std::to_string(static_cast<int>(kFactors[f]));
                errors.push_back(contour_error(tracks[id + "_1"], tracks[name]));
                reached.push_back(lengths[id + "_1"] / std::max(1.0, lengths[name]));
            }
            std::sort(reached.begin(), reached.end());
            const ContourSummary s = summarize(errors);
            std::printf("| %s | %.0fx | %.2f st | %.1f %% | %d | %.2fx | %.1f ms |\n", kMethods[m].name, kFactors[f],
                        s.mean_semitones, 100 * s.over_one, s.untracked, reached[reached.size() / 2],
                        1000 * seconds[m][f] / audio_seconds);
        }
    }
    return 0;
}

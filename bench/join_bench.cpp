// join_bench: what the joins do to real units. Random pairs of units of a voice that meet inside a
// run of words (first or inside, then inside or last) are joined as the renderer joins them, at
// 1x, 2x and 4x, and each join's overlap is checked for a jump in the samples, against the jumps
// the two units have there themselves, and for clipping.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "voice/diagnostics.h"
#include "voice/unit_decode.h"
#include "voice/unit_join.h"
#include "voice/unit_lookup.h"
#include "voice/unit_speed.h"
#include "voice/voice_file.h"

namespace {

const char kUsage[] =
    "Usage: join_bench --voice PATH [--pairs N] [--join MS] [--seed N]\n"
    "Sample jumps and clipping at joins of random unit pairs of a voice.\n"
    "  --pairs N   pairs to join at each speed (default 2000)\n"
    "  --join MS   JOIN, the overlap at normal speed (default 8, the fluent profile's)\n"
    "  --seed N    the pairs' random seed (default 1)\n";

using Samples = std::vector<int16_t>;

int largest_jump(const Samples &s, int channels, long from, long to) {
    int largest = 0;
    const long frames = static_cast<long>(s.size()) / channels;
    for (long f = std::max(from, 1L); f < std::min(to, frames); ++f)
        for (int c = 0; c < channels; ++c)
            largest = std::max(largest, std::abs(s[f * channels + c] - s[(f - 1) * channels + c]));
    return largest;
}

// The unit's PCM at the speed, as the renderer would have it; empty when it does not decode.
Samples unit_at(const char *name, double factor, int sample_rate, int channels) {
    static unsigned char stored[20000];
    static unsigned char decoded[100000];
    const int size = get_unit_audio(name, stored, sizeof stored);
    const int bytes = size < 0 ? -1 : decode_unit(stored, size, decoded, sizeof decoded, sample_rate, channels);
    if (bytes <= 0) return {};
    Samples pcm(reinterpret_cast<int16_t *>(decoded), reinterpret_cast<int16_t *>(decoded) + bytes / 2);
    if (factor == 1) return pcm;
    Samples out(pcm.size());
    const int written = speed_unit(decoded, bytes, reinterpret_cast<unsigned char *>(out.data()),
                                   static_cast<int>(out.size() * 2), factor, sample_rate, channels);
    out.resize(static_cast<size_t>(std::max(written, 0)) / 2);
    return out;
}

// A delivered, then B joined to it, then the held end: as the chunks would carry them.
Samples join_pair(UnitJoin &join, const Samples &a, const Samples &b, int hold, int sample_rate, int channels) {
    Samples out;
    for (const Samples *unit : {&a, &b}) {
        std::vector<unsigned char> chunk(unit->size() * 2 + kJoinMaxHoldBytes);
        std::copy(reinterpret_cast<const unsigned char *>(unit->data()),
                  reinterpret_cast<const unsigned char *>(unit->data() + unit->size()), chunk.begin());
        const int bytes = join_unit(join, chunk.data(), static_cast<int>(unit->size() * 2), static_cast<int>(chunk.size()),
                                    hold, sample_rate, channels);
        out.insert(out.end(), reinterpret_cast<int16_t *>(chunk.data()), reinterpret_cast<int16_t *>(chunk.data()) + bytes / 2);
    }
    Samples end(kJoinMaxHoldBytes / 2);
    end.resize(static_cast<size_t>(join_flush(join, reinterpret_cast<unsigned char *>(end.data()), kJoinMaxHoldBytes)) / 2);
    out.insert(out.end(), end.begin(), end.end());
    return out;
}

}  // namespace

int main(int argc, char **argv) {
    std::string voice;
    int pairs = 2000, join_ms = 8;
    unsigned seed = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--voice" && i + 1 < argc) {
            voice = argv[++i];
        } else if (arg == "--pairs" && i + 1 < argc) {
            pairs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--join" && i + 1 < argc) {
            join_ms = std::clamp(std::atoi(argv[++i]), 1, kJoinMaxMs);
        } else if (arg == "--seed" && i + 1 < argc) {
            seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        } else {
            std::fputs(kUsage, arg == "-h" || arg == "--help" ? stdout : stderr);
            return arg == "-h" || arg == "--help" ? 0 : 2;
        }
    }
    set_diagnostics_enabled(false);
    if (voice.empty() || voice_select(voice.c_str()) != 0) {
        std::fprintf(stderr, "join_bench: give a voice that loads with --voice\n");
        return 1;
    }
    const VoiceDatabase *database = current_voice();
    const int sample_rate = voice_sample_rate(), channels = voice_channels();
    // Units that end inside a run (positions 1 and 2) and units that start inside one (2 and 3).
    std::vector<const char *> left, right;
    for (int u = 0; u < database->unit_count; ++u) {
        const std::string name = database->units[u].name;
        const char position = name.back();
        if (position == '1' || position == '2') left.push_back(database->units[u].name);
        if (position == '2' || position == '3') right.push_back(database->units[u].name);
    }
    std::printf("join_bench: %d random pairs of %s, JOIN %d ms, seed %u\n\n", pairs, voice.c_str(), join_ms, seed);
    std::printf("| speed | joins | largest jump in an overlap | joins over 2000 | of them, the units' own | "
                "largest jump beyond the units' own | clipped samples (in the units) |\n");
    std::printf("|-------|-------|----------------------------|-----------------|-------------------------|"
                "------------------------------------|-------------------------------|\n");
    std::unique_ptr<UnitJoin> join = std::make_unique<UnitJoin>();
    for (double factor : {1.0, 2.0, 4.0}) {
        std::mt19937 random(seed);
        const int hold = join_frames(join_ms, sample_rate, factor);
        int joins = 0, over = 0, own_over = 0, largest = 0, beyond = 0;
        long clipped = 0, clipped_before = 0;
        for (int p = 0; p < pairs; ++p) {
            const Samples a = unit_at(left[random() % left.size()], factor, sample_rate, channels);
            const Samples b = unit_at(right[random() % right.size()], factor, sample_rate, channels);
            if (a.empty() || b.empty()) continue;
            join_discard(*join);
            const Samples out = join_pair(*join, a, b, hold, sample_rate, channels);
            const long a_frames = static_cast<long>(a.size()) / channels, b_frames = static_cast<long>(b.size()) / channels;
            const long overlap = std::min<long>({hold, a_frames / 2, b_frames / 2});
            const long seam = a_frames - overlap;
            const int jump = largest_jump(out, channels, seam - 1, seam + overlap + 1);
            const int own = std::max(largest_jump(a, channels, seam - 1, a_frames), largest_jump(b, channels, 0, overlap + 1));
            ++joins;
            largest = std::max(largest, jump);
            beyond = std::max(beyond, jump - own);
            over += jump > 2000;
            own_over += jump > 2000 && own > 2000;
            for (int16_t v : out) clipped += v == 32767 || v == -32768;
            for (const Samples *unit : {&a, &b})
                for (int16_t v : *unit) clipped_before += v == 32767 || v == -32768;
        }
        std::printf("| %4.0fx | %5d | %26d | %15d | %23d | %34d | %14ld (%ld) |\n", factor, joins, largest, over,
                    own_over, std::max(beyond, 0), clipped, clipped_before);
    }
    return 0;
}

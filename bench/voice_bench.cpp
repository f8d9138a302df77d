// voice-bench: what the default voice costs and how close it stays to its source.
//
//   voice-bench quality [--inventory FILE] [--every N] [--qualities 5,8,10]
//       Speaks every Nth syllable of the inventory in all four positions with espeak-ng, prepares
//       each unit as the voice builder does (trim, level), encodes it at each Speex quality, and
//       reports the log-spectral distance of what the engine's decoder makes of it to the prepared
//       source (all frequencies and 4-8 kHz), the size the whole voice would have, the decoding
//       speed, the units that clip, and how much of the release of final stops the old fixed
//       trimming threshold cut and the noise-floor trim cuts.
//   voice-bench decoder --voice VOICE [--every N]
//       Decodes every Nth unit of a mono voice as the engine does, and with the decoder changed:
//       perceptual enhancement off, and one decoder reset between units instead of one made per
//       unit. Reports the decoding speed of each, the cost of making a decoder, how many units the
//       reused decoder gives byte for byte as a new one does, and the log-spectral distance of the
//       audio without enhancement to the engine's.
//   voice-bench loudness --voice VOICE --text FILE [--say PATH]
//       Speaks the text (UTF-8, a request a line) with velorin-say and with espeak-ng at volume
//       100 and its normal rate, and reports the integrated loudness (ITU-R BS.1770) and the
//       peaks of both.
#include "tools/espeak_source.h"
#include "tools/voice_audio.h"
#include "tools/voice_builder.h"
#include "voice/unit_decode.h"
#include "voice/unit_encoder.h"
#include "voice/unit_lookup.h"
#include "voice/unit_synth.h"
#include "voice/voice_file.h"

#include <espeak-ng/speak_lib.h>
#include <ogg/ogg.h>
#include <speex/speex.h>
#include <speex/speex_header.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kFftSize = 512;  // 23 ms at 22050 Hz
constexpr int kHop = kFftSize / 2;
constexpr int kSampleRate = 22050;
// Frames of the source quieter than this under the unit's loudest frame carry no spectrum worth
// comparing (closures, the fade-in).
constexpr double kFrameBelowPeakDb = 50.0;
// A spectral bin more than this under the source frame's strongest counts as that low: the
// codec's noise in an empty bin is no error a listener hears.
constexpr double kBinFloorDb = 60.0;

[[noreturn]] void fail(const std::string &message) {
    std::fprintf(stderr, "voice-bench: %s\n", message.c_str());
    std::exit(1);
}

void fft(std::vector<std::complex<double>> &a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; i++) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t length = 2; length <= n; length <<= 1) {
        const std::complex<double> step = std::polar(1.0, -2 * kPi / static_cast<double>(length));
        for (size_t i = 0; i < n; i += length) {
            std::complex<double> w = 1;
            for (size_t k = 0; k < length / 2; k++) {
                const std::complex<double> u = a[i + k], v = a[i + k + length / 2] * w;
                a[i + k] = u + v;
                a[i + k + length / 2] = u - v;
                w *= step;
            }
        }
    }
}

// Power spectra (dB) of the Hann-windowed frames of a mono signal.
std::vector<std::vector<double>> spectra(const std::vector<int16_t> &samples, std::vector<double> *frame_db) {
    std::vector<std::vector<double>> out;
    frame_db->clear();
    std::vector<std::complex<double>> buffer(kFftSize);
    const double full_scale = 32768.0 * kFftSize / 4;  // a full-scale sine's peak bin under the window
    for (size_t start = 0; start + kFftSize <= samples.size(); start += kHop) {
        double energy = 0;
        for (int i = 0; i < kFftSize; i++) {
            const double window = 0.5 - 0.5 * std::cos(2 * kPi * i / kFftSize);
            buffer[i] = samples[start + i] * window;
            energy += static_cast<double>(samples[start + i]) * samples[start + i];
        }
        fft(buffer);
        std::vector<double> db(kFftSize / 2 + 1);
        for (size_t k = 0; k < db.size(); k++) {
            const double power = std::norm(buffer[k]) / (full_scale * full_scale);
            db[k] = 10 * std::log10(power + 1e-30);
        }
        out.push_back(std::move(db));
        frame_db->push_back(10 * std::log10(energy / kFftSize + 1e-9));
    }
    return out;
}

struct Distance {
    double sum_all = 0, sum_band = 0;
    long frames = 0;
};

// Log-spectral distance of decoded to source, frame by frame: the RMS over bins of the dB
// difference, over all bins and over the 4-8 kHz bins, summed over the frames that carry sound.
void add_distance(const std::vector<int16_t> &source, const std::vector<int16_t> &decoded, Distance *d) {
    std::vector<double> source_db, decoded_db;
    const auto a = spectra(source, &source_db);
    const auto b = spectra(decoded, &decoded_db);
    if (a.empty() || a.size() != b.size()) return;
    const double loudest = *std::max_element(source_db.begin(), source_db.end());
    const int band_low = static_cast<int>(std::ceil(4000.0 * kFftSize / kSampleRate));
    const int band_high = static_cast<int>(std::floor(8000.0 * kFftSize / kSampleRate));
    for (size_t f = 0; f < a.size(); f++) {
        if (source_db[f] < loudest - kFrameBelowPeakDb) continue;
        const double floor = *std::max_element(a[f].begin(), a[f].end()) - kBinFloorDb;
        double all = 0, band = 0;
        for (size_t k = 0; k < a[f].size(); k++) {
            const double diff = std::max(floor, a[f][k]) - std::max(floor, b[f][k]);
            all += diff * diff;
            if (static_cast<int>(k) >= band_low && static_cast<int>(k) <= band_high) band += diff * diff;
        }
        d->sum_all += std::sqrt(all / static_cast<double>(a[f].size()));
        d->sum_band += std::sqrt(band / (band_high - band_low + 1));
        d->frames++;
    }
}

double thread_cpu_seconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

std::vector<int> parse_list(const std::string &text) {
    std::vector<int> out;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) out.push_back(std::atoi(item.c_str()));
    return out;
}

// The trimming rule before the noise floor: the last 5 ms window within 40 dB of the loudest
// (and over RMS 30), plus the 8 ms kept. Returns the frame where the kept audio ends.
int fixed_threshold_end(const PcmAudio &audio) {
    const int window = audio.sample_rate * 5 / 1000;
    std::vector<double> levels;
    for (int start = 0; start < audio.frames(); start += window) {
        double sum = 0;
        const int end = std::min(audio.frames(), start + window);
        for (int i = start; i < end; i++) sum += static_cast<double>(audio.samples[i]) * audio.samples[i];
        levels.push_back(std::sqrt(sum / (end - start)));
    }
    if (levels.empty()) return 0;
    const double threshold = std::max(30.0, *std::max_element(levels.begin(), levels.end()) * 0.01);
    int last = -1;
    for (int w = 0; w < static_cast<int>(levels.size()); w++)
        if (levels[w] >= threshold) last = w;
    return std::min(audio.frames(), (last + 1) * window + audio.sample_rate * kTrimKeepMs / 1000);
}

// The frame after the last sample that is not digital silence (|s| > 8).
int sound_end(const PcmAudio &audio) {
    for (int i = audio.frames() - 1; i >= 0; i--)
        if (std::abs(audio.samples[i]) > 8) return i + 1;
    return 0;
}

bool has_stop_final(const std::string &syllable) {
    for (const char *final_consonant : {"ch", "p", "t", "c"}) {
        const size_t n = std::strlen(final_consonant);
        if (syllable.size() > n && syllable.compare(syllable.size() - n, n, final_consonant) == 0) return true;
    }
    return false;
}

struct PreparedUnit {
    std::string name;
    PcmAudio audio;
};

int run_quality(int argc, char **argv) {
    std::string inventory = "lexicon/data/syllables.txt";
    int every = 10;
    std::vector<int> qualities = {5, 8, 10};
    for (int i = 2; i < argc; i++) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) fail("option " + arg + " needs a value");
        if (arg == "--inventory") {
            inventory = argv[++i];
        } else if (arg == "--every") {
            every = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--qualities") {
            qualities = parse_list(argv[++i]);
        } else {
            fail("unknown option " + arg);
        }
    }
    std::vector<std::string> all;
    std::string error;
    if (read_syllable_list(inventory, &all, &error) != 0) fail(error);
    all = with_both_tone_placements(all);
    if (espeak_source_start(kEspeakVariants[0], &error) < 0) fail(error);

    std::vector<PreparedUnit> units;
    long stop_units = 0, old_cut_units = 0, new_cut_units = 0;
    double old_cut_ms = 0, new_cut_ms = 0, old_cut_max = 0, new_cut_max = 0;
    for (size_t s = 0; s < all.size(); s += static_cast<size_t>(every)) {
        for (int position = 0; position < 4; position++) {
            PcmAudio audio;
            if (espeak_speak_syllable(ascii_to_vietnamese(all[s]), position, &audio, &error) != 0) fail(error);
            audio = resample(audio, kSampleRate);
            if (has_stop_final(all[s])) {
                // What each rule cuts after the release's last sound, in milliseconds.
                const double ms_per_frame = 1000.0 / kSampleRate;
                const int end = sound_end(audio);
                PcmAudio trimmed = audio;
                int start = 0;
                trim_silence(&trimmed, kTrimKeepMs, &start);
                const double old_cut = std::max(0, end - fixed_threshold_end(audio)) * ms_per_frame;
                const double new_cut = std::max(0, end - (start + trimmed.frames())) * ms_per_frame;
                stop_units++;
                old_cut_units += old_cut > 10;
                new_cut_units += new_cut > 10;
                old_cut_ms += old_cut;
                new_cut_ms += new_cut;
                old_cut_max = std::max(old_cut_max, old_cut);
                new_cut_max = std::max(new_cut_max, new_cut);
            }
            if (trim_silence(&audio, kTrimKeepMs) == 0) continue;
            level_unit(&audio);
            units.push_back({unit_syllable(all[s]) + "." + std::to_string(position), std::move(audio)});
        }
    }
    espeak_source_stop();
    double source_seconds = 0;
    long name_bytes = 0;
    for (const PreparedUnit &unit : units) {
        source_seconds += audio_ms(unit.audio) / 1000;
        name_bytes += static_cast<long>(unit.name.size()) + 4;
    }
    const double scale = static_cast<double>(all.size() * 4) / static_cast<double>(units.size());
    std::printf("%zu of %zu syllables (every %d), %zu units, %.0f s of audio\n\n", (all.size() + every - 1) / every,
                all.size(), every, units.size(), source_seconds);
    std::printf("| quality | LSD all (dB) | LSD 4-8 kHz (dB) | whole voice (MB) | decoding (audio s / CPU s) | units that clip before the builder lowers them |\n");
    std::printf("|---------|--------------|------------------|------------------|----------------------------|------------------------------------------------|\n");

    // The engine's decoder writes its header lines for every unit.
    if (!std::freopen("/dev/null", "w", stderr)) fail("cannot silence the decoder");
    std::vector<unsigned char> pcm(4 * 1024 * 1024);
    for (int quality : qualities) {
        UnitEncoderOptions options;
        options.sample_rate = kSampleRate;
        options.quality = quality;
        std::vector<std::vector<uint8_t>> encoded(units.size());
        Distance distance;
        long bytes = 0, clipping = 0;
        for (size_t u = 0; u < units.size(); u++) {
            std::vector<int16_t> decoded;
            if (encode_unit(units[u].audio.samples.data(), units[u].audio.frames(), options, &encoded[u], &error, &decoded) != 0)
                fail(error);
            bytes += static_cast<long>(encoded[u].size());
            clipping += peak_sample(decoded) >= 32767;
            add_distance(units[u].audio.samples, decoded, &distance);
        }
        // The thread's own CPU time, the least of five rounds: other work on the machine does not count.
        double best = 1e9;
        for (int round = 0; round < 5; round++) {
            const double start = thread_cpu_seconds();
            for (const auto &unit : encoded)
                decode_unit(unit.data(), static_cast<int>(unit.size()), pcm.data(), static_cast<int>(pcm.size()), 0, 0);
            best = std::min(best, thread_cpu_seconds() - start);
        }
        const double voice_mb = (static_cast<double>(bytes + name_bytes) * scale + 120) / 1e6;
        std::printf("| %7d | %12.2f | %16.2f | %16.1f | %26.0f | %46ld |\n", quality, distance.sum_all / distance.frames,
                    distance.sum_band / distance.frames, voice_mb, source_seconds / best, clipping);
        std::fflush(stdout);
    }
    std::printf("\nstop finals: %ld units; more than 10 ms of the release cut: %ld by the fixed threshold (mean %.1f ms, "
                "max %.0f ms), %ld by the noise floor (mean %.1f ms, max %.0f ms)\n",
                stop_units, old_cut_units, old_cut_ms / std::max(1L, stop_units), old_cut_max, new_cut_units,
                new_cut_ms / std::max(1L, stop_units), new_cut_max);
    return 0;
}

std::vector<int16_t> g_espeak_samples;

int collect(short *wave, int count, espeak_EVENT *) {
    if (wave && count > 0) g_espeak_samples.insert(g_espeak_samples.end(), wave, wave + count);
    return 0;
}

void print_level(const char *who, const PcmAudio &audio) {
    long clipped = 0;
    for (int16_t s : audio.samples) clipped += s >= 32767 || s <= -32767;
    std::printf("| %-22s | %8.2f | %6d | %14ld | %9.1f |\n", who, gated_loudness(audio), peak_sample(audio.samples), clipped,
                audio_ms(audio) / 1000);
}

// ---- decoder ----

// A unit's Ogg packets, in order.
std::vector<std::vector<unsigned char>> ogg_packets(const unsigned char *bytes, int count) {
    std::vector<std::vector<unsigned char>> packets;
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char *buffer = ogg_sync_buffer(&sync, count);
    std::memcpy(buffer, bytes, static_cast<size_t>(count));
    ogg_sync_wrote(&sync, count);
    ogg_stream_state stream;
    bool have_stream = false;
    ogg_page page;
    while (ogg_sync_pageout(&sync, &page) == 1) {
        if (!have_stream) ogg_stream_init(&stream, ogg_page_serialno(&page));
        have_stream = true;
        ogg_stream_pagein(&stream, &page);
        ogg_packet packet;
        while (ogg_stream_packetout(&stream, &packet) == 1) packets.emplace_back(packet.packet, packet.packet + packet.bytes);
    }
    if (have_stream) ogg_stream_clear(&stream);
    ogg_sync_clear(&sync);
    return packets;
}

struct SpeexUnit {
    std::vector<unsigned char> bytes;
    std::vector<std::vector<unsigned char>> packets;  // header, comments, audio
    const SpeexMode *mode = nullptr;
    int rate = 0;
    int frames_per_packet = 1;
};

void *new_decoder(const SpeexUnit &unit, int enhancement) {
    void *decoder = speex_decoder_init(unit.mode);
    speex_decoder_ctl(decoder, SPEEX_SET_ENH, &enhancement);
    int rate = unit.rate;
    speex_decoder_ctl(decoder, SPEEX_SET_SAMPLING_RATE, &rate);
    return decoder;
}

// Every frame of the unit's audio packets, untrimmed (the trimming is the same whatever the decoder).
void decode_frames(void *decoder, const SpeexUnit &unit, std::vector<int16_t> *out) {
    out->clear();
    int frame_samples = 0;
    speex_decoder_ctl(decoder, SPEEX_GET_FRAME_SIZE, &frame_samples);
    std::vector<spx_int16_t> frame(static_cast<size_t>(frame_samples));
    SpeexBits bits;
    speex_bits_init(&bits);
    for (size_t p = 2; p < unit.packets.size(); p++) {
        speex_bits_read_from(&bits, reinterpret_cast<const char *>(unit.packets[p].data()),
                             static_cast<int>(unit.packets[p].size()));
        for (int f = 0; f < unit.frames_per_packet; f++) {
            if (speex_decode_int(decoder, &bits, frame.data()) != 0) break;
            out->insert(out->end(), frame.begin(), frame.end());
        }
    }
    speex_bits_destroy(&bits);
}

int run_decoder(int argc, char **argv) {
    std::string voice_path;
    int every = 10;
    for (int i = 2; i < argc; i++) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) fail("option " + arg + " needs a value");
        if (arg == "--voice") {
            voice_path = argv[++i];
        } else if (arg == "--every") {
            every = std::max(1, std::atoi(argv[++i]));
        } else {
            fail("unknown option " + arg);
        }
    }
    if (voice_path.empty()) fail("decoder needs --voice");
    VoiceDatabase *voice = voice_load(voice_path.c_str());
    if (!voice) fail("cannot load " + voice_path);
    if (voice->channels != 1) fail("decoder compares mono voices only");
    std::vector<SpeexUnit> units;
    static unsigned char bytes[kUnitBufferBytes];
    for (int position = 0; position < voice->unit_count; position += every) {
        const int size = voice_unit_audio_at(voice, position, bytes, kUnitBufferBytes);
        if (size <= 0) continue;
        SpeexUnit unit;
        unit.bytes.assign(bytes, bytes + size);
        unit.packets = ogg_packets(bytes, size);
        if (unit.packets.size() < 3) continue;
        SpeexHeader *header = speex_packet_to_header(reinterpret_cast<char *>(unit.packets[0].data()),
                                                     static_cast<int>(unit.packets[0].size()));
        if (!header) continue;
        if (header->mode >= 0 && header->mode < SPEEX_NB_MODES) unit.mode = speex_lib_get_mode(header->mode);
        unit.rate = header->rate;
        unit.frames_per_packet = std::max(1, header->frames_per_packet);
        speex_header_free(header);
        if (unit.mode) units.push_back(std::move(unit));
    }
    const int sample_rate = voice->sample_rate;
    voice_free(voice);
    if (units.empty()) fail("no Speex unit in " + voice_path);

    // The engine's decoding, and what the changes give, unit by unit.
    if (!std::freopen("/dev/null", "w", stderr)) fail("cannot silence the decoder");
    std::vector<std::vector<int16_t>> enhanced(units.size()), plain(units.size());
    std::vector<int16_t> reused;
    void *shared = new_decoder(units[0], 1);
    size_t identical = 0;
    double audio_seconds = 0;
    for (size_t u = 0; u < units.size(); u++) {
        void *decoder = new_decoder(units[u], 1);
        decode_frames(decoder, units[u], &enhanced[u]);
        speex_decoder_destroy(decoder);
        decoder = new_decoder(units[u], 0);
        decode_frames(decoder, units[u], &plain[u]);
        speex_decoder_destroy(decoder);
        speex_decoder_ctl(shared, SPEEX_RESET_STATE, nullptr);
        decode_frames(shared, units[u], &reused);
        identical += reused == enhanced[u];
        audio_seconds += static_cast<double>(enhanced[u].size()) / sample_rate;
    }
    Distance distance;
    for (size_t u = 0; u < units.size(); u++) add_distance(enhanced[u], plain[u], &distance);

    // Decoding speed: the thread's CPU time, the least of five rounds.
    auto best_seconds = [](auto &&decode_all) {
        double best = 1e9;
        for (int round = 0; round < 5; round++) {
            const double start = thread_cpu_seconds();
            decode_all();
            best = std::min(best, thread_cpu_seconds() - start);
        }
        return best;
    };
    std::vector<unsigned char> pcm(kPcmBufferBytes);
    std::vector<int16_t> frames;
    const double engine = best_seconds([&] {
        for (const SpeexUnit &unit : units)
            decode_unit(unit.bytes.data(), static_cast<int>(unit.bytes.size()), pcm.data(), kPcmBufferBytes, 0, 0);
    });
    auto fresh_each = [&](int enhancement) {
        return best_seconds([&] {
            for (const SpeexUnit &unit : units) {
                void *decoder = new_decoder(unit, enhancement);
                decode_frames(decoder, unit, &frames);
                speex_decoder_destroy(decoder);
            }
        });
    };
    const double with_enhancement = fresh_each(1);
    const double without_enhancement = fresh_each(0);
    const double reset_each = best_seconds([&] {
        for (const SpeexUnit &unit : units) {
            speex_decoder_ctl(shared, SPEEX_RESET_STATE, nullptr);
            decode_frames(shared, unit, &frames);
        }
    });
    speex_decoder_destroy(shared);
    const int makes = 20000;
    const double making = best_seconds([&] {
        for (int i = 0; i < makes; i++) speex_decoder_destroy(new_decoder(units[0], 1));
    });

    std::printf("%zu units (every %d of the voice), %.0f s of audio\n\n", units.size(), every, audio_seconds);
    std::printf("| decoding | audio s / CPU s | us per unit | same bytes as the engine's decoder | LSD to the engine's, all / 4-8 kHz (dB) |\n");
    std::printf("|---|---|---|---|---|\n");
    auto line = [&](const char *what, double seconds, const std::string &same, const std::string &lsd) {
        std::printf("| %s | %.0f | %.1f | %s | %s |\n", what, audio_seconds / seconds, seconds * 1e6 / units.size(),
                    same.c_str(), lsd.c_str());
    };
    char lsd[64];
    std::snprintf(lsd, sizeof lsd, "%.2f / %.2f", distance.sum_all / std::max(1L, distance.frames),
                  distance.sum_band / std::max(1L, distance.frames));
    line("decode_unit (Ogg, trimming, fades; enhancement on, a decoder per unit)", engine, "yes", "0");
    line("frames only: enhancement on, a decoder per unit", with_enhancement, "yes", "0");
    line("frames only: enhancement off, a decoder per unit", without_enhancement, "no", lsd);
    line("frames only: enhancement on, one decoder reset between units", reset_each,
         std::to_string(identical) + " of " + std::to_string(units.size()) + " units", "-");
    std::printf("\nmaking and destroying a decoder: %.2f us\n", making * 1e6 / makes);
    return 0;
}

int run_loudness(int argc, char **argv) {
    std::string voice, text_file, say = "build/bin/velorin-say";
    for (int i = 2; i < argc; i++) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) fail("option " + arg + " needs a value");
        if (arg == "--voice") {
            voice = argv[++i];
        } else if (arg == "--text") {
            text_file = argv[++i];
        } else if (arg == "--say") {
            say = argv[++i];
        } else {
            fail("unknown option " + arg);
        }
    }
    if (voice.empty() || text_file.empty()) fail("loudness needs --voice and --text");
    const std::string wav = "/tmp/voice-bench-" + std::to_string(getpid()) + ".wav";
    const std::string command = say + " --lines --voice '" + voice + "' -f '" + text_file + "' -o " + wav;
    if (std::system(command.c_str()) != 0) fail("velorin-say failed: " + command);
    PcmAudio ours;
    std::string error;
    if (read_wav(wav, &ours, &error) != 0) fail(error);
    std::remove(wav.c_str());

    const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, 0);
    if (rate <= 0 || espeak_SetVoiceByName("vi") != EE_OK) fail("espeak-ng has no Vietnamese voice");
    espeak_SetSynthCallback(collect);
    espeak_SetParameter(espeakVOLUME, 100, 0);
    std::ifstream text(text_file);
    std::string line;
    while (std::getline(text, line)) {
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        espeak_Synth(line.c_str(), line.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
    }
    PcmAudio theirs;
    theirs.sample_rate = rate;
    theirs.channels = 1;
    theirs.samples.swap(g_espeak_samples);

    std::printf("| speech                 |     LUFS |   peak | clipped samples | audio (s) |\n");
    std::printf("|------------------------|----------|--------|-----------------|-----------|\n");
    print_level("velorin", ours);
    print_level("espeak-ng, volume 100", theirs);
    std::printf("\nvelorin is %+.2f LU from espeak-ng\n", gated_loudness(ours) - gated_loudness(theirs));
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "quality") return run_quality(argc, argv);
    if (command == "loudness") return run_loudness(argc, argv);
    if (command == "decoder") return run_decoder(argc, argv);
    std::fprintf(stderr, "Usage: voice-bench quality [--inventory FILE] [--every N] [--qualities 5,8,10]\n"
                         "       voice-bench decoder --voice VOICE [--every N]\n"
                         "       voice-bench loudness --voice VOICE --text FILE [--say PATH]\n");
    return 2;
}

// WAV input and output, mixing, resampling, silence trimming and level normalization.
#include "tools/voice_audio.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numeric>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kWindowMs = 5;
constexpr double kSilenceBelowPeakDb = 40.0;
constexpr double kSilenceFloor = 30.0;    // RMS under which a window is silence whatever the peak
constexpr double kTargetRms = 3000.0;     // about -21 dB below full scale
constexpr double kPeakCeiling = 29000.0;  // about -1 dB
constexpr long long kMaxResamplePhases = 4096;  // rate pairs with more phases work out each frame's weights

uint32_t le32(const unsigned char *p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t le16(const unsigned char *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

void put_le32(std::vector<unsigned char> *out, uint32_t v) {
    for (int i = 0; i < 4; i++) out->push_back(static_cast<unsigned char>(v >> (8 * i)));
}
void put_le16(std::vector<unsigned char> *out, uint16_t v) {
    out->push_back(static_cast<unsigned char>(v));
    out->push_back(static_cast<unsigned char>(v >> 8));
}

int16_t clamp16(double v) { return static_cast<int16_t>(std::lround(std::max(-32768.0, std::min(32767.0, v)))); }

// RMS of each window of kWindowMs over all channels.
std::vector<double> window_levels(const PcmAudio &audio, int *window_frames) {
    *window_frames = std::max(1, audio.sample_rate * kWindowMs / 1000);
    std::vector<double> levels;
    const int frames = audio.frames();
    for (int start = 0; start < frames; start += *window_frames) {
        const int end = std::min(frames, start + *window_frames);
        double sum = 0;
        for (size_t i = static_cast<size_t>(start) * audio.channels; i < static_cast<size_t>(end) * audio.channels; i++)
            sum += static_cast<double>(audio.samples[i]) * audio.samples[i];
        levels.push_back(std::sqrt(sum / ((end - start) * audio.channels)));
    }
    return levels;
}

double speech_threshold(const std::vector<double> &levels) {
    const double loudest = levels.empty() ? 0 : *std::max_element(levels.begin(), levels.end());
    return std::max(kSilenceFloor, loudest * std::pow(10.0, -kSilenceBelowPeakDb / 20));
}

}  // namespace

int read_wav(const std::string &path, PcmAudio *audio, std::string *error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = "cannot open " + path;
        return -1;
    }
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (data.size() < 12 || std::memcmp(data.data(), "RIFF", 4) != 0 || std::memcmp(data.data() + 8, "WAVE", 4) != 0) {
        *error = path + " is not a WAV file";
        return -1;
    }
    int format = 0, channels = 0, rate = 0, bits = 0;
    const unsigned char *payload = nullptr;
    size_t payload_bytes = 0;
    size_t pos = 12;
    while (pos + 8 <= data.size()) {
        const uint32_t size = le32(&data[pos + 4]);
        const size_t body = pos + 8;
        const size_t available = std::min<size_t>(size, data.size() - body);
        if (std::memcmp(&data[pos], "fmt ", 4) == 0 && available >= 16) {
            format = le16(&data[body]);
            channels = le16(&data[body + 2]);
            rate = static_cast<int>(le32(&data[body + 4]));
            bits = le16(&data[body + 14]);
            if (format == 0xFFFE && available >= 26) format = le16(&data[body + 24]);  // extensible: sub-format
        } else if (std::memcmp(&data[pos], "data", 4) == 0) {
            payload = &data[body];
            payload_bytes = available;  // a truncated or streamed file keeps what is there
        }
        pos = body + size + (size & 1);
        if (pos < body) break;  // size overflow
    }
    const bool integer = format == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    const bool floating = format == 3 && bits == 32;
    if (!payload || channels <= 0 || channels > 64 || rate <= 0 || (!integer && !floating)) {
        *error = path + ": unsupported WAV (need PCM 8/16/24/32-bit or 32-bit float)";
        return -1;
    }
    const int bytes_per_sample = bits / 8;
    const size_t count = payload_bytes / bytes_per_sample / channels * channels;
    audio->sample_rate = rate;
    audio->channels = channels;
    audio->samples.resize(count);
    for (size_t i = 0; i < count; i++) {
        const unsigned char *p = payload + i * bytes_per_sample;
        double v = 0;
        if (floating) {
            float f;
            uint32_t raw = le32(p);
            std::memcpy(&f, &raw, 4);
            v = std::isfinite(f) ? f * 32768.0 : 0;
        } else if (bits == 8) {
            v = (p[0] - 128) * 256.0;
        } else if (bits == 16) {
            v = static_cast<int16_t>(le16(p));
        } else if (bits == 24) {
            v = static_cast<int32_t>(static_cast<uint32_t>(p[0] << 8 | p[1] << 16 | static_cast<uint32_t>(p[2]) << 24)) / 65536.0;
        } else {
            v = static_cast<int32_t>(le32(p)) / 65536.0;
        }
        audio->samples[i] = clamp16(v);
    }
    return 0;
}

int write_wav(const std::string &path, const PcmAudio &audio, std::string *error) {
    std::vector<unsigned char> out;
    const uint32_t bytes = static_cast<uint32_t>(audio.samples.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put_le32(&out, 36 + bytes);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put_le32(&out, 16);
    put_le16(&out, 1);
    put_le16(&out, static_cast<uint16_t>(audio.channels));
    put_le32(&out, static_cast<uint32_t>(audio.sample_rate));
    put_le32(&out, static_cast<uint32_t>(audio.sample_rate * audio.channels * 2));
    put_le16(&out, static_cast<uint16_t>(audio.channels * 2));
    put_le16(&out, 16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put_le32(&out, bytes);
    for (int16_t s : audio.samples) put_le16(&out, static_cast<uint16_t>(s));
    std::ofstream file(path, std::ios::binary);
    if (!file.write(reinterpret_cast<const char *>(out.data()), static_cast<std::streamsize>(out.size()))) {
        *error = "cannot write " + path;
        return -1;
    }
    return 0;
}

PcmAudio mix_channels(const PcmAudio &audio, int channels) {
    if (audio.channels == channels) return audio;
    PcmAudio out;
    out.sample_rate = audio.sample_rate;
    out.channels = channels;
    const int frames = audio.frames();
    out.samples.resize(static_cast<size_t>(frames) * channels);
    for (int f = 0; f < frames; f++) {
        double sum = 0;
        for (int c = 0; c < audio.channels; c++) sum += audio.samples[static_cast<size_t>(f) * audio.channels + c];
        const int16_t mono = clamp16(sum / audio.channels);
        for (int c = 0; c < channels; c++) out.samples[static_cast<size_t>(f) * channels + c] = mono;
    }
    return out;
}

PcmAudio resample(const PcmAudio &audio, int sample_rate, int zero_crossings) {
    if (audio.sample_rate == sample_rate || audio.frames() == 0) {
        PcmAudio same = audio;
        same.sample_rate = sample_rate;
        return same;
    }
    const double ratio = static_cast<double>(sample_rate) / audio.sample_rate;
    const double cutoff = std::min(1.0, ratio) * 0.95;
    const int half_width = static_cast<int>(std::ceil(std::max(1, zero_crossings) / cutoff));
    const int taps = 2 * half_width + 1;
    const int in_frames = audio.frames();
    const int out_frames = static_cast<int>(std::floor(in_frames * ratio));
    PcmAudio out;
    out.sample_rate = sample_rate;
    out.channels = audio.channels;
    out.samples.resize(static_cast<size_t>(out_frames) * audio.channels);
    // Output frame n sits at n / ratio input frames; its fraction repeats every `phases` frames,
    // so the weights are worked out once per phase.
    const long long common = std::gcd(static_cast<long long>(sample_rate), static_cast<long long>(audio.sample_rate));
    const long long step = audio.sample_rate / common, phases = sample_rate / common;
    const bool tabled = phases <= kMaxResamplePhases;
    std::vector<double> weights(static_cast<size_t>(tabled ? phases : 1) * taps);
    auto fill_weights = [&](double fraction, double *w) {
        double weight_sum = 0;
        for (int k = -half_width; k <= half_width; k++) {
            const double x = fraction - k;
            const double arg = kPi * cutoff * x;
            const double sinc = std::fabs(arg) < 1e-9 ? 1.0 : std::sin(arg) / arg;
            const double window = 0.5 + 0.5 * std::cos(kPi * x / (half_width + 1));  // Hann
            w[k + half_width] = sinc * window;
            weight_sum += w[k + half_width];
        }
        for (int k = 0; k < taps; k++) w[k] /= weight_sum;
    };
    if (tabled)
        for (long long p = 0; p < phases; p++) fill_weights(static_cast<double>(p * step % phases) / phases, &weights[p * taps]);
    for (int n = 0; n < out_frames; n++) {
        int centre;
        const double *w;
        if (tabled) {
            centre = static_cast<int>(n * step / phases);
            w = &weights[(n % phases) * taps];
        } else {
            const double t = n / ratio;
            centre = static_cast<int>(std::floor(t));
            fill_weights(t - centre, weights.data());
            w = weights.data();
        }
        const int first = std::max(-half_width, -centre), last = std::min(half_width, in_frames - 1 - centre);
        for (int c = 0; c < audio.channels; c++) {
            double acc = 0;
            const int16_t *in = audio.samples.data() + c;
            for (int k = first; k <= last; k++) acc += w[k + half_width] * in[static_cast<size_t>(centre + k) * audio.channels];
            out.samples[static_cast<size_t>(n) * audio.channels + c] = clamp16(acc);
        }
    }
    return out;
}

int trim_silence(PcmAudio *audio, int keep_ms) {
    int window = 0;
    const std::vector<double> levels = window_levels(*audio, &window);
    const double threshold = speech_threshold(levels);
    int first = -1, last = -1;
    for (int w = 0; w < static_cast<int>(levels.size()); w++) {
        if (levels[w] < threshold) continue;
        if (first < 0) first = w;
        last = w;
    }
    if (first < 0) {
        audio->samples.clear();
        return 0;
    }
    const int keep = audio->sample_rate * keep_ms / 1000;
    const int start = std::max(0, first * window - keep);
    const int end = std::min(audio->frames(), (last + 1) * window + keep);
    const size_t ch = static_cast<size_t>(audio->channels);
    audio->samples = std::vector<int16_t>(audio->samples.begin() + start * ch, audio->samples.begin() + end * ch);
    return end - start;
}

void normalize_level(PcmAudio *audio) {
    int window = 0;
    const std::vector<double> levels = window_levels(*audio, &window);
    const double threshold = speech_threshold(levels);
    double sum = 0;
    int count = 0;
    for (double level : levels) {
        if (level < threshold) continue;
        sum += level * level;
        count++;
    }
    int peak = 0;
    for (int16_t s : audio->samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    if (count == 0 || peak == 0) return;
    double gain = kTargetRms / std::sqrt(sum / count);
    gain = std::min(gain, kPeakCeiling / peak);
    for (int16_t &s : audio->samples) s = clamp16(s * gain);
}

double audio_ms(const PcmAudio &audio) {
    return audio.sample_rate > 0 ? 1000.0 * audio.frames() / audio.sample_rate : 0;
}

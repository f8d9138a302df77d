// WAV input and output, mixing, resampling, silence trimming and level normalization.
#include "tools/voice_audio.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <numeric>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kWindowMs = 5;
// A window at this RMS or under is silence whatever the unit: rounding noise, about -78 dBFS.
constexpr double kDigitalSilence = 4.0;
// A unit whose loudest window stays under this (about -61 dBFS) is silence: hiss, hum.
constexpr double kSilentUnit = 30.0;
// The noise floor is the level that a tenth of the unit's windows stay under; sound is what
// stands this far above it.
constexpr double kFloorShare = 0.1;
constexpr double kAboveFloorDb = 10.0;
// A unit with no quiet part at all has no floor to find: what comes within this of its loudest
// window is sound in any case.
constexpr double kSoundBelowPeakDb = 30.0;
// How far the peak limiter looks on either side of a sample.
constexpr int kLimiterReachMs = 3;
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

double sound_threshold(const std::vector<double> &levels) {
    if (levels.empty()) return kDigitalSilence;
    std::vector<double> sorted = levels;
    const size_t floor_index = static_cast<size_t>(kFloorShare * static_cast<double>(sorted.size() - 1));
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(floor_index), sorted.end());
    const double noise_floor = sorted[floor_index];
    const double loudest = *std::max_element(levels.begin(), levels.end());
    const double above_floor = std::max(kDigitalSilence, noise_floor * std::pow(10.0, kAboveFloorDb / 20));
    return std::max(kDigitalSilence, std::min(above_floor, loudest * std::pow(10.0, -kSoundBelowPeakDb / 20)));
}

struct Biquad {
    double b0, b1, b2, a1, a2;
};

// The two stages of the K-weighting filter at any sample rate: the head's high shelf, then the
// high-pass (the analogue prototypes of BS.1770 through the bilinear transform).
void k_weighting(int sample_rate, Biquad *shelf, Biquad *high_pass) {
    double f0 = 1681.974450955533, gain_db = 3.999843853973347, q = 0.7071752369554196;
    double k = std::tan(kPi * f0 / sample_rate);
    const double vh = std::pow(10.0, gain_db / 20), vb = std::pow(vh, 0.4996667741545416);
    double a0 = 1 + k / q + k * k;
    *shelf = {(vh + vb * k / q + k * k) / a0, 2 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
              2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0};
    f0 = 38.13547087602444, q = 0.5003270373238773;
    k = std::tan(kPi * f0 / sample_rate);
    a0 = 1 + k / q + k * k;
    *high_pass = {1, -2, 1, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0};
}

double block_lufs(double mean_square) { return -0.691 + 10 * std::log10(mean_square); }

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

int trim_silence(PcmAudio *audio, int keep_ms, int *kept_from) {
    int window = 0;
    const std::vector<double> levels = window_levels(*audio, &window);
    const double threshold = sound_threshold(levels);
    int first = -1, last = -1;
    for (int w = 0; w < static_cast<int>(levels.size()); w++) {
        if (levels[w] <= threshold) continue;
        if (first < 0) first = w;
        last = w;
    }
    const double loudest = levels.empty() ? 0 : *std::max_element(levels.begin(), levels.end());
    if (first < 0 || loudest < kSilentUnit) {
        audio->samples.clear();
        return 0;
    }
    const int keep = audio->sample_rate * keep_ms / 1000;
    const int start = std::max(0, first * window - keep);
    const int end = std::min(audio->frames(), (last + 1) * window + keep);
    const size_t ch = static_cast<size_t>(audio->channels);
    audio->samples = std::vector<int16_t>(audio->samples.begin() + start * ch, audio->samples.begin() + end * ch);
    if (kept_from) *kept_from = start;
    return end - start;
}

double gated_loudness(const PcmAudio &audio, int block_ms) {
    const int frames = audio.frames();
    if (frames == 0 || audio.sample_rate <= 0 || block_ms <= 0) return kSilentLufs;
    Biquad shelf, high_pass;
    k_weighting(audio.sample_rate, &shelf, &high_pass);
    // Running sums of the K-weighted energy, all channels added, so every block is one difference.
    std::vector<double> energy(static_cast<size_t>(frames) + 1, 0.0);
    for (int c = 0; c < audio.channels; c++) {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0, z1 = 0, z2 = 0;
        double sum = 0;
        for (int f = 0; f < frames; f++) {
            const double x = audio.samples[static_cast<size_t>(f) * audio.channels + c] / 32768.0;
            const double y = shelf.b0 * x + shelf.b1 * x1 + shelf.b2 * x2 - shelf.a1 * y1 - shelf.a2 * y2;
            x2 = x1, x1 = x;
            const double z = high_pass.b0 * y + high_pass.b1 * y1 + high_pass.b2 * y2 - high_pass.a1 * z1 - high_pass.a2 * z2;
            y2 = y1, y1 = y;
            z2 = z1, z1 = z;
            sum += z * z;
            energy[static_cast<size_t>(f) + 1] += sum;
        }
    }
    const int block = std::min(frames, std::max(1, audio.sample_rate * block_ms / 1000));
    const int hop = std::max(1, block / 4);
    std::vector<double> powers;
    for (int start = 0; start + block <= frames; start += hop) {
        const double power = (energy[static_cast<size_t>(start + block)] - energy[static_cast<size_t>(start)]) / block;
        if (power > 0 && block_lufs(power) > -70.0) powers.push_back(power);
    }
    if (powers.empty()) return kSilentLufs;
    double mean = 0;
    for (double p : powers) mean += p;
    mean /= static_cast<double>(powers.size());
    const double relative_gate = block_lufs(mean) - 10.0;
    double gated = 0;
    int count = 0;
    for (double p : powers) {
        if (block_lufs(p) <= relative_gate) continue;
        gated += p;
        count++;
    }
    return count ? block_lufs(gated / count) : kSilentLufs;
}

void apply_gain(PcmAudio *audio, double gain) {
    for (int16_t &s : audio->samples) s = clamp16(s * gain);
}

int peak_sample(const std::vector<int16_t> &samples) {
    int peak = 0;
    for (int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}

namespace {

// Scales samples so no magnitude passes ceiling: each sample's own allowed gain, the least of it
// over the limiter's reach on either side, averaged over half that reach. Every gain in the average
// is at most the centre sample's own, so the result never passes the ceiling.
void limit_peaks(std::vector<double> *samples, int channels, int sample_rate, double ceiling) {
    const int frames = static_cast<int>(samples->size()) / channels;
    const int reach = std::max(1, sample_rate * kLimiterReachMs / 1000);
    std::vector<double> allowed(static_cast<size_t>(frames), 1.0);
    bool any = false;
    for (int f = 0; f < frames; f++) {
        for (int c = 0; c < channels; c++) {
            const double magnitude = std::fabs((*samples)[static_cast<size_t>(f) * channels + c]);
            if (magnitude > ceiling) {
                allowed[f] = std::min(allowed[f], ceiling / magnitude);
                any = true;
            }
        }
    }
    if (!any) return;
    // The least allowed gain within reach of each frame (a sliding minimum), then its running mean.
    std::vector<double> least(static_cast<size_t>(frames));
    std::deque<int> window;  // frames whose allowed gain rises from front to back
    for (int f = 0, next = 0; f < frames; f++) {
        for (; next < frames && next <= f + reach; next++) {
            while (!window.empty() && allowed[window.back()] >= allowed[next]) window.pop_back();
            window.push_back(next);
        }
        while (window.front() < f - reach) window.pop_front();
        least[f] = allowed[window.front()];
    }
    const int half = std::max(1, reach / 2);
    double sum = 0;
    for (int k = -half; k <= half; k++) sum += k >= 0 && k < frames ? least[k] : 1.0;
    const int count = 2 * half + 1;
    for (int f = 0; f < frames; f++) {
        const double gain = std::min(sum / count, allowed[f]);
        for (int c = 0; c < channels; c++) (*samples)[static_cast<size_t>(f) * channels + c] *= gain;
        const int leaving = f - half, entering = f + half + 1;
        sum += (entering < frames ? least[entering] : 1.0) - (leaving >= 0 ? least[leaving] : 1.0);
    }
}

void round_into(const std::vector<double> &samples, PcmAudio *audio) {
    for (size_t i = 0; i < samples.size(); i++) audio->samples[i] = clamp16(samples[i]);
}

}  // namespace

void level_unit(PcmAudio *audio, double target_lufs, int ceiling) {
    double loudness = gated_loudness(*audio, kUnitLoudnessBlockMs);
    if (loudness <= kSilentLufs) return;
    std::vector<double> samples(audio->samples.begin(), audio->samples.end());
    // Limiting takes some loudness away; it is made up for, twice at most.
    for (int pass = 0; pass < 3 && std::fabs(loudness - target_lufs) > 0.1; pass++) {
        const double gain = std::pow(10.0, (target_lufs - loudness) / 20);
        for (double &s : samples) s *= gain;
        limit_peaks(&samples, audio->channels, audio->sample_rate, ceiling);
        round_into(samples, audio);
        loudness = gated_loudness(*audio, kUnitLoudnessBlockMs);
    }
}

double audio_ms(const PcmAudio &audio) {
    return audio.sample_rate > 0 ? 1000.0 * audio.frames() / audio.sample_rate : 0;
}

// Take checks and cutting: frame features, alignment with espeak-ng, join refinement, confidence.
#include "tools/take_cutter.h"

#include "tools/espeak_source.h"
#include "tools/voice_builder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kWindow = 400;  // 25 ms
constexpr int kFftSize = 512;
constexpr int kMelBands = 26;
constexpr int kCepstra = 13;  // c0..c12
constexpr double kFullScale = 32768.0;

constexpr int kClipRun = 3;           // samples in a row at full scale
constexpr int kClipLimit = 8;         // clipped samples a take may hold
constexpr double kClipLevel = 32700;  // |sample| that counts as full scale
constexpr double kQuietDb = -42;      // loud part under this: too quiet
constexpr double kMinSnrDb = 22;      // loud part over noise at least this

const EspeakPhraseStyle kReferenceStyle{"vi", 160, 50};

constexpr double kGateRoomShare = 0.95;     // the room level of all but the noisiest 5% of takes
constexpr double kGateOverRoomDb = 6;
constexpr double kGateUnderSpeechDb = 30;   // the gate never comes nearer the speech than this
constexpr int kGateWindowMs = 5;
constexpr int kGateHoldMs = 40;
constexpr int kUnitMarginMs = 60;  // kept before the first word and after the last
constexpr int kUnitFadeMs = 4;
constexpr int kReferencePauseMs = 300;  // between words said alone

using Cepstrum = std::array<double, kCepstra>;

struct Features {
    std::vector<double> energy_db;  // per frame, dB of full scale
    std::vector<Cepstrum> cepstra;
    int frames() const { return static_cast<int>(energy_db.size()); }
};

// Features above 7 kHz are not used: a short filter will do.
PcmAudio analysis_audio(const PcmAudio &audio) { return resample(mix_channels(audio, 1), kAnalysisRate, 6); }

// In-place radix-2 FFT of kFftSize points (re, im), with the twiddles worked out once.
void fft(double *re, double *im) {
    static const std::vector<std::pair<double, double>> twiddles = [] {
        std::vector<std::pair<double, double>> t(kFftSize / 2);
        for (int k = 0; k < kFftSize / 2; k++) t[k] = {std::cos(2 * kPi * k / kFftSize), -std::sin(2 * kPi * k / kFftSize)};
        return t;
    }();
    for (int i = 1, j = 0; i < kFftSize; i++) {
        int bit = kFftSize >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(re[i], re[j]), std::swap(im[i], im[j]);
    }
    for (int length = 2; length <= kFftSize; length <<= 1) {
        const int half = length / 2, stride = kFftSize / length;
        const std::pair<double, double> *w = twiddles.data();
        for (int i = 0; i < kFftSize; i += length) {
            for (int k = 0; k < half; k++) {
                const double wr = w[k * stride].first, wi = w[k * stride].second;
                const int a = i + k, b = i + k + half;
                const double vr = re[b] * wr - im[b] * wi, vi = re[b] * wi + im[b] * wr;
                re[b] = re[a] - vr, im[b] = im[a] - vi;
                re[a] += vr, im[a] += vi;
            }
        }
    }
}

struct MelBank {
    std::vector<std::vector<std::pair<int, double>>> bands;  // (bin, weight)
    double dct[kCepstra][kMelBands];
    std::vector<double> window;
    MelBank() : window(kWindow) {
        for (int i = 0; i < kWindow; i++) window[i] = 0.5 - 0.5 * std::cos(2 * kPi * i / (kWindow - 1));
        for (int k = 0; k < kCepstra; k++)
            for (int b = 0; b < kMelBands; b++) dct[k][b] = std::cos(kPi * k * (b + 0.5) / kMelBands);
        auto mel = [](double hz) { return 2595 * std::log10(1 + hz / 700); };
        auto hz = [](double m) { return 700 * (std::pow(10.0, m / 2595) - 1); };
        const double low = mel(100), high = mel(7000);
        std::vector<double> centres;
        for (int b = 0; b < kMelBands + 2; b++) centres.push_back(hz(low + (high - low) * b / (kMelBands + 1)));
        bands.resize(kMelBands);
        for (int b = 0; b < kMelBands; b++) {
            for (int bin = 1; bin < kFftSize / 2; bin++) {
                const double f = static_cast<double>(bin) * kAnalysisRate / kFftSize;
                double w = 0;
                if (f > centres[b] && f <= centres[b + 1]) w = (f - centres[b]) / (centres[b + 1] - centres[b]);
                if (f > centres[b + 1] && f < centres[b + 2]) w = (centres[b + 2] - f) / (centres[b + 2] - centres[b + 1]);
                if (w > 0) bands[b].emplace_back(bin, w);
            }
        }
    }
};

Features analyse(const PcmAudio &audio16k) {
    static const MelBank bank;
    Features features;
    const std::vector<int16_t> &x = audio16k.samples;
    const int count = static_cast<int>(x.size());
    const std::vector<double> &window = bank.window;
    std::vector<double> re(kFftSize), im(kFftSize);
    for (int centre = 0; centre < count; centre += kAnalysisHop) {
        double power = 0;
        std::fill(re.begin(), re.end(), 0.0);
        std::fill(im.begin(), im.end(), 0.0);
        for (int i = 0; i < kWindow; i++) {
            const int at = centre - kWindow / 2 + i;
            const double v = at >= 0 && at < count ? x[at] / kFullScale : 0;
            power += v * v;
            re[i] = v * window[i];
        }
        features.energy_db.push_back(10 * std::log10(power / kWindow + 1e-12));
        fft(re.data(), im.data());
        std::array<double, kMelBands> log_mel;
        for (int b = 0; b < kMelBands; b++) {
            double sum = 0;
            for (const auto &entry : bank.bands[b])
                sum += entry.second * (re[entry.first] * re[entry.first] + im[entry.first] * im[entry.first]);
            log_mel[b] = std::log(sum + 1e-9);
        }
        Cepstrum c;
        for (int k = 0; k < kCepstra; k++) {
            double sum = 0;
            for (int b = 0; b < kMelBands; b++) sum += log_mel[b] * bank.dct[k][b];
            c[k] = sum;
        }
        features.cepstra.push_back(c);
    }
    return features;
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return -120;
    const size_t k = std::min(values.size() - 1, static_cast<size_t>(fraction * (values.size() - 1)));
    std::nth_element(values.begin(), values.begin() + static_cast<long>(k), values.end());
    return values[k];
}

struct SpeechSpan {
    int first = 0, last = -1;  // frames
    double speech_db = -120, noise_db = -120, threshold = 0;
};

// Frames of speech: from the first to the last run of three frames over a threshold between the
// noise floor and the loud part.
SpeechSpan find_speech(const Features &f) {
    SpeechSpan span;
    span.noise_db = percentile(f.energy_db, 0.1);
    span.speech_db = percentile(f.energy_db, 0.95);
    // Over the noise, but never so high that soft sounds of the words fall under it (a take that
    // holds little silence has its "noise" among the words).
    span.threshold = std::max(span.noise_db + 6, std::min(std::max(span.noise_db + 10, span.speech_db - 40), span.speech_db - 25));
    const int n = f.frames();
    auto loud = [&](int i) { return i >= 0 && i < n && f.energy_db[i] > span.threshold; };
    for (int i = 0; i + 2 < n; i++) {
        if (loud(i) && loud(i + 1) && loud(i + 2)) {
            span.first = i;
            break;
        }
    }
    for (int i = n - 1; i >= 2; i--) {
        if (loud(i) && loud(i - 1) && loud(i - 2)) {
            span.last = i;
            break;
        }
    }
    if (span.last < span.first) span.last = -1;
    return span;
}

// Cepstra c1..c12 less their mean over the span, and the energy against the loud part, for the
// alignment: both voices then differ less in level and timbre.
std::vector<std::vector<double>> alignment_features(const Features &f, const SpeechSpan &span) {
    Cepstrum mean{};
    const int count = span.last - span.first + 1;
    for (int i = span.first; i <= span.last; i++)
        for (int k = 1; k < kCepstra; k++) mean[k] += f.cepstra[i][k] / count;
    std::vector<std::vector<double>> out;
    for (int i = span.first; i <= span.last; i++) {
        std::vector<double> v;
        for (int k = 1; k < kCepstra; k++) v.push_back(f.cepstra[i][k] - mean[k]);
        v.push_back(std::max(-40.0, f.energy_db[i] - span.speech_db) / 4);
        out.push_back(v);
    }
    return out;
}

double distance(const std::vector<double> &a, const std::vector<double> &b) {
    double sum = 0;
    for (size_t k = 0; k < a.size(); k++) sum += (a[k] - b[k]) * (a[k] - b[k]);
    return std::sqrt(sum);
}

// For each reference frame, the mean take frame aligned with it: DTW with both ends tied, steps
// that keep the local tempo within half to twice the reference's, in a band around the diagonal.
std::vector<double> align(const std::vector<std::vector<double>> &take, const std::vector<std::vector<double>> &ref,
                          bool tempo_limited = true) {
    const int n = static_cast<int>(take.size()), m = static_cast<int>(ref.size());
    const double inf = std::numeric_limits<double>::infinity();
    const int band = std::max(12, std::max(n, m) / 4 + std::abs(n - m));
    std::vector<double> d(static_cast<size_t>(n) * m, inf), cost(static_cast<size_t>(n) * m, inf);
    std::vector<unsigned char> step(static_cast<size_t>(n) * m, 0);
    auto at = [m](int i, int j) { return static_cast<size_t>(i) * m + j; };
    auto in_band = [&](int i, int j) { return std::abs(i * (m - 1) - j * (n - 1)) <= band * std::max(n - 1, m - 1); };
    for (int i = 0; i < n; i++)
        for (int j = 0; j < m; j++)
            if (in_band(i, j)) d[at(i, j)] = distance(take[i], ref[j]);
    cost[0] = d[0];
    for (int i = 0; i < n; i++) {
        for (int j = 0; j < m; j++) {
            if ((i == 0 && j == 0) || d[at(i, j)] == inf) continue;
            double best = inf;
            unsigned char from = 0;
            if (i > 0 && j > 0 && cost[at(i - 1, j - 1)] + 2 * d[at(i, j)] < best)
                best = cost[at(i - 1, j - 1)] + 2 * d[at(i, j)], from = 1;
            if (i > 1 && j > 0 && cost[at(i - 2, j - 1)] + 2 * d[at(i - 1, j)] + d[at(i, j)] < best)
                best = cost[at(i - 2, j - 1)] + 2 * d[at(i - 1, j)] + d[at(i, j)], from = 2;
            if (i > 0 && j > 1 && cost[at(i - 1, j - 2)] + 2 * d[at(i, j - 1)] + d[at(i, j)] < best)
                best = cost[at(i - 1, j - 2)] + 2 * d[at(i, j - 1)] + d[at(i, j)], from = 3;
            if (!tempo_limited && i > 0 && cost[at(i - 1, j)] + d[at(i, j)] < best) best = cost[at(i - 1, j)] + d[at(i, j)], from = 4;
            if (!tempo_limited && j > 0 && cost[at(i, j - 1)] + d[at(i, j)] < best) best = cost[at(i, j - 1)] + d[at(i, j)], from = 5;
            cost[at(i, j)] = best;
            step[at(i, j)] = from;
        }
    }
    // Takes more than twice as fast or slow as the reference: any tempo.
    if (tempo_limited && cost[at(n - 1, m - 1)] == inf) return align(take, ref, false);
    std::vector<double> sum(m, 0), hits(m, 0);
    auto visit = [&](int i, int j) {
        sum[j] += i;
        hits[j] += 1;
    };
    for (int i = n - 1, j = m - 1;;) {
        visit(i, j);
        const unsigned char from = step[at(i, j)];
        if (from == 0) break;
        if (from == 1) {
            i--, j--;
        } else if (from == 2) {
            visit(i - 1, j);
            i -= 2, j--;
        } else if (from == 3) {
            visit(i, j - 1);
            i--, j -= 2;
        } else if (from == 4) {
            i--;
        } else {
            j--;
        }
    }
    std::vector<double> mapped(m);
    for (int j = 0; j < m; j++) mapped[j] = hits[j] > 0 ? sum[j] / hits[j] : (j > 0 ? mapped[j - 1] : 0);
    return mapped;
}

std::vector<double> smoothed(const std::vector<double> &v, int radius) {
    std::vector<double> out(v.size());
    const int n = static_cast<int>(v.size());
    for (int i = 0; i < n; i++) {
        double sum = 0;
        int count = 0;
        for (int k = std::max(0, i - radius); k <= std::min(n - 1, i + radius); k++) sum += v[k], count++;
        out[i] = sum / count;
    }
    return out;
}

// Vowel nuclei: peaks of the smoothed energy that stand out from the dips on both sides.
int count_nuclei(const std::vector<double> &energy, const SpeechSpan &span, double prominence_db) {
    int nuclei = 0;
    double last_dip = span.threshold, peak = -1e9;
    bool rising = true;
    for (int i = span.first; i <= span.last; i++) {
        const double e = energy[i];
        if (rising) {
            if (e > peak) peak = e;
            if (peak - e >= prominence_db && peak - last_dip >= prominence_db) {
                nuclei++;
                rising = false;
                last_dip = e;
            }
        } else {
            if (e < last_dip) last_dip = e;
            if (e - last_dip >= prominence_db) {
                rising = true;
                peak = e;
            }
        }
    }
    if (rising && peak - last_dip >= prominence_db) nuclei++;  // the last peak, falling into the end
    return nuclei;
}

// How much each frame looks like a join: how far the energy dips below the loudest frames on both
// sides (dB), and how much the spectrum before differs from the spectrum after.
struct JoinCues {
    std::vector<double> dip_db;  // under the softer of the loudest frames either side
    std::vector<double> depth;   // the dip against the way down to a gap between words: 0..1
    std::vector<double> change;  // spectral change, 1 = the take's median
};

constexpr double kGapShare = 0.3;  // of the way from the noise up to the speech

JoinCues join_cues(const Features &f, const SpeechSpan &span) {
    const std::vector<double> &energy = f.energy_db;
    const int n = f.frames();
    JoinCues cues;
    cues.dip_db.assign(n, 0);
    cues.depth.assign(n, 0);
    cues.change.assign(n, 0);
    // A gap between words lies close to the room's noise, whatever the level of the speech.
    const double gap_level = span.noise_db + std::max(6.0, kGapShare * (span.speech_db - span.noise_db));
    constexpr int kReach = 25;  // frames either side to find the neighbouring nuclei
    constexpr int kSide = 3;    // frames averaged either side for the spectral change
    for (int i = span.first; i <= span.last; i++) {
        double left = -1e9, right = -1e9;
        for (int k = std::max(span.first, i - kReach); k <= i; k++) left = std::max(left, energy[k]);
        for (int k = i; k <= std::min(span.last, i + kReach); k++) right = std::max(right, energy[k]);
        const double nucleus = std::min(left, right);
        cues.dip_db[i] = std::max(0.0, nucleus - energy[i]);
        cues.depth[i] = std::min(1.0, cues.dip_db[i] / std::max(6.0, nucleus - gap_level));
        Cepstrum before{}, after{};
        for (int k = 1; k <= kSide; k++) {
            const int b = std::max(0, i - k), a = std::min(n - 1, i + k);
            for (int c = 1; c < kCepstra; c++) before[c] += f.cepstra[b][c] / kSide, after[c] += f.cepstra[a][c] / kSide;
        }
        double sum = 0;
        for (int c = 1; c < kCepstra; c++) sum += (before[c] - after[c]) * (before[c] - after[c]);
        cues.change[i] = std::sqrt(sum);
    }
    std::vector<double> inside(cues.change.begin() + span.first, cues.change.begin() + span.last + 1);
    const double median = std::max(1e-6, percentile(inside, 0.5));
    for (double &c : cues.change) c /= median;
    return cues;
}

constexpr int kSearch = 15;        // frames either side of the aligned place
constexpr double kSpread = 6.0;    // frames: how far the alignment is trusted
constexpr int kGapSearch = 25;     // the same where a gap is expected
constexpr double kGapSpread = 10.0;
constexpr int kMinWord = 5;        // frames: the shortest word
constexpr int kMinPause = 12;      // frames: a pause between words said alone
constexpr double kNucleusProminenceDb = 6;
// A word this much longer or shorter than the reference's, at the take's tempo, is one too many
// or too few; one a little long is one too many where an extra nucleus was heard.
constexpr double kLongestWord = 1.5;
constexpr double kShortestWord = 0.5;
constexpr double kLongWord = 1.3;
const char kBrokenTones[] = "?~.";  // hỏi, ngã, nặng: a break or a creak may split the vowel

constexpr double kFullDepth = 0.75;  // of the way down to a gap: as good as a gap

// How much a frame looks like a join: a dip down to a gap, or else a change of spectrum. Inside
// a gap the change only marks its edges, so it counts less the deeper the dip; where in a gap the
// join lies is left to the alignment.
double join_cue(const JoinCues &cues, int i, bool gap_only) {
    const double depth = std::min(1.0, cues.depth[i] / kFullDepth);
    return 2.5 * depth + (gap_only ? 0 : 0.5 * cues.change[i] * (1 - depth));
}

// Stretches of speech parted by pauses of at least min_pause frames.
int count_islands(const std::vector<double> &energy, const SpeechSpan &span, int min_pause) {
    int islands = 0, quiet = min_pause;
    for (int i = span.first; i <= span.last; i++) {
        if (energy[i] > span.threshold) {
            if (quiet >= min_pause) islands++;
            quiet = 0;
        } else {
            quiet++;
        }
    }
    return islands;
}

// The reference: espeak-ng's rendering of the prompt and where its words join, in frames.
int render_reference(const Prompt &prompt, const EspeakPhraseStyle &style, Features *features, std::vector<double> *joins,
                     std::string *error) {
    if (espeak_source_start(kEspeakVariants[0], error) < 0) return -1;
    PcmAudio audio;
    joins->clear();
    if (prompt.kind == PromptKind::Run) {
        std::string phrase;
        for (const PromptWord &word : prompt.words) phrase += (phrase.empty() ? "" : " ") + ascii_to_vietnamese(word.syllable);
        std::vector<EspeakWordTiming> timing;
        if (espeak_speak_phrase(phrase, style, &audio, &timing, error) != 0) return -1;
        if (timing.size() != prompt.words.size()) {
            *error = "espeak-ng heard " + std::to_string(timing.size()) + " words in \"" + phrase + "\"";
            return -1;
        }
        const double ratio = static_cast<double>(kAnalysisRate) / audio.sample_rate / kAnalysisHop;
        for (size_t i = 1; i < timing.size(); i++) joins->push_back(timing[i].start * ratio);
    } else {
        for (const PromptWord &word : prompt.words) {
            PcmAudio spoken;
            std::vector<EspeakWordTiming> timing;
            if (espeak_speak_phrase(ascii_to_vietnamese(word.syllable), style, &spoken, &timing, error) != 0) return -1;
            if (!audio.samples.empty()) {
                const size_t pause = static_cast<size_t>(spoken.sample_rate) * kReferencePauseMs / 1000;
                const double middle = static_cast<double>(audio.samples.size()) + pause / 2.0;
                joins->push_back(middle * kAnalysisRate / spoken.sample_rate / kAnalysisHop);
                audio.samples.insert(audio.samples.end(), pause, 0);
            }
            audio.sample_rate = spoken.sample_rate;
            audio.channels = 1;
            audio.samples.insert(audio.samples.end(), spoken.samples.begin(), spoken.samples.end());
        }
    }
    // espeak-ng's sound starts at once: silence either side, as a take has.
    const size_t pad = static_cast<size_t>(audio.sample_rate) * kReferencePauseMs / 1000;
    audio.samples.insert(audio.samples.begin(), pad, 0);
    audio.samples.insert(audio.samples.end(), pad, 0);
    const double pad_frames = static_cast<double>(pad) * kAnalysisRate / audio.sample_rate / kAnalysisHop;
    for (double &join : *joins) join += pad_frames;
    *features = analyse(analysis_audio(audio));
    return 0;
}

// The take aligned with espeak-ng's rendering of its prompt.
struct Alignment {
    std::vector<double> joins;       // take frames where the prompt's words join
    std::vector<double> word_frames;  // frames each word lasts in the reference, at the take's tempo
};

int align_with_reference(const Features &f, const SpeechSpan &span, const Prompt &prompt, Alignment *alignment,
                         std::string *error) {
    EspeakPhraseStyle style = kReferenceStyle;
    Features ref;
    std::vector<double> ref_joins;
    if (render_reference(prompt, style, &ref, &ref_joins, error) != 0) return -1;
    SpeechSpan ref_span = find_speech(ref);
    // The reference again at the take's tempo, when it is much faster or slower.
    const double tempo = static_cast<double>(span.last - span.first + 1) / std::max(1, ref_span.last - ref_span.first + 1);
    if (ref_span.last > ref_span.first && (tempo < 0.85 || tempo > 1.15)) {
        style.words_per_minute = std::max(80, std::min(450, static_cast<int>(std::lround(style.words_per_minute / tempo))));
        if (render_reference(prompt, style, &ref, &ref_joins, error) != 0) return -1;
        ref_span = find_speech(ref);
    }
    if (ref_span.last <= ref_span.first) {
        *error = "espeak-ng said nothing for the prompt";
        return -1;
    }
    *alignment = Alignment();
    const std::vector<double> mapped =
        align(alignment_features(f, span), alignment_features(ref, ref_span));
    for (double ref_join : ref_joins) {
        const int j = std::max(0, std::min(static_cast<int>(mapped.size()) - 1, static_cast<int>(std::lround(ref_join)) - ref_span.first));
        alignment->joins.push_back(span.first + mapped[j]);
    }
    const double take_tempo = static_cast<double>(span.last - span.first + 1) / (ref_span.last - ref_span.first + 1);
    double start = ref_span.first;
    for (size_t k = 0; k <= ref_joins.size(); k++) {
        const double end = k < ref_joins.size() ? ref_joins[k] : ref_span.last + 1;
        alignment->word_frames.push_back(std::max(1.0, (end - start) * take_tempo));
        start = end;
    }
    return 0;
}

}  // namespace

TakeLevels measure_take(const PcmAudio &take) {
    TakeLevels levels;
    const PcmAudio mono = mix_channels(take, 1);
    int run = 0;
    for (int16_t s : mono.samples) {
        if (std::abs(static_cast<int>(s)) >= kClipLevel) {
            if (++run == kClipRun) levels.clipped_samples += kClipRun;
            else if (run > kClipRun) levels.clipped_samples++;
        } else {
            run = 0;
        }
    }
    const Features f = analyse(analysis_audio(take));
    const SpeechSpan span = find_speech(f);
    levels.noise_db = span.noise_db;
    levels.speech_db = span.speech_db;
    const double per_frame = static_cast<double>(take.sample_rate) * kAnalysisHop / kAnalysisRate;
    if (span.last >= span.first) {
        levels.speech_start = static_cast<int>(span.first * per_frame);
        levels.speech_end = std::min(take.frames(), static_cast<int>((span.last + 1) * per_frame));
    }
    return levels;
}

std::vector<std::string> level_problems(const TakeLevels &levels) {
    std::vector<std::string> problems;
    if (levels.clipped_samples > kClipLimit) problems.push_back("clipped: speak softer or lower the input level");
    if (levels.speech_db < kQuietDb) {
        problems.push_back("too quiet: come closer to the microphone or raise the input level");
    } else if (levels.speech_db - levels.noise_db < kMinSnrDb) {
        problems.push_back("too much noise: " + std::to_string(static_cast<int>(levels.speech_db - levels.noise_db)) +
                           " dB between speech and room, " + std::to_string(static_cast<int>(kMinSnrDb)) + " needed");
    }
    return problems;
}

double take_gain_db(const PcmAudio &take, const TakeLevels &levels) {
    int peak = 1;
    for (int16_t s : take.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    const double ceiling = 20 * std::log10(kTakePeakCeiling / peak);
    return std::min(kTakeTargetDb - levels.speech_db, ceiling);
}

void apply_gain_db(PcmAudio *audio, double gain_db) { apply_gain(audio, std::pow(10.0, gain_db / 20)); }

double shared_gate_db(const std::vector<double> &room_db_after_gain) {
    if (room_db_after_gain.empty()) return -120;
    std::vector<double> rooms = room_db_after_gain;
    std::sort(rooms.begin(), rooms.end());
    const double noisiest = rooms[static_cast<size_t>(std::ceil(kGateRoomShare * (rooms.size() - 1)))];
    return std::min(noisiest + kGateOverRoomDb, kTakeTargetDb - kGateUnderSpeechDb);
}

void apply_noise_gate(PcmAudio *audio, double gate_db) {
    const int window = std::max(1, audio->sample_rate * kGateWindowMs / 1000);
    const int frames = audio->frames(), channels = std::max(1, audio->channels);
    const int windows = (frames + window - 1) / window;
    const double threshold = kFullScale * std::pow(10.0, gate_db / 20);
    std::vector<bool> open(windows, false);
    for (int w = 0; w < windows; w++) {
        double sum = 0;
        const int from = w * window, to = std::min(frames, from + window);
        for (size_t i = static_cast<size_t>(from) * channels; i < static_cast<size_t>(to) * channels; i++)
            sum += static_cast<double>(audio->samples[i]) * audio->samples[i];
        open[w] = std::sqrt(sum / ((to - from) * channels)) >= threshold;
    }
    // Held open a while around sound, so that soft onsets and decays stay whole.
    const int hold = kGateHoldMs / kGateWindowMs;
    std::vector<double> target(windows, 0);
    for (int w = 0; w < windows; w++)
        for (int k = std::max(0, w - hold); k <= std::min(windows - 1, w + hold); k++)
            if (open[k]) target[w] = 1;
    // One window's ramp between open and closed.
    double gain = target.empty() ? 1 : target[0];
    const double step = 1.0 / window;
    for (int f = 0; f < frames; f++) {
        const double want = target[f / window];
        gain = want > gain ? std::min(want, gain + step) : std::max(want, gain - step);
        for (int c = 0; c < channels; c++) {
            int16_t &s = audio->samples[static_cast<size_t>(f) * channels + c];
            s = static_cast<int16_t>(std::lround(s * gain));
        }
    }
}

int write_take_units(const PcmAudio &take, const Prompt &prompt, const TakeCut &cut, const std::string &dir,
                     std::vector<std::string> *left_out, std::string *error) {
    const int words = static_cast<int>(prompt.words.size());
    if (static_cast<int>(cut.edges.size()) != words + 1) return 0;
    const int margin = take.sample_rate * kUnitMarginMs / 1000;
    const int fade = std::max(1, take.sample_rate * kUnitFadeMs / 1000);
    const size_t channels = static_cast<size_t>(std::max(1, take.channels));
    int written = 0;
    for (int k = 0; k < words; k++) {
        const PromptWord &word = prompt.words[k];
        if (word.units.empty()) continue;
        const bool trusted = (k == 0 || cut.confidence[k - 1] >= kCutConfidenceThreshold) &&
                             (k == words - 1 || cut.confidence[k] >= kCutConfidenceThreshold);
        if (!trusted) {
            left_out->insert(left_out->end(), word.units.begin(), word.units.end());
            continue;
        }
        // The first and last words keep some room either side; the builder trims silence.
        const int start = k == 0 ? std::max(0, cut.edges[0] - margin) : cut.edges[k];
        const int end = k == words - 1 ? std::min(take.frames(), cut.edges[words] + margin) : cut.edges[k + 1];
        if (end <= start || end > take.frames()) continue;
        PcmAudio unit;
        unit.sample_rate = take.sample_rate;
        unit.channels = take.channels;
        unit.samples.assign(take.samples.begin() + static_cast<long>(start * channels),
                            take.samples.begin() + static_cast<long>(end * channels));
        const int length = end - start;
        for (int f = 0; f < std::min(fade, length); f++) {
            const double in = static_cast<double>(f) / fade;
            for (size_t c = 0; c < channels; c++) {
                int16_t &head = unit.samples[f * channels + c];
                int16_t &tail = unit.samples[(length - 1 - f) * channels + c];
                head = static_cast<int16_t>(std::lround(head * in));
                tail = static_cast<int16_t>(std::lround(tail * in));
            }
        }
        for (const std::string &name : word.units) {
            const std::string syllable = name.substr(0, name.size() - 2);
            const std::string path = dir + "/" + recording_file_name(syllable, name.back() - '0');
            if (write_wav(path, unit, error) != 0) return -1;
            written++;
        }
    }
    return written;
}

int cut_take(const PcmAudio &take, const Prompt &prompt, TakeCut *cut, std::string *error) {
    *cut = TakeCut();
    const int words = static_cast<int>(prompt.words.size());
    const Features f = analyse(analysis_audio(take));
    const SpeechSpan span = find_speech(f);
    if (span.last < span.first + 5 * words) {
        cut->problems.push_back("no speech");
        return 0;
    }
    // Words said alone are the stretches between pauses; in a run, each word has a vowel nucleus,
    // and one with a broken tone may show two.
    int broken_tones = 0;
    for (const PromptWord &word : prompt.words) broken_tones += word.syllable.find_first_of(kBrokenTones) != std::string::npos;
    if (prompt.kind == PromptKind::Alone) {
        cut->syllables_heard = count_islands(f.energy_db, span, kMinPause);
        broken_tones = 0;
    } else {
        cut->syllables_heard = count_nuclei(smoothed(f.energy_db, 2), span, kNucleusProminenceDb);
    }

    Alignment alignment;
    if (align_with_reference(f, span, prompt, &alignment, error) != 0) return -1;
    const double per_frame = static_cast<double>(take.sample_rate) * kAnalysisHop / kAnalysisRate;
    const JoinCues cues = join_cues(f, span);
    int previous = span.first;
    const size_t joins = alignment.joins.size();
    cut->edges.push_back(static_cast<int>(span.first * per_frame));
    for (size_t k = 0; k < joins; k++) {
        const double estimate = alignment.joins[k];
        // Words said alone part at a pause, and a stop or a voiceless consonant makes a gap: there
        // the join is looked for in a dip further from the aligned place, and only a dip counts.
        const bool gap = prompt.kind == PromptKind::Alone ||
                         join_difficulty(prompt.words[k].syllable, prompt.words[k + 1].syllable) == 0;
        const int search = gap ? kGapSearch : kSearch;
        const double spread = gap ? kGapSpread : kSpread;
        const int remaining = static_cast<int>(joins - k);
        const int low = std::max(previous + kMinWord, static_cast<int>(estimate) - search);
        const int high = std::min(span.last - remaining * kMinWord + 1, static_cast<int>(estimate) + search);
        auto cue = [&](int i) { return join_cue(cues, i, gap); };
        int best = std::max(low, std::min(high, static_cast<int>(std::lround(estimate))));
        double best_score = -1e9;
        for (int i = low; i <= high; i++) {
            const double off = (i - estimate) / spread;
            const double score = cue(i) - 0.5 * off * off;
            if (score > best_score) best_score = score, best = i;
        }
        const double off = (best - estimate) / spread;
        const double agreement = std::exp(-0.5 * off * off);
        const double strength = std::min(1.0, cue(best) / 2);
        cut->edges.push_back(static_cast<int>(best * per_frame));
        cut->confidence.push_back(0.5 * agreement + 0.5 * strength);
        previous = best;
    }
    cut->edges.push_back(std::min(take.frames(), static_cast<int>((span.last + 1) * per_frame)));
    // Each word's length against the reference's at the take's tempo.
    double shortest = 1e9, longest = 0;
    for (size_t k = 0; k + 1 < cut->edges.size(); k++) {
        const double ratio = (cut->edges[k + 1] - cut->edges[k]) / per_frame / alignment.word_frames[k];
        shortest = std::min(shortest, ratio);
        longest = std::max(longest, ratio);
    }
    // A missing or an extra word also stretches or squeezes the words around it against the
    // reference.
    const int heard = cut->syllables_heard;
    const bool stretched = longest >= kLongestWord || shortest <= kShortestWord;
    const bool wrong_count = heard < words || heard > words + broken_tones || stretched ||
                             (heard > words && longest >= kLongWord);
    if (wrong_count) {
        std::string problem = "heard " + std::to_string(heard) + " syllables, the prompt has " + std::to_string(words);
        if (stretched) problem += ", and the words do not last as the prompt's do: one missing or one too many?";
        cut->problems.push_back(problem);
    }
    return 0;
}

std::vector<std::string> weak_joins(const TakeCut &cut) {
    std::vector<std::string> weak;
    for (size_t i = 0; i < cut.confidence.size(); i++) {
        if (cut.confidence[i] >= kCutConfidenceThreshold) continue;
        char text[48];
        std::snprintf(text, sizeof text, "join %zu (%.2f)", i + 1, cut.confidence[i]);
        weak.push_back(text);
    }
    return weak;
}

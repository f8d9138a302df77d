// Audio steps of the voice builder: WAV files in and out, channel mixing, resampling, trimming
// silence and levelling, all on interleaved 16-bit samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PcmAudio {
    int sample_rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;  // interleaved

    int frames() const { return channels > 0 ? static_cast<int>(samples.size() / channels) : 0; }
};

// Reads a RIFF/WAVE file of integer PCM (8, 16, 24 or 32 bits) or 32-bit float, any channel
// count, as 16-bit samples. Returns 0, or -1 with a reason in *error.
int read_wav(const std::string &path, PcmAudio *audio, std::string *error);
// Writes 16-bit PCM as a WAV file. 0, or -1 with a reason in *error.
int write_wav(const std::string &path, const PcmAudio &audio, std::string *error);

// Mixes to one or two channels: channels are averaged into mono; mono is doubled into stereo.
PcmAudio mix_channels(const PcmAudio &audio, int channels);
// Windowed-sinc resampling to sample_rate (band-limited when going down); fewer zero crossings
// make a shorter, cheaper filter with a wider transition band.
PcmAudio resample(const PcmAudio &audio, int sample_rate, int zero_crossings = 16);

// Leading and trailing silence: the audio from the first to the last 5 ms window that stands out
// of the unit's own noise floor (the level of its quietest windows), widened by keep_ms on each
// side. The weak release of a final stop, after its silent closure, is kept. Returns the frame
// count kept, 0 when everything is silent; *kept_from, when given, the first frame kept.
int trim_silence(PcmAudio *audio, int keep_ms, int *kept_from = nullptr);

// Loudness after ITU-R BS.1770: K-weighted mean square over blocks of block_ms (75 % overlap; the
// whole audio when shorter), gated at -70 LUFS and 10 LU under the ungated mean. LUFS, or
// kSilentLufs when nothing passes the gates. block_ms 400 gives the standard's integrated loudness.
constexpr double kSilentLufs = -200.0;
double gated_loudness(const PcmAudio &audio, int block_ms = 400);

// The loudness every unit is brought to, measured over 100 ms blocks, so that speech made of the
// units is as loud as espeak-ng speaking at volume 100.
constexpr int kUnitLoudnessBlockMs = 100;
constexpr double kUnitLoudnessLufs = -17.2;
// The highest sample a unit may have before encoding: the codec's peaks come out up to a third
// higher. And the highest the engine's decoder may make of it.
constexpr int kUnitPeakCeiling = 24000;
constexpr int kDecodedPeakCeiling = 32000;

// Brings a unit to target_lufs, holding its peaks under ceiling with a smooth gain (it never
// rises above the gain a sample allows, and changes over a few milliseconds, so the limiting
// itself makes no clicks). Silence is left as it is.
void level_unit(PcmAudio *audio, double target_lufs = kUnitLoudnessLufs, int ceiling = kUnitPeakCeiling);
// Multiplies every sample by gain, rounding and saturating.
void apply_gain(PcmAudio *audio, double gain);
// The largest sample magnitude.
int peak_sample(const std::vector<int16_t> &samples);

// Milliseconds of audio.
double audio_ms(const PcmAudio &audio);

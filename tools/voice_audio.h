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

// Leading and trailing silence: the audio from the first to the last 5 ms window whose level is
// within 40 dB of the loudest window, widened by keep_ms on each side. Returns the frame count
// kept, 0 when everything is silent.
int trim_silence(PcmAudio *audio, int keep_ms);
// Brings the level of the loud part to a common loudness, without letting peaks clip.
void normalize_level(PcmAudio *audio);

// Milliseconds of audio.
double audio_ms(const PcmAudio &audio);

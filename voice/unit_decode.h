// Decodes one unit's Ogg/Speex stream from memory into 16-bit PCM.
#pragma once

#include <speex/speex_stereo.h>

// What the Speex header of a stream says, as the decoder uses it.
struct SpeexStreamSetup {
    int frame_samples = 0;       // samples per frame per channel
    int granule_step = 0;        // granule units per frame (equal to frame_samples)
    int stream_rate = 0;         // sample rate in the header
    int frames_in_packet = 2;    // frames per Ogg packet
    int stream_channels = -1;    // 1 or 2
    int extra_header_count = 0;  // header packets after the comment packet
};

// Decodes count bytes of Ogg/Speex into out, at most limit bytes (a frame that would pass the
// limit is dropped with the rest of its packet). Returns the bytes of PCM written (native 16-bit,
// interleaved), faded at both ends for the given sample rate and channel count (the voice's; 0 and
// 0 apply no fades), or
// -1 when no Speex header was found or the header was rejected. The stream's own rate and
// channel count go to *setup when given.
int decode_unit(const unsigned char *bytes, int count, unsigned char *out, int limit, int sample_rate, int channels,
                SpeexStreamSetup *setup = nullptr);

// Parses the header packet and creates the decoder (enhancement on); fills *setup and hooks the
// in-band stereo handler to *stereo for a two-channel stream. Returns the decoder state, or nullptr
// after its message on standard error.
void *read_speex_header(const unsigned char *packet, int bytes, SpeexStreamSetup *setup, SpeexStereoState *stereo);

// Writes the vendor string and comments of a comment packet to standard error, one per line.
void report_comments(const unsigned char *packet, int bytes);

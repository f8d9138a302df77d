// Reads a unit's Ogg pages from memory, decodes its Speex packets and trims the codec's delay and
// padding by the granule positions, so that a unit comes back at the length it was recorded.
#include "voice/unit_decode.h"

#include "voice/diagnostics.h"
#include "voice/unit_prosody.h"

#include <ogg/ogg.h>
#include <speex/speex.h>
#include <speex/speex_callbacks.h>
#include <speex/speex_header.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kFeedBytes = 200;
constexpr int kFrameBufferSamples = 2000;
// Trims beyond this are far past any frame; clamping keeps the sums below in range.
constexpr int64_t kTrimBound = int64_t{1} << 50;

// The messages about one packet, gathered and written with one call when the buffer goes out of
// scope, instead of one call per piece.
struct MessageBuffer {
    char text[512];
    size_t used = 0;
    MessageBuffer() = default;
    MessageBuffer(const MessageBuffer &) = delete;
    MessageBuffer &operator=(const MessageBuffer &) = delete;
    ~MessageBuffer() { flush(); }
    void add(const void *bytes, size_t length) {
        if (length > sizeof text - used) {
            flush();
            if (length > sizeof text) {
                write_diagnostic(stderr, bytes, length);
                return;
            }
        }
        std::memcpy(text + used, bytes, length);
        used += length;
    }
    void add(const char *line) { add(line, std::strlen(line)); }
    void flush() {
        write_diagnostic(stderr, text, used);
        used = 0;
    }
};

// One decoder message on standard error, unless the host turned diagnostics off.
void report(const char *format, ...) __attribute__((format(printf, 1, 2)));
void report(const char *format, ...) {
    if (!diagnostics_wanted()) return;
    char message[256];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    if (length > 0) write_diagnostic(stderr, message, std::min(static_cast<size_t>(length), sizeof message - 1));
}

uint32_t read_le32(const unsigned char *p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// frame_samples x (packets x granule_step x frames_in_packet - (position - previous)) / granule_step,
// negated on the last page; 0 when it cannot be formed without overflow.
int64_t page_trim(const SpeexStreamSetup &setup, int page_packets, int64_t position, int64_t previous,
                  bool last_page) {
    if (position <= 0 || setup.frame_samples == 0 || setup.granule_step == 0) return 0;
    int64_t expected = 0, advance = 0, difference = 0, scaled = 0;
    if (__builtin_mul_overflow(static_cast<int64_t>(page_packets) * setup.granule_step,
                               static_cast<int64_t>(setup.frames_in_packet), &expected) ||
        __builtin_sub_overflow(position, previous, &advance) ||
        __builtin_sub_overflow(expected, advance, &difference) ||
        __builtin_mul_overflow(difference, static_cast<int64_t>(setup.frame_samples), &scaled)) {
        return 0;
    }
    int64_t trim = scaled / setup.granule_step;
    if (last_page) trim = -trim;
    if (trim > kTrimBound) trim = kTrimBound;
    if (trim < -kTrimBound) trim = -kTrimBound;
    return trim;
}

}  // namespace

void *read_speex_header(const unsigned char *packet, int bytes, SpeexStreamSetup *setup, SpeexStereoState *stereo) {
    if (!packet || bytes <= 0 || !setup || !stereo) {
        report("Cannot read header\n");
        return nullptr;
    }
    SpeexHeader *header = speex_packet_to_header(reinterpret_cast<char *>(const_cast<unsigned char *>(packet)), bytes);
    if (!header) {
        report("Cannot read header\n");
        return nullptr;
    }
    void *decoder = nullptr;
    const SpeexMode *mode = nullptr;
    if (header->mode < 0 || header->mode >= SPEEX_NB_MODES) {
        report("Mode number %d does not (yet/any longer) exist in this version\n", header->mode);
    } else if (!(mode = speex_lib_get_mode(header->mode))) {
        report("Mode number %d does not (yet/any longer) exist in this version\n", header->mode);
    } else if (header->speex_version_id > 1) {
        report("This file was encoded with Speex bit-stream version %d, which I don't know how to decode\n",
                     header->speex_version_id);
    } else if (mode->bitstream_version < header->mode_bitstream_version) {
        report("The file was encoded with a newer version of Speex. You need to upgrade in order to play it.\n");
    } else if (mode->bitstream_version > header->mode_bitstream_version) {
        report("The file was encoded with an older version of Speex. You would need to downgrade the "
                             "version in order to play it.\n");
    } else if (!(decoder = speex_decoder_init(mode))) {
        report("Decoder initialization failed.\n");
    }
    if (!decoder) {
        speex_header_free(header);
        return nullptr;
    }

    int enhancement = 1;
    speex_decoder_ctl(decoder, SPEEX_SET_ENH, &enhancement);
    speex_decoder_ctl(decoder, SPEEX_GET_FRAME_SIZE, &setup->frame_samples);
    setup->granule_step = setup->frame_samples;
    setup->stream_rate = header->rate;
    speex_decoder_ctl(decoder, SPEEX_SET_SAMPLING_RATE, &setup->stream_rate);
    setup->frames_in_packet = header->frames_per_packet;
    setup->stream_channels = header->nb_channels;
    if (setup->stream_channels != 1) {
        setup->stream_channels = 2;
        SpeexCallback callback;
        callback.callback_id = SPEEX_INBAND_STEREO;
        callback.func = speex_std_stereo_request_handler;
        callback.data = stereo;
        speex_decoder_ctl(decoder, SPEEX_SET_HANDLER, &callback);
    }
    {
        MessageBuffer message;
        char rate_text[64];
        std::snprintf(rate_text, sizeof rate_text, "Decoding %d Hz audio using ", setup->stream_rate);
        message.add(rate_text);
        message.add(mode->modeName ? mode->modeName : "(null)");
        message.add(" mode");
        message.add(setup->stream_channels == 1 ? " (mono" : " (stereo");
        message.add(header->vbr ? ", VBR)\n" : ")\n");
    }
    setup->extra_header_count = header->extra_headers;
    speex_header_free(header);
    return decoder;
}

void report_comments(const unsigned char *packet, int bytes) {
    MessageBuffer message;
    if (!packet || bytes < 8) {
        message.add("Invalid/corrupted comments\n");
        return;
    }
    const size_t end = static_cast<size_t>(bytes);
    size_t at = 0;
    // A length or text at `at`; false (after the message) when it does not fit the packet.
    auto print_text = [&]() {
        if (end - at < 4) return false;
        const uint32_t length = read_le32(packet + at);
        at += 4;
        if ((length & 0x80000000u) || length > end - at) return false;
        message.add(packet + at, length);
        message.add("\n");
        at += length;
        return true;
    };
    if (!print_text()) {
        message.add("Invalid/corrupted comments\n");
        return;
    }
    if (end - at < 4) {
        message.add("Invalid/corrupted comments\n");
        return;
    }
    const uint32_t comment_count = read_le32(packet + at);
    at += 4;
    if (comment_count & 0x80000000u) return;
    for (uint32_t i = 0; i < comment_count; i++) {
        if (!print_text()) {
            message.add("Invalid/corrupted comments\n");
            return;
        }
    }
}

int decode_unit(const unsigned char *bytes, int count, unsigned char *out, int limit, int sample_rate, int channels,
                SpeexStreamSetup *setup_out) {
    if (!bytes || count < 0) count = 0;
    if (!out || limit < 0) limit = 0;

    ogg_sync_state sync;
    ogg_sync_init(&sync);
    ogg_stream_state stream;
    bool have_stream = false;
    // The bits read each packet where Ogg holds it: no copy and no buffer of their own.
    char no_bits = 0;
    SpeexBits bits;
    speex_bits_init_buffer(&bits, &no_bits, 0);
    void *decoder = nullptr;
    SpeexStereoState stereo = SPEEX_STEREO_STATE_INIT;
    SpeexStreamSetup setup;
    int decoder_delay = 0;
    int64_t packets_seen = 0;
    int audio_packet_in_page = 0;
    long speex_stream_serial = -1;
    bool stream_ended = false;
    bool header_rejected = false;
    int64_t page_position = 0;
    int64_t previous_position = 0;
    int written = 0;
    spx_int16_t frame[kFrameBufferSamples];

    int remaining = count;
    while (remaining > 0 && !header_rejected) {
        char *feed = ogg_sync_buffer(&sync, kFeedBytes);
        if (!feed) break;
        const int slice = remaining < kFeedBytes ? remaining : kFeedBytes;
        std::memcpy(feed, bytes + (count - remaining), static_cast<size_t>(slice));
        remaining -= slice;
        ogg_sync_wrote(&sync, slice);

        ogg_page page;
        while (!header_rejected) {
            const int found = ogg_sync_pageout(&sync, &page);
            if (found == 0) break;
            if (found < 0) continue;  // bytes skipped before the next page
            if (!have_stream) {
                ogg_stream_init(&stream, ogg_page_serialno(&page));
                have_stream = true;
            } else if (ogg_page_serialno(&page) != stream.serialno) {
                ogg_stream_reset_serialno(&stream, ogg_page_serialno(&page));
            }
            ogg_stream_pagein(&stream, &page);
            page_position = ogg_page_granulepos(&page);
            const int page_packets = ogg_page_packets(&page);
            const int64_t trim = page_trim(setup, page_packets, page_position, previous_position, ogg_page_eos(&page));

            if (!stream_ended) {
                audio_packet_in_page = 0;
                ogg_packet packet;
                while (ogg_stream_packetout(&stream, &packet) == 1) {
                    if (packet.bytes >= 5 && std::memcmp(packet.packet, "Speex", 5) == 0) {
                        speex_stream_serial = stream.serialno;
                    }
                    if (speex_stream_serial == -1 || stream.serialno != speex_stream_serial) break;

                    if (packets_seen == 0) {
                        decoder = read_speex_header(packet.packet, static_cast<int>(packet.bytes), &setup, &stereo);
                        if (!decoder) {
                            header_rejected = true;
                            break;
                        }
                        speex_decoder_ctl(decoder, SPEEX_GET_LOOKAHEAD, &decoder_delay);
                        // A count the header cannot mean (0 or negative) is taken as one frame.
                        if (setup.frames_in_packet <= 0) setup.frames_in_packet = 1;
                    } else if (packets_seen == 1) {
                        report_comments(packet.packet, static_cast<int>(packet.bytes));
                    } else if (packets_seen <= 1 + static_cast<int64_t>(setup.extra_header_count)) {
                        // extra headers carry nothing the decoder needs
                    } else {
                        audio_packet_in_page++;
                        if (packet.e_o_s) stream_ended = true;
                        speex_bits_set_bit_buffer(&bits, packet.packet, static_cast<int>(packet.bytes));
                        const int frame_samples = setup.frame_samples;
                        const int stream_channels = setup.stream_channels;
                        if (frame_samples <= 0 || frame_samples * stream_channels > kFrameBufferSamples) break;
                        for (int j = 0; j < setup.frames_in_packet; j++) {
                            const int result = speex_decode_int(decoder, &bits, frame);
                            if (result == -1) break;
                            if (result == -2) {
                                report("Decoding error: corrupted stream?\n");
                                break;
                            }
                            if (speex_bits_remaining(&bits) < 0) {
                                report("Decoding overflow: corrupted stream?\n");
                                break;
                            }
                            if (stream_channels == 2) speex_decode_stereo_int(frame, frame_samples, &stereo);

                            int64_t start = 0;
                            int64_t keep = frame_samples;
                            if (j == 0 && audio_packet_in_page == 1 && trim > 0) {
                                start = trim + decoder_delay;
                                if (start > frame_samples) start = frame_samples;
                                keep = frame_samples - start;
                            }
                            if (audio_packet_in_page == page_packets && trim < 0) {
                                keep = static_cast<int64_t>(setup.frames_in_packet) * frame_samples + trim +
                                       decoder_delay - static_cast<int64_t>(j) * frame_samples;
                                if (keep < 0) keep = 0;
                                // never past the frame, even when its start was trimmed as well
                                if (keep > frame_samples - start) keep = frame_samples - start;
                            }
                            if (keep <= 0) continue;
                            const int64_t frame_bytes = keep * stream_channels * 2;
                            if (frame_bytes > limit - written) break;
                            std::memcpy(out + written, frame + start * stream_channels, static_cast<size_t>(frame_bytes));
                            written += static_cast<int>(frame_bytes);
                        }
                    }
                    packets_seen++;
                    if (stream_ended) break;
                }
            }
            previous_position = page_position;
        }
    }

    int result = written;
    if (decoder) {
        speex_decoder_destroy(decoder);
    } else {
        if (!header_rejected) report("This doesn't look like a Speex file\n");
        result = -1;
    }
    speex_bits_destroy(&bits);
    if (have_stream) ogg_stream_clear(&stream);
    ogg_sync_clear(&sync);
    if (result < 0) return -1;
    if (setup_out) *setup_out = setup;
    if (written > 0) apply_edge_fades_bytes(out, written / 2, sample_rate, channels);
    return written;
}

// Speex encoding and Ogg framing of a unit, with the granule positions the decoder trims by.
#include "voice/unit_encoder.h"

#include <ogg/ogg.h>
#include <speex/speex.h>
#include <speex/speex_callbacks.h>
#include <speex/speex_header.h>
#include <speex/speex_stereo.h>

#include <algorithm>
#include <cstring>

namespace {

const char kVendor[] = "Velorin unit encoder";
constexpr int kMaxPacketBytes = 2000;

void fail(std::string *error, const std::string &reason) {
    if (error) *error = reason;
}

const SpeexMode *mode_for(SpeexBand band) {
    return speex_lib_get_mode(band == SpeexBand::Narrowband ? SPEEX_MODEID_NB : SPEEX_MODEID_WB);
}

struct CodecDelays {
    int frame_size = 0;
    int encoder_lookahead = 0;
    int decoder_lookahead = 0;
};

CodecDelays delays_for(SpeexBand band) {
    CodecDelays delays;
    const SpeexMode *mode = mode_for(band);
    if (void *encoder = speex_encoder_init(mode)) {
        speex_encoder_ctl(encoder, SPEEX_GET_FRAME_SIZE, &delays.frame_size);
        speex_encoder_ctl(encoder, SPEEX_GET_LOOKAHEAD, &delays.encoder_lookahead);
        speex_encoder_destroy(encoder);
    }
    if (void *decoder = speex_decoder_init(mode)) {
        speex_decoder_ctl(decoder, SPEEX_GET_LOOKAHEAD, &delays.decoder_lookahead);
        speex_decoder_destroy(decoder);
    }
    return delays;
}

// The first page's trim removes the whole delay from the first frame and keeps the rest of it.
int shortest_frames(const CodecDelays &d) { return d.frame_size - d.encoder_lookahead - d.decoder_lookahead + 1; }

void append_page(const ogg_page &page, std::vector<uint8_t> *out) {
    out->insert(out->end(), page.header, page.header + page.header_len);
    out->insert(out->end(), page.body, page.body + page.body_len);
}

void append_le32(std::vector<unsigned char> *bytes, uint32_t value) {
    for (int i = 0; i < 4; i++) bytes->push_back(static_cast<unsigned char>(value >> (8 * i)));
}

}  // namespace

int encoded_unit_frames(SpeexBand band, int frames) {
    return std::max(frames, shortest_frames(delays_for(band)));
}

// The engine's decoder, run on the packets as they are made.
struct PacketDecoder {
    void *state = nullptr;
    SpeexBits bits;
    SpeexStereoState stereo = SPEEX_STEREO_STATE_INIT;
    std::vector<spx_int16_t> frame;
    std::vector<int16_t> *samples = nullptr;

    bool start(const SpeexMode *mode, int frame_size, int channels, std::vector<int16_t> *out) {
        state = speex_decoder_init(mode);
        if (!state) return false;
        int enhancement = 1;
        speex_decoder_ctl(state, SPEEX_SET_ENH, &enhancement);
        if (channels == 2) {
            SpeexCallback callback;
            callback.callback_id = SPEEX_INBAND_STEREO;
            callback.func = speex_std_stereo_request_handler;
            callback.data = &stereo;
            speex_decoder_ctl(state, SPEEX_SET_HANDLER, &callback);
        }
        speex_bits_init(&bits);
        frame.resize(static_cast<size_t>(frame_size) * channels);
        samples = out;
        samples->clear();
        return true;
    }
    void decode(char *packet, int bytes, int frame_size, int channels) {
        speex_bits_read_from(&bits, packet, bytes);
        if (speex_decode_int(state, &bits, frame.data()) != 0) std::fill(frame.begin(), frame.end(), 0);
        if (channels == 2) speex_decode_stereo_int(frame.data(), frame_size, &stereo);
        samples->insert(samples->end(), frame.begin(), frame.end());
    }
    // Drops the codec's delay and the padding, as the engine's decoder trims by granule positions.
    void finish(int delay_frames, int frames, int channels) {
        const size_t start = std::min(samples->size(), static_cast<size_t>(delay_frames) * channels);
        samples->erase(samples->begin(), samples->begin() + static_cast<long>(start));
        samples->resize(static_cast<size_t>(frames) * channels, 0);
    }
    ~PacketDecoder() {
        if (state) {
            speex_decoder_destroy(state);
            speex_bits_destroy(&bits);
        }
    }
};

int encode_unit(const int16_t *samples, int frames, const UnitEncoderOptions &options, std::vector<uint8_t> *out,
                std::string *error, std::vector<int16_t> *decoded) {
    if (!out) {
        fail(error, "no output");
        return -1;
    }
    if (options.channels != 1 && options.channels != 2) {
        fail(error, "channels must be 1 or 2");
        return -1;
    }
    if (options.quality < 0 || options.quality > 10) {
        fail(error, "quality must lie in 0..10");
        return -1;
    }
    if (options.sample_rate <= 0) {
        fail(error, "sample rate must be positive");
        return -1;
    }
    if (frames < 0 || (frames > 0 && !samples)) {
        fail(error, "no samples");
        return -1;
    }
    const CodecDelays delays = delays_for(options.band);
    if (delays.frame_size <= 0 || delays.frame_size * 2 > kMaxPacketBytes ||
        delays.encoder_lookahead + delays.decoder_lookahead >= delays.frame_size) {
        fail(error, "unexpected Speex frame size or delays");
        return -1;
    }
    const SpeexMode *mode = mode_for(options.band);
    void *encoder = speex_encoder_init(mode);
    if (!encoder) {
        fail(error, "Speex encoder creation failed");
        return -1;
    }
    int quality = options.quality;
    int rate = options.sample_rate;
    speex_encoder_ctl(encoder, SPEEX_SET_QUALITY, &quality);
    speex_encoder_ctl(encoder, SPEEX_SET_SAMPLING_RATE, &rate);

    const int frame_size = delays.frame_size;
    const int channels = options.channels;
    const int total_frames = std::max(frames, shortest_frames(delays));
    const int delay = delays.encoder_lookahead + delays.decoder_lookahead;
    // Enough frames that the decoder's delay is covered by real output after the last sample.
    const int packet_count = (total_frames + delay + frame_size - 1) / frame_size;

    std::vector<uint8_t> result;
    ogg_stream_state stream;
    ogg_stream_init(&stream, options.serial);
    ogg_page page;
    ogg_packet packet;

    SpeexHeader header;
    speex_init_header(&header, options.sample_rate, 1, mode);
    header.frames_per_packet = 1;
    header.nb_channels = channels;
    header.vbr = 0;
    int header_bytes = 0;
    char *header_packet = speex_header_to_packet(&header, &header_bytes);
    packet.packet = reinterpret_cast<unsigned char *>(header_packet);
    packet.bytes = header_bytes;
    packet.b_o_s = 1;
    packet.e_o_s = 0;
    packet.granulepos = 0;
    packet.packetno = 0;
    ogg_stream_packetin(&stream, &packet);
    speex_header_free(header_packet);
    while (ogg_stream_flush(&stream, &page)) append_page(page, &result);

    std::vector<unsigned char> comments;
    append_le32(&comments, sizeof kVendor - 1);
    comments.insert(comments.end(), kVendor, kVendor + sizeof kVendor - 1);
    append_le32(&comments, 0);
    packet.packet = comments.data();
    packet.bytes = static_cast<long>(comments.size());
    packet.b_o_s = 0;
    packet.packetno = 1;
    ogg_stream_packetin(&stream, &packet);
    while (ogg_stream_flush(&stream, &page)) append_page(page, &result);

    PacketDecoder decoder;
    if (decoded && !decoder.start(mode, delays.frame_size, options.channels, decoded)) {
        speex_encoder_destroy(encoder);
        ogg_stream_clear(&stream);
        fail(error, "Speex decoder creation failed");
        return -1;
    }
    SpeexBits bits;
    speex_bits_init(&bits);
    std::vector<spx_int16_t> frame(static_cast<size_t>(frame_size) * channels);
    char coded[kMaxPacketBytes];
    for (int id = 0; id < packet_count; id++) {
        std::fill(frame.begin(), frame.end(), 0);
        const long first = static_cast<long>(id) * frame_size;
        const long available = std::min<long>(frame_size, std::max<long>(0, frames - first));
        if (available > 0) {
            std::memcpy(frame.data(), samples + first * channels, static_cast<size_t>(available * channels) * 2);
        }
        if (channels == 2) speex_encode_stereo_int(frame.data(), frame_size, &bits);
        speex_encode_int(encoder, frame.data(), &bits);
        speex_bits_insert_terminator(&bits);
        const int coded_bytes = speex_bits_write(&bits, coded, kMaxPacketBytes);
        speex_bits_reset(&bits);
        if (decoded) decoder.decode(coded, coded_bytes, frame_size, channels);

        const bool last = id == packet_count - 1;
        packet.packet = reinterpret_cast<unsigned char *>(coded);
        packet.bytes = coded_bytes;
        packet.b_o_s = 0;
        packet.e_o_s = last ? 1 : 0;
        packet.granulepos = last ? total_frames : static_cast<ogg_int64_t>(id + 1) * frame_size - delays.encoder_lookahead;
        packet.packetno = 2 + id;
        ogg_stream_packetin(&stream, &packet);
        // The first audio packet has a page of its own, so that its page trims the codec's delay.
        if (id == 0) {
            while (ogg_stream_flush(&stream, &page)) append_page(page, &result);
        } else {
            while (ogg_stream_pageout(&stream, &page)) append_page(page, &result);
        }
    }
    while (ogg_stream_flush(&stream, &page)) append_page(page, &result);

    speex_bits_destroy(&bits);
    speex_encoder_destroy(encoder);
    ogg_stream_clear(&stream);
    if (decoded) decoder.finish(delay, total_frames, channels);
    *out = std::move(result);
    return 0;
}

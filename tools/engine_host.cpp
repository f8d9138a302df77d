// Host-side loading of the engine and reading of a voice file's header.
#include "tools/engine_host.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "tools/host_platform.h"

int load_engine_entries(const std::string &path, EngineEntries *entries, std::string *error) {
    std::string reason;
    void *library = load_library(path, &reason);
    if (!library) {
        *error = "cannot load the engine library " + path + ": " + reason;
        return -1;
    }
    bool complete = true;
    auto get = [&](const char *name) {
        void *entry = library_entry(library, name);
        if (!entry && complete) {
            *error = path + " has no entry " + name;
            complete = false;
        }
        return entry;
    };
    entries->init = reinterpret_cast<VelorinInitFn>(get(VELORIN_NAME_INIT));
    entries->init_synth = reinterpret_cast<VelorinInitSynthFn>(get(VELORIN_NAME_INIT_SYNTH));
    entries->set_rate = reinterpret_cast<VelorinSetIntFn>(get(VELORIN_NAME_SET_RATE));
    entries->set_pitch = reinterpret_cast<VelorinSetIntFn>(get(VELORIN_NAME_SET_PITCH));
    entries->set_volume = reinterpret_cast<VelorinSetIntFn>(get(VELORIN_NAME_SET_VOLUME));
    entries->speak_text = reinterpret_cast<VelorinSpeakTextFn>(get(VELORIN_NAME_SPEAK_TEXT));
    entries->get_last_index = reinterpret_cast<VelorinGetIntFn>(get(VELORIN_NAME_GET_LAST_INDEX));
    entries->cancel = reinterpret_cast<VelorinVoidFn>(get(VELORIN_NAME_CANCEL));
    entries->terminate_synth = reinterpret_cast<VelorinVoidFn>(get(VELORIN_NAME_TERMINATE_SYNTH));
    entries->set_parameter = reinterpret_cast<VelorinSetParameterFn>(get(VELORIN_NAME_SET_PARAMETER));
    entries->get_parameter = reinterpret_cast<VelorinGetParameterFn>(get(VELORIN_NAME_GET_PARAMETER));
    return complete ? 0 : -1;
}

int read_voice_summary(const std::string &path, VoiceSummary *summary, std::string *error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = "cannot open voice " + path + ": " + std::strerror(errno);
        return -1;
    }
    char magic[19];
    unsigned char mark[2];
    if (!file.read(magic, sizeof magic) || std::memcmp(magic, "VELORIN_DATA-v2.5.0", 19) != 0 ||
        !file.read(reinterpret_cast<char *>(mark), 2) || !((mark[0] == 1 && mark[1] == 0) || (mark[0] == 0 && mark[1] == 1))) {
        *error = path + " is not a Velorin voice file";
        return -1;
    }
    const bool little = mark[0] == 1;
    auto read_int16 = [&](int *value) {
        unsigned char b[2];
        if (!file.read(reinterpret_cast<char *>(b), 2)) return false;
        *value = static_cast<int16_t>(little ? (b[0] | b[1] << 8) : (b[1] | b[0] << 8));
        return true;
    };
    auto read_string = [&](std::string *text) {
        int length = 0;
        if (!read_int16(&length) || length < 0) return false;
        text->assign(static_cast<size_t>(length), '\0');
        return length == 0 || static_cast<bool>(file.read(&(*text)[0], length));
    };
    int ignored = 0;
    std::string skipped;
    VoiceFormat &format = summary->format;
    // Only mono and two-channel units exist.
    if (!read_string(&summary->name) || !read_string(&summary->source) || !read_int16(&ignored) ||
        !read_string(&skipped) || !read_string(&skipped) || !read_string(&skipped) || !read_int16(&format.sample_rate) ||
        !read_int16(&format.channels) || !read_int16(&summary->syllables) || format.sample_rate <= 0 ||
        format.channels <= 0 || format.channels > 2) {
        *error = "voice " + path + " has a broken header";
        return -1;
    }
    return 0;
}

int read_voice_format(const std::string &path, VoiceFormat *format, std::string *error) {
    VoiceSummary summary;
    if (read_voice_summary(path, &summary, error) != 0) return -1;
    *format = summary.format;
    return 0;
}

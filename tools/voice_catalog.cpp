// Voice folders and voice names.
#include "tools/voice_catalog.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "tools/host_platform.h"

namespace fs = std::filesystem;

const char kDefaultVoiceName[] = "vi-default";

namespace {

const char kVoiceExtension[] = ".voice";

}  // namespace

std::vector<std::string> default_voice_directories() {
    std::vector<fs::path> candidates;
    if (const char *env = std::getenv("VELORIN_VOICE"); env && *env) candidates.push_back(fs::absolute(env).parent_path());
    const fs::path program = program_directory();
    candidates.push_back(program / "voices");
    candidates.push_back(program.parent_path() / "voices");
#if defined(VELORIN_INSTALLED_VOICE_DIR)
    candidates.push_back(VELORIN_INSTALLED_VOICE_DIR);
#endif
    std::vector<std::string> directories;
    for (const fs::path &candidate : candidates) {
        std::error_code error;
        const std::string directory = fs::weakly_canonical(candidate, error).string();
        if (error) continue;
        if (std::find(directories.begin(), directories.end(), directory) == directories.end())
            directories.push_back(directory);
    }
    return directories;
}

std::vector<VoiceFileEntry> find_voice_files(const std::vector<std::string> &directories) {
    std::vector<VoiceFileEntry> voices;
    for (const std::string &directory : directories) {
        std::error_code error;
        fs::directory_iterator it(directory, error);
        if (error) continue;
        std::vector<VoiceFileEntry> found;
        for (; it != fs::directory_iterator(); it.increment(error)) {
            if (error) break;
            const fs::path &path = it->path();
            std::error_code kind_error;
            if (path.extension() != kVoiceExtension || !it->is_regular_file(kind_error)) continue;
            std::string name = path.stem().string();
            if (name.empty() || !voice_file_path(voices, name).empty()) continue;
            found.push_back({name, path.string()});
        }
        voices.insert(voices.end(), found.begin(), found.end());
    }
    std::sort(voices.begin(), voices.end(), [](const VoiceFileEntry &a, const VoiceFileEntry &b) { return a.name < b.name; });
    return voices;
}

std::string voice_file_path(const std::vector<VoiceFileEntry> &voices, const std::string &name) {
    for (const VoiceFileEntry &voice : voices)
        if (voice.name == name) return voice.path;
    return "";
}

std::string default_voice_path() {
    if (const char *env = std::getenv("VELORIN_VOICE"); env && *env) return env;
    return voice_file_path(find_voice_files(default_voice_directories()), kDefaultVoiceName);
}

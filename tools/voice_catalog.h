// Where hosts find voice files and which file a voice name means: every *.voice file in the
// voice folders, named by its file name without ".voice". velorin-say and the speech-dispatcher
// module both look voices up here.
#pragma once

#include <string>
#include <vector>

// The voice a host speaks with when it is given no name.
extern const char kDefaultVoiceName[];

struct VoiceFileEntry {
    std::string name;  // "vi-default"
    std::string path;  // ".../vi-default.voice"
};

// The folders searched when none are configured, in order: the folder of VELORIN_VOICE when it is
// set, the build tree's (voices/ beside the program and beside its folder), then the installed
// voice folder; each once.
std::vector<std::string> default_voice_directories();

// The voice files in the folders, sorted by name; a name found in an earlier folder hides the
// same name in a later one. Missing or unreadable folders are skipped.
std::vector<VoiceFileEntry> find_voice_files(const std::vector<std::string> &directories);

// The path of the voice with this name, "" when there is none.
std::string voice_file_path(const std::vector<VoiceFileEntry> &voices, const std::string &name);

// VELORIN_VOICE from the environment, else the default voice in the default folders, else "".
std::string default_voice_path();

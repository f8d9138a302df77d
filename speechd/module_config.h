// The module's configuration file (velorin.conf), which speech-dispatcher names on the module's
// command line: one "Name value" a line, values optionally in double quotes, '#' comments.
#pragma once

#include <string>
#include <vector>

struct ModuleConfig {
    std::vector<std::string> voice_directories;  // VelorinVoiceDirectory, in order; repeatable
    std::string default_voice;                   // VelorinDefaultVoice
    bool diagnostics = false;                    // VelorinDiagnostics 0 or 1
};

// Reads the settings in text over config; a line it cannot use is described in problems and
// skipped, so a faulty file never keeps the module from starting.
void parse_module_config(const std::string &text, ModuleConfig *config, std::vector<std::string> *problems);

// Reading velorin.conf.
#include "speechd/module_config.h"

namespace {

const char kSpaces[] = " \t\r";

std::string trimmed(const std::string &s) {
    size_t begin = s.find_first_not_of(kSpaces);
    if (begin == std::string::npos) return "";
    return s.substr(begin, s.find_last_not_of(kSpaces) - begin + 1);
}

}  // namespace

void parse_module_config(const std::string &text, ModuleConfig *config, std::vector<std::string> *problems) {
    size_t start = 0;
    int line_number = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = trimmed(text.substr(start, end - start));
        start = end + 1;
        ++line_number;
        if (line.empty() || line[0] == '#') continue;
        const size_t split = line.find_first_of(kSpaces);
        const std::string name = line.substr(0, split);
        std::string value = split == std::string::npos ? "" : trimmed(line.substr(split));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        const std::string where = "line " + std::to_string(line_number) + ": ";
        if (value.empty()) {
            problems->push_back(where + name + " has no value");
        } else if (name == "VelorinVoiceDirectory") {
            config->voice_directories.push_back(value);
        } else if (name == "VelorinDefaultVoice") {
            config->default_voice = value;
        } else if (name == "VelorinDiagnostics") {
            if (value == "0" || value == "1")
                config->diagnostics = value == "1";
            else
                problems->push_back(where + "VelorinDiagnostics takes 0 or 1, not " + value);
        } else {
            problems->push_back(where + "unknown setting " + name);
        }
    }
}

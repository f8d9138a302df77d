// Punctuation, characters, keys and prosody for speech-dispatcher's messages.
#include "speechd/speech_text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// The punctuation each mode names, each level adding to the one before (close to the levels of
// speech-dispatcher's own symbol lists).
const char kSomePunctuation[] = "#$%&*+/<=>@\\^_|~`";
const char kMostPunctuation[] = "\"'()-:;[]{}";
const char kAllPunctuation[] = "!,.?";
const char kEllipsis[] = "\xE2\x80\xA6";  // U+2026, named with the "all" level
// The marks the engine pauses at: a word that is one of them written twice is read by name and
// then pauses.
const char kPauseMarks[] = "(){}[]\"',;:.!?";

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Bytes of the UTF-8 character at s[i] (1 for a stray continuation byte).
size_t char_length(const std::string &s, size_t i) {
    unsigned char lead = static_cast<unsigned char>(s[i]);
    size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    return std::min(length, s.size() - i);
}

bool is_punctuation(const std::string &character) {
    if (character == kEllipsis) return true;
    if (character.size() != 1 || character[0] == 0) return false;
    return std::strchr(kSomePunctuation, character[0]) || std::strchr(kMostPunctuation, character[0]) ||
           std::strchr(kAllPunctuation, character[0]);
}

bool named_in(PunctuationMode mode, const std::string &character) {
    if (mode == PunctuationMode::None || !is_punctuation(character)) return false;
    if (character == kEllipsis) return mode == PunctuationMode::All;
    const char c = character[0];
    if (std::strchr(kSomePunctuation, c)) return true;
    if (mode == PunctuationMode::Some) return false;
    return std::strchr(kMostPunctuation, c) || (mode == PunctuationMode::All && std::strchr(kAllPunctuation, c));
}

// A named character as a word of its own.
std::string spoken_punctuation(const std::string &character) {
    const bool pause_mark = character.size() == 1 && std::strchr(kPauseMarks, character[0]);
    return pause_mark ? character + character : character;
}

// A word with the named punctuation of its leading and trailing runs of punctuation spoken; the
// rest of those runs stays on the words beside it.
std::string speak_word_punctuation(const std::string &word, PunctuationMode mode) {
    std::vector<std::string> characters;
    for (size_t i = 0; i < word.size();) {
        size_t n = char_length(word, i);
        characters.push_back(word.substr(i, n));
        i += n;
    }
    size_t lead = 0;
    while (lead < characters.size() && is_punctuation(characters[lead])) ++lead;
    size_t tail = characters.size();
    while (tail > lead && is_punctuation(characters[tail - 1])) --tail;

    std::vector<std::string> words;
    std::string before;  // unnamed leading punctuation, for the next word
    auto add_word = [&](const std::string &w) {
        words.push_back(before + w);
        before.clear();
    };
    for (size_t k = 0; k < lead; ++k) {
        if (named_in(mode, characters[k]))
            add_word(spoken_punctuation(characters[k]));
        else
            before += characters[k];
    }
    if (tail > lead) {
        std::string middle;
        for (size_t k = lead; k < tail; ++k) middle += characters[k];
        add_word(middle);
    }
    for (size_t k = tail; k < characters.size(); ++k) {
        if (named_in(mode, characters[k]))
            add_word(spoken_punctuation(characters[k]));
        else if (!words.empty())
            words.back() += characters[k];
        else
            before += characters[k];
    }
    if (!before.empty()) {
        if (words.empty())
            words.push_back(before);
        else
            words.back() += before;
    }
    std::string out;
    for (const std::string &w : words) out += (out.empty() ? "" : " ") + w;
    return out;
}

struct KeyName {
    const char *ssip;
    const char *written;
};

// speech-dispatcher's key names as a keyboard shortcut writes them.
const KeyName kKeyNames[] = {
    {"alt", "Alt"},          {"control", "Ctrl"},        {"hyper", "Hyper"},     {"meta", "Meta"},
    {"shift", "Shift"},      {"super", "Super"},         {"backspace", "Backspace"}, {"break", "Break"},
    {"delete", "Delete"},    {"down", "Down"},           {"end", "End"},         {"enter", "Enter"},
    {"escape", "Esc"},       {"home", "Home"},           {"insert", "Insert"},   {"kp-*", "Num*"},
    {"kp-+", "Num+"},        {"kp--", "Num-"},           {"kp-.", "Num."},       {"kp-/", "Num/"},
    {"kp-enter", "NumEnter"}, {"left", "Left"},          {"menu", "Menu"},       {"next", "PageDown"},
    {"num-lock", "NumLock"}, {"pause", "Pause"},         {"print", "PrintScreen"}, {"prior", "PageUp"},
    {"return", "Enter"},     {"right", "Right"},         {"scroll-lock", "ScrollLock"}, {"space", "Space"},
    {"tab", "Tab"},          {"up", "Up"},               {"window", "Win"},      {"underscore", "_"},
    {"double-quote", "\""},
};

// A key that stands for one character on its own: space, underscore, double quote.
const KeyName kCharacterKeys[] = {{"space", " "}, {"underscore", "_"}, {"double-quote", "\""}};

bool is_one_character(const std::string &s) { return !s.empty() && char_length(s, 0) == s.size(); }

std::string written_key(const std::string &name) {
    for (const KeyName &key : kKeyNames)
        if (name == key.ssip) return key.written;
    if (name.size() >= 2 && name[0] == 'f' && name.find_first_not_of("0123456789", 1) == std::string::npos)
        return "F" + name.substr(1);  // f1..f24
    if (name.size() == 4 && name.compare(0, 3, "kp-") == 0 && name[3] >= '0' && name[3] <= '9') return "Num" + name.substr(3);
    if (name.size() == 1 && name[0] >= 'a' && name[0] <= 'z') return std::string(1, static_cast<char>(name[0] - 'a' + 'A'));
    return name;
}

int clamp_scale(int value) { return std::max(-100, std::min(100, value)); }

}  // namespace

bool parse_punctuation_mode(const std::string &value, PunctuationMode *mode) {
    static const struct {
        const char *name;
        PunctuationMode mode;
    } kModes[] = {{"none", PunctuationMode::None}, {"some", PunctuationMode::Some}, {"most", PunctuationMode::Most}, {"all", PunctuationMode::All}};
    for (const auto &entry : kModes) {
        if (value == entry.name) {
            *mode = entry.mode;
            return true;
        }
    }
    return false;
}

std::string speak_punctuation(const std::string &text, PunctuationMode mode) {
    if (mode == PunctuationMode::None) return text;
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        if (is_space(text[i])) {
            out += text[i++];
            continue;
        }
        size_t end = i;
        while (end < text.size() && !is_space(text[end])) ++end;
        out += speak_word_punctuation(text.substr(i, end - i), mode);
        i = end;
    }
    return out;
}

std::string character_text(const std::string &character) {
    if (!character.empty() && std::all_of(character.begin(), character.end(), is_space)) return "khoảng trắng";
    return character;
}

std::string key_text(const std::string &key) {
    for (const KeyName &character : kCharacterKeys)
        if (key == character.ssip) return character_text(character.written);
    if (is_one_character(key)) return character_text(key);
    std::string written;
    size_t start = 0;
    while (start <= key.size()) {
        size_t end = key.find('_', start);
        if (end == std::string::npos) end = key.size();
        std::string part = key.substr(start, end - start);
        if (!part.empty()) written += (written.empty() ? "" : "+") + written_key(part);
        start = end + 1;
    }
    return written;
}

EngineProsody engine_prosody(int rate, int pitch, int volume) {
    rate = clamp_scale(rate);
    const double factor = rate >= 0 ? std::pow(2.0, rate / 50.0) : std::pow(2.0, rate / 100.0);
    EngineProsody prosody{};
    prosody.host_rate = static_cast<int>(std::lround(50.0 * std::min(factor, 2.0)));
    prosody.speed_percent = factor > 2.0 ? static_cast<int>(std::lround(50.0 * factor)) : 100;
    prosody.pitch_percent = 100 + static_cast<int>(std::lround(clamp_scale(pitch) / 2.0));
    prosody.volume_percent = static_cast<int>(std::lround((clamp_scale(volume) + 100) / 2.0));
    return prosody;
}

// SSML to text and marks.
#include "speechd/ssml_text.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

void append_utf8(std::string *out, uint32_t code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
    if (code < 0x80) {
        *out += static_cast<char>(code);
    } else if (code < 0x800) {
        *out += static_cast<char>(0xC0 | code >> 6);
        *out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *out += static_cast<char>(0xE0 | code >> 12);
        *out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | code >> 18);
        *out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        *out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Decodes the character reference at s[i] (an '&') onto out: the bytes it took, 0 when there is
// no reference there (the '&' is then text).
size_t decode_reference(const std::string &s, size_t i, std::string *out) {
    size_t end = s.find(';', i);
    if (end == std::string::npos || end - i > 12) return 0;
    const std::string name = s.substr(i + 1, end - i - 1);
    static const struct {
        const char *name;
        char character;
    } kNamed[] = {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto &named : kNamed) {
        if (name == named.name) {
            *out += named.character;
            return end - i + 1;
        }
    }
    if (name.size() < 2 || name[0] != '#') return 0;
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const std::string digits = name.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8) return 0;
    char *stop = nullptr;
    unsigned long code = std::strtoul(digits.c_str(), &stop, hex ? 16 : 10);
    if (*stop != 0 || digits[0] == '-' || digits[0] == '+') return 0;
    append_utf8(out, static_cast<uint32_t>(code > 0x10FFFF ? 0xFFFD : code));
    return end - i + 1;
}

// Where the tag opened at s[i] ends (the index of its '>'), quotes respected; npos when it does not.
size_t tag_end(const std::string &s, size_t i) {
    char quote = 0;
    for (size_t k = i + 1; k < s.size(); ++k) {
        char c = s[k];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return k;
        } else if (c == '<') {
            return std::string::npos;
        }
    }
    return std::string::npos;
}

// The decoded value of attribute `attribute` in a tag's body ("mark name='x' /"), "" when absent.
std::string attribute_value(const std::string &body, const std::string &attribute) {
    size_t k = 0;
    while (k < body.size() && !is_space(body[k])) ++k;  // the tag's name
    while (k < body.size()) {
        while (k < body.size() && (is_space(body[k]) || body[k] == '/')) ++k;
        size_t name_start = k;
        while (k < body.size() && body[k] != '=' && !is_space(body[k]) && body[k] != '/') ++k;
        std::string name = body.substr(name_start, k - name_start);
        while (k < body.size() && is_space(body[k])) ++k;
        if (k >= body.size() || body[k] != '=') continue;
        ++k;
        while (k < body.size() && is_space(body[k])) ++k;
        if (k >= body.size() || (body[k] != '"' && body[k] != '\'')) break;
        const char quote = body[k++];
        size_t value_end = body.find(quote, k);
        if (value_end == std::string::npos) break;
        if (name == attribute) {
            std::string value;
            for (size_t v = k; v < value_end;) {
                size_t used = body[v] == '&' ? decode_reference(body, v, &value) : 0;
                if (used) {
                    v += used;
                } else {
                    value += body[v++];
                }
            }
            return value;
        }
        k = value_end + 1;
    }
    return "";
}

bool starts_with(const std::string &s, size_t i, const char *prefix) { return s.compare(i, std::strlen(prefix), prefix) == 0; }

// Handles the markup that starts at s[i] ('<'); the index after it, or 0 when it is not markup.
size_t parse_markup(const std::string &s, size_t i, std::string *text, SsmlSpeech *speech) {
    if (starts_with(s, i, "<!--")) {
        size_t end = s.find("-->", i + 4);
        return end == std::string::npos ? 0 : end + 3;
    }
    if (starts_with(s, i, "<![CDATA[")) {
        size_t end = s.find("]]>", i + 9);
        if (end == std::string::npos) return 0;
        for (size_t k = i + 9; k < end; ++k) *text += is_space(s[k]) ? ' ' : s[k];
        return end + 3;
    }
    const bool declaration = starts_with(s, i, "<?") || starts_with(s, i, "<!");
    const bool closing = starts_with(s, i, "</");
    const size_t name_at = i + (closing || declaration ? 2 : 1);
    if (!declaration && (name_at >= s.size() || !is_letter(s[name_at]))) return 0;
    size_t end = tag_end(s, i);
    if (end == std::string::npos) return 0;
    if (declaration) return end + 1;

    const std::string body = s.substr(name_at, end - name_at);
    size_t name_length = 0;
    while (name_length < body.size() && !is_space(body[name_length]) && body[name_length] != '/') ++name_length;
    const std::string name = body.substr(0, name_length);
    const std::string mark = name == "mark" && !closing ? attribute_value(body, "name") : "";
    if (!mark.empty()) {
        speech->texts.push_back(*text);
        speech->marks.push_back(mark);
        text->clear();
    } else if (name == "p" || name == "s" || name == "break" || name == "paragraph" || name == "sentence") {
        *text += '\n';
    } else {
        *text += ' ';
    }
    return end + 1;
}

}  // namespace

SsmlSpeech parse_ssml(const std::string &ssml) {
    SsmlSpeech speech;
    std::string text;
    size_t i = 0;
    while (i < ssml.size()) {
        const char c = ssml[i];
        size_t next = 0;
        if (c == '<') {
            next = parse_markup(ssml, i, &text, &speech);
        } else if (c == '&') {
            size_t used = decode_reference(ssml, i, &text);
            if (used) next = i + used;
        }
        if (next) {
            i = next;
            continue;
        }
        text += is_space(c) ? ' ' : c;
        ++i;
    }
    speech.texts.push_back(text);
    return speech;
}

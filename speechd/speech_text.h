// What speech-dispatcher's settings and message kinds become for the engine: the text handed to
// SpeakText for a character, a key or punctuation that is to be heard, and the engine's rate,
// speed, pitch and volume for speech-dispatcher's -100..100 scales.
#pragma once

#include <string>

enum class PunctuationMode { None, Some, Most, All };

// "none", "some", "most", "all"; false for anything else.
bool parse_punctuation_mode(const std::string &value, PunctuationMode *mode);

// Text with the punctuation that the mode names spoken: each such character at the start or end
// of a word becomes a word of its own, which the engine reads by name; one the engine also pauses
// at stays written a second time, so that its pause is kept. Punctuation inside a word (TP.HCM,
// 1.250, a+b) is left to the engine's readers.
std::string speak_punctuation(const std::string &text, PunctuationMode mode);

// The text that speaks a CHAR message (one character, UTF-8): white space by its name, anything
// else as it stands, which the engine reads as a single character.
std::string character_text(const std::string &character);

// The text that speaks a KEY message ("a", "control_s", "shift_kp-enter"): a key that is one
// character goes through character_text; a named key or a combination is written as a keyboard
// shortcut ("Ctrl+S", "Shift+NumEnter") for the engine's text reading.
std::string key_text(const std::string &key);

// The engine's settings for speech-dispatcher's scales, each -100..100 (clamped).
struct EngineProsody {
    int host_rate;       // SetRate, 25..100 (0.5x to 2x speed, 50 normal)
    int speed_percent;   // the SPEED parameter, beyond 2x: 100..200
    int pitch_percent;   // SetPitch, 50..150
    int volume_percent;  // SetVolume, 0..100
};

// Rate doubles the speed every 50 steps up (4x at 100) and halves it over the 100 steps down;
// pitch moves half a percent a step; volume +100 is the voice as recorded and -100 silence.
EngineProsody engine_prosody(int rate, int pitch, int volume);

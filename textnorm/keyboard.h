// Keyboard keys and shortcuts by the names Vietnamese computer users say: Ctrl+S is "con trôn cộng
// ét", Alt+F4 "an cộng ép bốn", Esc "ít kếp". Letters in a shortcut take their English names.
#pragma once

#include "textnorm/norm_text.h"

// A key name alone (Ctrl, Esc, Backspace, PgUp, F1 to F24, case ignored), or a shortcut: key
// names and a last key joined by "+", the first a modifier (Ctrl, Alt, Shift, Win, Cmd, Fn,
// Option, or the screen reader's NVDA and Insert), the last a key name or one character.
// Returns the length, or -1 with an empty out.
int read_keys(const char16_t *token, char16_t out[kNormTextCapacity]);

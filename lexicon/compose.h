// Canonical composition of Latin and Vietnamese letters: text whose diacritics are combining
// marks (fully decomposed text, or text converted from the Windows Vietnamese code page, where a
// letter keeps its quality sign and takes the tone as a combining mark) becomes the precomposed
// letters that the letter table, the dictionaries and the unit names know.
#pragma once

#include <cstddef>

// Composes the terminated text in place and returns its new length. A letter and the combining
// marks after it become one precomposed letter where Unicode has one; marks are put in their
// canonical order first. The text never grows: a run that would come out longer than it went in
// (marks on a letter that has no composed form with them) is left as it stands, and so is a run
// of more than kMaxComposedMarks marks. A null text gives 0.
size_t compose_text(char16_t *text);

// Marks after one letter that the composer looks at; a longer run is left alone.
constexpr int kMaxComposedMarks = 16;

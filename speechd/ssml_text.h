// The SSML that speech-dispatcher sends with SPEAK, brought down to plain text and index marks.
#pragma once

#include <string>
#include <vector>

struct SsmlSpeech {
    // Plain UTF-8 text between the marks: texts.size() == marks.size() + 1, and marks[i] lies
    // between texts[i] and texts[i + 1].
    std::vector<std::string> texts;
    std::vector<std::string> marks;
};

// Tags are removed (p, s and break end a line, any other tag separates words), <mark name="..."/>
// becomes an index mark, comments and processing instructions vanish, CDATA is kept as text and
// character references are decoded. White space inside the text is one space, as in SSML. A '<'
// that opens no complete tag is kept as text.
SsmlSpeech parse_ssml(const std::string &ssml);

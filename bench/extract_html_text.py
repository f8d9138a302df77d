#!/usr/bin/env python3
"""Prints the visible text of HTML files (script and style left out), one block a line."""

import html.parser
import sys


class TextOnly(html.parser.HTMLParser):
    BLOCKS = {"p", "div", "br", "li", "tr", "h1", "h2", "h3", "h4", "h5", "h6", "pre", "dt", "dd", "title"}

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.parts = []
        self.hidden = 0

    def handle_starttag(self, tag, attrs):
        if tag in ("script", "style"):
            self.hidden += 1
        if tag in self.BLOCKS:
            self.parts.append("\n")

    def handle_endtag(self, tag):
        if tag in ("script", "style") and self.hidden:
            self.hidden -= 1
        if tag in self.BLOCKS:
            self.parts.append("\n")

    def handle_data(self, data):
        if not self.hidden:
            self.parts.append(data)


for path in sys.argv[1:]:
    parser = TextOnly()
    with open(path, encoding="utf-8") as f:
        parser.feed(f.read())
    text = "".join(parser.parts)
    lines = (" ".join(line.split()) for line in text.splitlines())
    sys.stdout.write("\n".join(line for line in lines if line) + "\n")

"""CMUdict for the lexicon generators: installs the pinned npm package into a scratch folder and reads it."""

import json
import os
import re
import subprocess

PACKAGE = "cmu-pronouncing-dictionary"
VERSION = "3.0.0"

# The notice that travels with every copy of CMUdict's data.
LICENCE = """\
Copyright (C) 1993-2015 Carnegie Mellon University. All rights reserved.

Redistribution and use in source and binary forms, with or without
modification, are permitted provided that the following conditions
are met:

1. Redistributions of source code must retain the above copyright
   notice, this list of conditions and the following disclaimer.
   The contents of this file are deemed to be source code.

2. Redistributions in binary form must reproduce the above copyright
   notice, this list of conditions and the following disclaimer in
   the documentation and/or other materials provided with the
   distribution.

This work was supported in part by funding from the Defense Advanced
Research Projects Agency, the Office of Naval Research and the National
Science Foundation of the United States of America, and by member
companies of the Carnegie Mellon Sphinx Speech Consortium. We acknowledge
the contributions of many volunteers to the expansion and improvement of
this dictionary.

THIS SOFTWARE IS PROVIDED BY CARNEGIE MELLON UNIVERSITY ``AS IS'' AND
ANY EXPRESSED OR IMPLIED WARRANTIES, INCLUDING, BUT NOT LIMITED TO,
THE IMPLIED WARRANTIES OF MERCHANTABILITY AND FITNESS FOR A PARTICULAR
PURPOSE ARE DISCLAIMED.  IN NO EVENT SHALL CARNEGIE MELLON UNIVERSITY
NOR ITS EMPLOYEES BE LIABLE FOR ANY DIRECT, INDIRECT, INCIDENTAL,
SPECIAL, EXEMPLARY, OR CONSEQUENTIAL DAMAGES (INCLUDING, BUT NOT
LIMITED TO, PROCUREMENT OF SUBSTITUTE GOODS OR SERVICES; LOSS OF USE,
DATA, OR PROFITS; OR BUSINESS INTERRUPTION) HOWEVER CAUSED AND ON ANY
THEORY OF LIABILITY, WHETHER IN CONTRACT, STRICT LIABILITY, OR TORT
(INCLUDING NEGLIGENCE OR OTHERWISE) ARISING IN ANY WAY OUT OF THE USE
OF THIS SOFTWARE, EVEN IF ADVISED OF THE POSSIBILITY OF SUCH DAMAGE.

The npm wrapper cmu-pronouncing-dictionary is under the ISC licence,
Copyright (c) 2015 Zeke Sikelianos.
"""


def install(scratch):
    """Installs the pinned package under scratch (reusing an earlier install) and returns its folder."""
    folder = os.path.join(scratch, "node_modules", PACKAGE)
    manifest = os.path.join(folder, "package.json")
    if not os.path.exists(manifest) or json.load(open(manifest))["version"] != VERSION:
        subprocess.run(["npm", "install", "--no-save", "--no-audit", "--no-fund", "--prefix", scratch,
                        f"{PACKAGE}@{VERSION}"], check=True, stdout=subprocess.DEVNULL)
    if json.load(open(manifest))["version"] != VERSION:
        raise SystemExit(f"{PACKAGE} is not at version {VERSION} in {scratch}")
    return folder


def load(scratch):
    """Returns {word: pronunciation} with every key of the package (alternates included)."""
    folder = install(scratch)
    entries = {}
    pattern = re.compile(r'^\s*"((?:[^"\\]|\\.)+)": "([^"]*)",?$')
    with open(os.path.join(folder, "index.js"), encoding="utf-8") as f:
        for line in f:
            m = pattern.match(line)
            if m:
                entries[m.group(1)] = m.group(2)
    if len(entries) < 100000:
        raise SystemExit(f"only {len(entries)} entries read from {folder}/index.js")
    return entries


def plain_words(entries):
    """The base entries whose keys are the letters a to z only, in key order."""
    return sorted(k for k in entries if re.fullmatch(r"[a-z]+", k))

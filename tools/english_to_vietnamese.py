"""Reads an English word's CMUdict pronunciation as a run of Vietnamese syllables in AsciiForm.

Each English vowel becomes one Vietnamese syllable; the consonants around it become its onset and
final where Vietnamese allows them, and a consonant that has no place becomes a syllable of its own
with the vowel o( and the huyen tone ("co(`" for K). The result is a list of candidate lists: the first
candidate that the syllable inventory holds is taken (see resolve), so a stop-final syllable can fall
back from sac to nang without that counting as a repair.
"""

import re

import vietnamese_syllables as vs

VOWELS = {"AA", "AE", "AH", "AO", "AW", "AY", "EH", "ER", "EY", "IH", "IY", "OW", "OY", "UH", "UW"}
DIPHTHONGS = {"AW", "AY", "OY"}
LAX_VOWELS = {"IH", "EH", "AE", "AH", "UH", "AA"}
# A single consonant after a stressed short vowel also closes that vowel (tennis: ten nit).
GEMINATES = {"P", "B", "T", "D", "K", "G", "M", "N", "NG", "L", "CH", "JH"}

ONSET = {"P": "p", "B": "b", "F": "ph", "V": "v", "T": "t", "D": "d!", "TH": "th", "DH": "d!",
         "S": "x", "Z": "d", "SH": "s", "ZH": "gi", "CH": "ch", "JH": "gi", "K": "c", "G": "g",
         "M": "m", "N": "n", "NG": "ng", "L": "l", "R": "r", "HH": "h", "Y": "d", "W": "", "TR": "tr"}
CODA = {"P": "p", "B": "p", "F": "p", "V": "p", "T": "t", "D": "t", "TH": "t", "DH": "t",
        "S": "t", "Z": "t", "SH": "t", "ZH": "t", "CH": "t", "JH": "t", "K": "c", "G": "c",
        "M": "m", "N": "n", "NG": "ng", "L": "n"}

# Nucleus of each vowel, open and before a final.
OPEN = {"AA": "a", "AE": "e", "AH": "o(", "AO": "o", "AW": "ao", "AY": "ai", "OY": "oi", "EH": "e",
        "ER": "o(", "EY": "a)y", "IH": "i", "IY": "i", "OW": "a)u", "UH": "u", "UW": "u"}
CLOSED = {"AA": "a", "AE": "e", "AH": "a)", "AO": "o", "EH": "e", "ER": "o(", "EY": "e)",
          "IH": "i", "IY": "i", "OW": "o)", "UH": "u", "UW": "u"}

# Neighbouring vowels tried when a syllable is not in the inventory.
NEIGHBOURS = {"a": ["a(", "a)", "o"], "a(": ["a", "a)"], "a)": ["o(", "a", "a("], "e": ["e)", "a"],
              "e)": ["e", "i"], "i": ["y", "e)"], "y": ["i"], "o": ["o)", "o(", "a"],
              "o)": ["o", "o(", "u"], "o(": ["a)", "o", "o)"], "u": ["u(", "o)", "o"],
              "u(": ["u", "o("]}
TONES = ["", "'", "`", "?", "~", "."]
VOWEL_START = "aeiouy"


def strip_comment(pron):
    return pron.split("#", 1)[0].strip()


def parse_phones(pron):
    """Returns [(phone, stress)], stress None for a consonant."""
    out = []
    for token in strip_comment(pron).split():
        m = re.fullmatch(r"([A-Z]+)([012])?", token)
        if not m:
            return None
        out.append((m.group(1), int(m.group(2)) if m.group(2) else None))
    return out


def place_tone(onset, nucleus, final, tone):
    """Spells a syllable with the tone sign after the vowel that carries it (new-style placement)."""
    if not tone:
        return onset + nucleus + final
    letters = []  # (start, end) of each vowel letter with its quality sign
    i = 0
    while i < len(nucleus):
        j = i + 1
        if j < len(nucleus) and nucleus[j] in ")(":
            j += 1
        letters.append((i, j))
        i = j
    marked = [k for k, (a, b) in enumerate(letters) if b - a == 2]
    if marked:
        k = marked[-1]
    elif final or len(letters) == 1:
        k = len(letters) - 1
    elif nucleus in ("oa", "oe", "uy"):
        k = 1
    elif len(letters) == 3:
        k = 1
    else:
        k = 0
    end = letters[k][1]
    return onset + nucleus[:end] + tone + nucleus[end:] + final


def spell_onset(phone, nucleus):
    """The written onset of a consonant before a nucleus, with the c/k, g/gh, ng/ngh rules."""
    onset = ONSET[phone]
    front = nucleus.startswith(("i", "e", "y"))
    if onset == "c" and front:
        return "k"
    if onset == "g" and front and not nucleus.startswith("i"):
        return "gh"
    if onset == "ng" and front:
        return "ngh"
    return onset


def join_glide(nucleus):
    """Nucleus after a W glide: o before a, a( and e, u before the others; none before o and u."""
    if nucleus.startswith(("a(", "e)", "i", "y", "o(", "a)")):
        if nucleus.startswith(("i", "y")):
            return "uy" + nucleus[1:]
        return "u" + nucleus
    if nucleus.startswith(("a", "e")):
        return "o" + nucleus
    return nucleus


class Syllable:
    __slots__ = ("onset", "glide", "vowel", "stress", "coda", "breaker", "yglide", "spelled_o")

    def __init__(self):
        self.onset = None      # ARPAbet consonant or None
        self.glide = False     # a W after the onset
        self.yglide = False    # a Y after the onset (Y UW: iu)
        self.vowel = None      # ARPAbet vowel, or None for a cluster breaker
        self.stress = 0
        self.coda = None       # ARPAbet consonant or None
        self.breaker = False
        self.spelled_o = False


def candidates(syl):
    """The spellings of one syllable in order of preference."""
    if syl.breaker:
        onset = ONSET[syl.onset] if syl.onset not in ("W", "Y") else ""
        if syl.onset == "Y":
            onset = "d"
        return [onset + "o(`"]
    vowel = syl.vowel
    iu = (syl.yglide or syl.onset == "Y") and vowel in ("UW", "UH")
    open_syllable = syl.coda is None or vowel in DIPHTHONGS or iu
    final = ""
    if iu:
        nucleus = "iu"
    elif open_syllable:
        nucleus = OPEN[vowel]
    else:
        nucleus = CLOSED[vowel]
        coda = syl.coda
        final = CODA[coda]
        if coda == "L" and vowel == "EY":
            nucleus, final = "e", "o"
        if vowel == "ER" and final in ("c", "ng"):
            nucleus = "a)"
        if nucleus in ("i", "e)"):
            if final == "c" or (final == "t" and coda in ("CH", "JH")):
                final = "ch"
            elif final == "ng":
                final = "nh"
    if syl.spelled_o and vowel == "AA":
        nucleus = "o"
    onset = ""
    if syl.glide and syl.onset == "K":
        onset = "qu"
        if nucleus.startswith("i"):
            nucleus = "y" + nucleus[1:]
    elif syl.glide or syl.onset == "W":
        nucleus = join_glide(nucleus)
    if syl.onset == "Y":
        onset = "d"  # the southern reading of gi/d, as in "dét" for yes
    elif syl.onset not in (None, "W") and onset != "qu":
        onset = spell_onset(syl.onset, nucleus)
    if onset == "gi" and nucleus.startswith("i"):
        nucleus = nucleus[1:] or "i"
        if nucleus == "i":
            onset = "g"  # gi + i is written gi
    if final in vs.STOP_FINALS:
        tones = ["'", "."]
    else:
        tones = [""]
    return [place_tone(onset, nucleus, final, t) for t in tones]


def onset_part(cluster):
    """Splits a consonant run before a vowel into (consonants left over, onset syllable fields)."""
    n = len(cluster)
    if n == 0:
        return [], (None, False, False)
    last = cluster[-1]
    if n >= 2 and last == "W" and cluster[-2] not in ("W", "Y", "R", "L"):
        return cluster[:-2], (cluster[-2], True, False)
    if n >= 2 and last == "Y" and cluster[-2] not in ("W", "Y"):
        return cluster[:-2], (cluster[-2], False, True)
    if n >= 2 and last == "R" and cluster[-2] == "T":
        return cluster[:-2], ("TR", False, False)
    return cluster[:-1], (last, False, False)




def breakers(consonants):
    out = []
    for c in consonants:
        if c in ("W", "Y", "HH"):
            continue
        s = Syllable()
        s.onset = c
        s.breaker = True
        out.append(s)
    return out


def spelling_o_flags(spelling, vowel_count):
    """For each vowel, whether the word spells it with an o (AA read o as in "top")."""
    groups = re.findall(r"[aeiouy]+", spelling)
    if len(groups) != vowel_count:
        return [False] * vowel_count
    return [g.startswith("o") for g in groups]


def syllabify(phones, spelling):
    """Turns [(phone, stress)] into a list of Syllable records."""
    vowel_at = [i for i, (p, s) in enumerate(phones) if p in VOWELS]
    if not vowel_at:
        return None
    o_flags = spelling_o_flags(spelling, len(vowel_at))
    out = []
    lead = [p for p, _ in phones[:vowel_at[0]]]
    rest, (onset, glide, yglide) = onset_part(lead)
    out.extend(breakers(rest))
    for k, vi in enumerate(vowel_at):
        syl = Syllable()
        syl.onset, syl.glide, syl.yglide = onset, glide, yglide
        syl.vowel, syl.stress = phones[vi]
        syl.spelled_o = o_flags[k]
        out.append(syl)
        end = vowel_at[k + 1] if k + 1 < len(vowel_at) else len(phones)
        run = [p for p, _ in phones[vi + 1:end]]
        iu = (yglide or onset == "Y") and syl.vowel in ("UW", "UH")
        can_close = syl.vowel not in DIPHTHONGS and not iu
        if k + 1 == len(vowel_at):
            if can_close:
                syl.coda = next((c for c in run if c in CODA), None)
            break
        left, (onset, glide, yglide) = onset_part(run)
        if not left:
            single = onset if not glide and not yglide else None
            if can_close and single in GEMINATES and syl.vowel in LAX_VOWELS and syl.stress:
                syl.coda = single
            continue
        # R, HH, W, Y right after the vowel have no final form and are dropped.
        first = next((i for i, c in enumerate(left) if c in CODA), len(left))
        if can_close and first < len(left):
            syl.coda = left[first]
            first += 1
        if not can_close:  # a diphthong keeps no final: its nasals and liquids fade into it
            left = [c for c in left if c not in ("M", "N", "NG", "L", "R")]
        out.extend(breakers(left[first:] if can_close else left))
    return out


def to_syllable_candidates(pron, spelling):
    """[[candidate, ...], ...] for a CMUdict pronunciation, or None if it has no vowel."""
    phones = parse_phones(pron)
    if not phones:
        return None
    syls = syllabify(phones, spelling)
    if not syls:
        return None
    return [candidates(s) for s in syls]


def variants(syllable):
    """Repairs to try for a syllable the inventory lacks: other tones, then neighbouring vowels."""
    parsed = vs.parse(syllable)
    if parsed is None:
        return []
    onset, nucleus, final, tone = parsed
    out = []
    for t in TONES:
        if t != tone:
            out.append(place_tone(onset, nucleus, final, t))
    # Neighbouring vowel on the nucleus's main vowel (its last letter run).
    for old, news in NEIGHBOURS.items():
        if nucleus.endswith(old) and (len(old) == 2 or not nucleus.endswith((old + ")", old + "("))):
            for new in news:
                nuc = nucleus[:len(nucleus) - len(old)] + new
                for t in [tone] + [x for x in TONES if x != tone]:
                    out.append(place_tone(onset, nuc, final, t))
    # Without the W glide (tua)c -> ta)c), then without the final.
    if len(nucleus) > 1 and nucleus[0] in "ou" and nucleus[1] in VOWEL_START:
        for t in [tone] + [x for x in TONES if x != tone]:
            out.append(place_tone(onset, nucleus[1:], final, t))
    if final:
        for t in [tone] + [x for x in TONES if x != tone]:
            out.append(place_tone(onset, nucleus, "", t))
    # c/k, g/gh spellings that the vowel change may need.
    fixed = []
    for s in out:
        p = vs.parse(s)
        if p is None:
            continue
        o, n, f, t = p
        front = n.startswith(("i", "e", "y"))
        if o == "c" and front:
            o = "k"
        elif o == "k" and not front:
            o = "c"
        elif o == "g" and front and not n.startswith("i"):
            o = "gh"
        elif o == "gh" and not front:
            o = "g"
        elif o == "ng" and front:
            o = "ngh"
        elif o == "ngh" and not front:
            o = "ng"
        fixed.append(o + s[len(p[0]):] if o != p[0] else s)
    return fixed


def resolve(cands, inventory):
    """Chooses a spelling for one syllable: (syllable or None, repaired?)."""
    for c in cands:
        if c in inventory:
            return c, False
    for c in cands:
        for v in variants(c):
            if v in inventory:
                return v, True
    return None, True


def letter_pronunciations(dictionary):
    """Stress-free pronunciations of the letters a to z, with CMUdict's alternates."""
    out = {}
    for letter in "abcdefghijklmnopqrstuvwxyz":
        prons = []
        for key in (letter, letter + "(2)", letter + "(3)"):
            if key in dictionary:
                p = tuple(re.sub(r"[012]", "", strip_comment(dictionary[key])).split())
                if letter == "a" and p == ("AH",):
                    continue
                prons.append(p)
        out[letter] = prons
    return out


def is_spelled_out(word, pron, letters):
    """True when the pronunciation is the word's letters named one by one."""
    phones = tuple(re.sub(r"[012]", "", strip_comment(pron)).split())

    def match(i, j):
        if i == len(word):
            return j == len(phones)
        for p in letters.get(word[i], []):
            if phones[j:j + len(p)] == p and match(i + 1, j + len(p)):
                return True
        return False

    return len(word) >= 2 and match(0, 0)

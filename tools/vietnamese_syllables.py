"""Vietnamese syllables for the lexicon generators: AsciiForm spelling and the syllable shape test."""

import unicodedata

# Combining marks of a decomposed Vietnamese letter and their AsciiForm signs.
QUALITY_SIGNS = {"\u0302": ")", "\u0306": "(", "\u031b": "("}
TONE_SIGNS = {"\u0301": "'", "\u0300": "`", "\u0309": "?", "\u0303": "~", "\u0323": "."}
TONE_NAMES = {"": "ngang", "'": "sac", "`": "huyen", "?": "hoi", "~": "nga", ".": "nang"}

ONSETS = ["ngh", "ng", "nh", "ch", "gh", "gi", "kh", "ph", "qu", "th", "tr",
          "b", "c", "d!", "d", "g", "h", "k", "l", "m", "n", "p", "r", "s", "t", "v", "x", ""]
FINALS = ["ng", "nh", "ch", "p", "t", "c", "m", "n", "i", "y", "o", "u", ""]
STOP_FINALS = {"p", "t", "c", "ch"}
VOWEL_LETTERS = set("aeiouy")


def to_ascii_form(text):
    """Writes Unicode Vietnamese text in lower-case AsciiForm: base letter, quality sign, tone sign."""
    out = []
    for ch in unicodedata.normalize("NFC", text.lower()):
        if ch == "đ":
            out.append("d!")
            continue
        parts = unicodedata.normalize("NFD", ch)
        base, marks = parts[0], parts[1:]
        quality = "".join(QUALITY_SIGNS[m] for m in marks if m in QUALITY_SIGNS)
        tone = "".join(TONE_SIGNS[m] for m in marks if m in TONE_SIGNS)
        if len(quality) + len(tone) != len(marks):
            out.append(ch)  # a mark outside Vietnamese: keep the letter as it was
        else:
            out.append(base + quality + tone)
    return "".join(out)


def split_tone(syllable):
    """Returns (toneless AsciiForm, tone sign) of one AsciiForm syllable, or None if it has two tones."""
    tone = ""
    plain = []
    for ch in syllable:
        if ch in "'`?~.":
            if tone:
                return None
            tone = ch
        else:
            plain.append(ch)
    return "".join(plain), tone


def parse(syllable):
    """Splits an AsciiForm syllable into (onset, nucleus, final, tone), or None when it has no such shape."""
    split = split_tone(syllable)
    if split is None:
        return None
    plain, tone = split
    for onset in ONSETS:
        if not plain.startswith(onset):
            continue
        rest = plain[len(onset):]
        if onset == "gi" and (rest == "" or rest[0] not in VOWEL_LETTERS):
            continue  # "gi", "gin": g before the vowel i
        if onset == "qu" and (rest == "" or rest[0] not in VOWEL_LETTERS):
            continue
        for final in FINALS:
            if not final or not rest.endswith(final):
                continue
            nucleus = rest[:len(rest) - len(final)]
            if nucleus and nucleus_ok(nucleus):
                return onset, nucleus, final, tone
        if rest and nucleus_ok(rest):
            return onset, rest, "", tone
        return None
    return None


def parse_name(syllable):
    """parse, also for the final k of names from minority languages (Đắk Lắk): (onset, nucleus,
    final, tone) or None."""
    parsed = parse(syllable)
    if parsed is None and syllable.endswith("k"):
        parsed = parse(syllable[:-1] + "c")
        if parsed is not None:
            parsed = parsed[:2] + ("k",) + parsed[3:]
    return parsed


def nucleus_ok(nucleus):
    """A vowel run: vowel letters each with at most one quality sign, no consonant."""
    i = 0
    while i < len(nucleus):
        if nucleus[i] not in VOWEL_LETTERS:
            return False
        i += 1
        if i < len(nucleus) and nucleus[i] in ")(":
            i += 1
    return len(nucleus) <= 8


def rhyme_of(parsed):
    onset, nucleus, final, tone = parsed
    return nucleus + final


FRONT_STARTS = ("i", "e", "y")  # e and e) both start with e


def spelling_ok(parsed):
    """The spelling rules of the onsets c/k/q, g/gh, ng/ngh and the tones a stop final allows."""
    onset, nucleus, final, tone = parsed
    front = nucleus.startswith(FRONT_STARTS)
    if onset in ("k", "gh", "ngh") and not front:
        return False
    if onset in ("c", "ng") and front:
        return False
    if onset == "g" and front and not nucleus.startswith("i"):
        return False  # "ge" is written "ghe"; "gi" stands for itself
    if onset == "gi" and nucleus.startswith("i"):
        return False
    if onset == "qu" and nucleus.startswith("u"):
        return False
    if final in STOP_FINALS and tone not in ("'", "."):
        return False
    if final in ("ch", "nh") and not nucleus.endswith(("a", "e)", "i", "y")):
        return False
    return True

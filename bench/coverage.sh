#!/usr/bin/env bash
# Coverage of the default voice on real Vietnamese text: Debian's Vietnamese manual pages
# (manpages-vi) and the New Maintainers' Guide (maint-guide-vi). Counts the words of each text that
# are Vietnamese syllables, the share the voice speaks (its unit "<AsciiForm>.0" exists, as the
# engine tests a word after lower-casing it), the lone letters the engine spells and the English
# words its dictionary reads, and lists every syllable it lacks, most frequent first.
#   bench/coverage.sh            uses build/ (building velorin-voice and the default voice there)
#   VOICE=path bench/coverage.sh uses another voice
# The texts are brought to precomposed letters (NFC) first: the pages hold a few decomposed ones,
# which the engine does not join, and which say nothing about the syllables the voice holds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${BUILD:-$root/build}"
guide=/usr/share/doc/maint-guide-vi/html
manpages=/usr/share/man/vi

bash "$root/scripts/install-deps"
if [ ! -d "$guide" ] || [ ! -d "$manpages" ] || ! command -v groff >/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends maint-guide-vi manpages-vi groff-base python3 >/dev/null
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
if [ -z "${VOICE:-}" ]; then
  cmake --build "$build" -j 2 --target velorin-voice default-voice >&2
  VOICE="$build/voices/vi-default.voice"
else
  cmake --build "$build" -j 2 --target velorin-voice >&2
fi

nfc() { python3 -c 'import sys, unicodedata; sys.stdout.write(unicodedata.normalize("NFC", sys.stdin.read()))'; }
mkdir -p "$build/bench"

# The manual pages, rendered by groff as a terminal would show them.
pages="$build/bench/manpages-vi.txt"
mapfile -t page_files < <(find "$manpages" -type f -name '*.gz' | sort)
for page in "${page_files[@]}"; do
  zcat "$page" | preconv -e UTF-8 | groff -Tutf8 -man -P-cbou 2>/dev/null
done | nfc > "$pages"
echo "manpages-vi $(dpkg-query -W -f='${Version}' manpages-vi): ${#page_files[@]} pages, $(wc -w < "$pages") words"
"$build/bin/velorin-voice" check --all --text "$pages" "$VOICE" | sed -n '/text /,$p' | grep -v '^  ok$'

# The guide's chapters in reading order, as its index links them.
text="$build/bench/maint-guide-vi.txt"
chapters=(index start first dreq dother build checkit upload update advanced modify)
files=()
for c in "${chapters[@]}"; do
  [ -f "$guide/$c.vi.html" ] && files+=("$guide/$c.vi.html")
done
for f in "$guide"/*.vi.html; do
  case " ${files[*]} " in *" $f "*) ;; *) files+=("$f") ;; esac
done
python3 "$root/bench/extract_html_text.py" "${files[@]}" | nfc > "$text"
echo "maint-guide-vi $(dpkg-query -W -f='${Version}' maint-guide-vi): ${#files[@]} chapters, $(wc -w < "$text") words"
"$build/bin/velorin-voice" check --all --text "$text" "$VOICE" | sed -n '/text /,$p' | grep -v '^  ok$'

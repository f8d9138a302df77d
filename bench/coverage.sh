#!/usr/bin/env bash
# Coverage of the default voice on real Vietnamese text: the Debian New Maintainers' Guide in
# Vietnamese (Debian package maint-guide-vi). Counts the words of the guide that are Vietnamese
# syllables and the share of them the voice speaks (its unit "<AsciiForm>.0" exists, as the engine
# tests a word after lower-casing it).
#   bench/coverage.sh            uses build/ (building velorin-voice and the default voice there)
#   VOICE=path bench/coverage.sh uses another voice
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${BUILD:-$root/build}"
guide=/usr/share/doc/maint-guide-vi/html

bash "$root/scripts/install-deps"
if [ ! -d "$guide" ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends maint-guide-vi python3 >/dev/null
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

text="$build/bench/maint-guide-vi.txt"
mkdir -p "$(dirname "$text")"
# The chapters in reading order, as the guide's index links them.
chapters=(index start first dreq dother build checkit upload update advanced modify)
files=()
for c in "${chapters[@]}"; do
  [ -f "$guide/$c.vi.html" ] && files+=("$guide/$c.vi.html")
done
for f in "$guide"/*.vi.html; do
  case " ${files[*]} " in *" $f "*) ;; *) files+=("$f") ;; esac
done
python3 "$root/bench/extract_html_text.py" "${files[@]}" > "$text"
echo "text: $text ($(wc -w < "$text") words, ${#files[@]} chapters)"
"$build/bin/velorin-voice" check --text "$text" "$VOICE" | sed -n '/text /,$p'

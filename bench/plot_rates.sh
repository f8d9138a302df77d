#!/usr/bin/env bash
# Draws the waveform and energy of one sentence spoken with the default voice at rates 25, 50
# and 100, so that pauses and syllables can be seen without listening: docs/rates.png.
#   bench/plot_rates.sh [OUTPUT.png]      (BUILD=dir picks another build folder than build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${BUILD:-$root/build}"
output="${1:-$root/docs/rates.png}"
sentence="Xin chào, hôm nay là ngày 25 tháng 12. Tôi đang thử Velorin."

bash "$root/scripts/install-deps"
if ! command -v gnuplot >/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends gnuplot-nox python3 >/dev/null
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j 2 --target velorin-say default-voice >&2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for rate in 25 50 100; do
  "$build/bin/velorin-say" --rate "$rate" -o "$work/rate$rate.wav" "$sentence"
  # Columns: seconds, sample (downsampled to its 2 ms extreme) and RMS energy in dB per 10 ms.
  python3 - "$work/rate$rate.wav" > "$work/rate$rate.dat" <<'PY'
import array, math, sys, wave
with wave.open(sys.argv[1]) as w:
    rate = w.getframerate()
    samples = array.array("h", w.readframes(w.getnframes()))
step, window = rate // 500, rate // 100
for start in range(0, len(samples), step):
    block = samples[start:start + step]
    peak = max(block, key=abs) / 32768.0
    frame = samples[start - start % window:start - start % window + window]
    rms = math.sqrt(sum(s * s for s in frame) / len(frame)) if frame else 0
    db = 20 * math.log10(rms / 32768.0) if rms > 0 else -90
    print(f"{start / rate:.4f} {peak:.4f} {max(db, -90):.1f}")
PY
done

gnuplot <<EOF_PLOT
set terminal pngcairo size 1400,900 font ",10"
set output "$output"
set multiplot layout 3,1 title "Velorin, default voice: \"$sentence\"\nwaveform (grey, left axis) and energy in dB per 10 ms (blue, right axis)"
set xlabel "seconds"
set yrange [-1:1]
set y2range [-70:0]
set ytics nomirror
set y2tics -60,20,0
set xrange [0:*]
do for [rate in "25 50 100"] {
  set title sprintf("rate %s", rate)
  plot sprintf("$work/rate%s.dat", rate) using 1:2 with lines lc rgb "#999999" notitle, \
       "" using 1:3 axes x1y2 with lines lw 1.5 lc rgb "#1f4e9c" notitle
}
unset multiplot
EOF_PLOT
echo "wrote $output"

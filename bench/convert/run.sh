#!/usr/bin/env bash
# Converting a long WAV with normalisation and trimming on, against sox doing
# the same kind of two-pass job (sox IN OUT --norm=-0.26). Both run in turn
# under hyperfine; CPU time (user + system) and peak memory come from
# /usr/bin/time, medians over the runs. Results go to bench/results/.
#
# Usage: bench/convert/run.sh [minutes] [runs]     (defaults: 10 minutes, 5 runs)
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
minutes="${1:-10}"
runs="${2:-5}"
# shellcheck source=bench/convert/common.sh
source "$here/bench/convert/common.sh"
bench_prepare

src="$work/in.wav"
# Tones with a slow tremolo, with silence at both ends so that trimming has
# work to do.
sox -n -r 44100 -c 2 -b 16 "$src" synth "$((minutes * 60))" sine 220 sine 330 \
  tremolo 0.5 40 vol 0.5 pad 2 2

: >"$work/sonoduct.runs"
: >"$work/sox.runs"
for _ in $(seq "$runs"); do  # alternate the two
  measure sonoduct "$bin/sonoduct" -C "$src"
  measure sox sox "$src" "$work/sox-out.wav" --norm=-0.26
done
s_cpu=$(cut -d' ' -f1 "$work/sonoduct.runs" | median)
x_cpu=$(cut -d' ' -f1 "$work/sox.runs" | median)
s_mem=$(cut -d' ' -f2 "$work/sonoduct.runs" | median)
x_mem=$(cut -d' ' -f2 "$work/sox.runs" | median)
ratio=$(awk -v a="$s_cpu" -v b="$x_cpu" 'BEGIN {printf "%.2f", a / b}')
{
  echo "convert ${minutes}-minute 44.1 kHz stereo WAV, normalise + trim, $runs runs each"
  echo "sonoduct: median CPU ${s_cpu}s, peak RSS ${s_mem} KB"
  echo "sox --norm: median CPU ${x_cpu}s, peak RSS ${x_mem} KB"
  echo "CPU ratio sonoduct/sox: $ratio"
} | tee "$results/convert-${minutes}min.txt"
if command -v hyperfine >/dev/null; then
  hyperfine --warmup 1 --runs "$runs" \
    "$bin/sonoduct -C $src" "sox $src $work/sox-out.wav --norm=-0.26" \
    --export-markdown "$results/convert-${minutes}min-hyperfine.md" >/dev/null || true
fi

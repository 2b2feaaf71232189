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
"$here/scripts/setup.sh" bench
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$here/build" -j"$(nproc)" >/dev/null
bin="$here/build/bin"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
results="$here/bench/results"
mkdir -p "$results"

export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
export XDG_RUNTIME_DIR="$work/run" DISPLAY= WAYLAND_DISPLAY=
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
key='HKCU\SOFTWARE\Quillon\Sonoduct'
"$bin/reg" set "$key" DefaultDir sz "$work/out/"
"$bin/reg" set "$key" CPUSleepTime dword 0
"$bin/reg" set "$key" PlaySound dword 0
"$bin/reg" set "$key" OpenDecodeOnExit dword 0
"$bin/reg" set "$key" PromptForOverWrites dword 0

src="$work/in.wav"
# Tones with a slow tremolo, with silence at both ends so that trimming has
# work to do.
sox -n -r 44100 -c 2 -b 16 "$src" synth "$((minutes * 60))" sine 220 sine 330 \
  tremolo 0.5 40 vol 0.5 pad 2 2

measure() {  # name command... : prints "cpu_seconds max_rss_kb" per run
  local name="$1"
  shift
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "%U %S %M" -o "$work/$name.time" "$@" >/dev/null 2>&1
    awk '{printf "%.3f %d\n", $1 + $2, $3}' "$work/$name.time" >>"$work/$name.runs"
  done
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

: >"$work/sonoduct.runs"
: >"$work/sox.runs"
for _ in $(seq "$runs"); do  # alternate the two
  runs=1 measure sonoduct "$bin/sonoduct" -C "$src"
  runs=1 measure sox sox "$src" "$work/sox-out.wav" --norm=-0.26
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

#!/usr/bin/env bash
# Encoding a long 44.1 kHz stereo WAV to MP3 with the default preset (CD:
# 192 kbit/s CBR stereo), against the lame program with the same settings
# (lame -b 192 -m s): the encoder is LAME in both, so the ratio shows what
# our part costs. Run twice: normalisation and trimming off, then on.
# The commands run in turn, alternating; CPU time (user + system) and peak
# memory come from /usr/bin/time, medians over the runs. Results go to
# bench/results/.
#
# Usage: bench/convert/mp3enc.sh [minutes] [runs]     (defaults: 5 minutes, 5 runs)
# The Release build goes to build/ unless SONODUCT_BENCH_BUILD names another folder.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
minutes="${1:-5}"
runs="${2:-5}"
"$here/scripts/setup.sh" bench
build="${SONODUCT_BENCH_BUILD:-$here/build}"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target sonoduct reg mp3enc_lame mp3enc_blade -j"$(nproc)" >/dev/null
bin="$build/bin"
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
"$bin/reg" set "$key" bWarnAboutIncompleteSongs dword 0

src="$work/in.wav"
# Tones with a slow tremolo and noise, silence at both ends so that trimming
# has work to do.
sox -n -r 44100 -c 2 -b 16 "$src" synth "$((minutes * 60))" sine 220 sine 330 \
  pinknoise tremolo 0.5 40 vol 0.5 pad 2 2

measure() {  # name command... : appends "cpu_seconds max_rss_kb"
  local name="$1"
  shift
  /usr/bin/time -f "%U %S %M" -o "$work/$name.time" "$@" >/dev/null 2>&1
  awk '{printf "%.3f %d\n", $1 + $2, $3}' "$work/$name.time" >>"$work/$name.runs"
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

report() {  # name-a name-b label
  local a_cpu b_cpu a_mem b_mem
  a_cpu=$(cut -d' ' -f1 "$work/$1.runs" | median)
  b_cpu=$(cut -d' ' -f1 "$work/$2.runs" | median)
  a_mem=$(cut -d' ' -f2 "$work/$1.runs" | median)
  b_mem=$(cut -d' ' -f2 "$work/$2.runs" | median)
  echo "$3"
  echo "  sonoduct: median CPU ${a_cpu}s, peak RSS ${a_mem} KB"
  echo "  $2: median CPU ${b_cpu}s, peak RSS ${b_mem} KB"
  echo "  CPU ratio sonoduct/$2: $(awk -v a="$a_cpu" -v b="$b_cpu" 'BEGIN {printf "%.2f", a / b}')"
}

run_pair() {  # label
  : >"$work/sonoduct.runs"
  : >"$work/lame.runs"
  for _ in $(seq "$runs"); do  # alternate the two
    rm -rf "$work/out" "$XDG_CACHE_HOME"
    measure sonoduct "$bin/sonoduct" -3 "$src"
    measure lame lame --quiet -b 192 -m s "$src" "$work/lame-out.mp3"
  done
  report sonoduct lame "$1"
}

{
  "$bin/reg" set "$key" NormalizeVolume dword 0
  "$bin/reg" set "$key" bTrimSoundsAutomatically dword 0
  run_pair "${minutes}-minute 44.1 kHz stereo WAV to MP3 (CD preset), plain, $runs runs each"
  "$bin/reg" set "$key" NormalizeVolume dword 1
  "$bin/reg" set "$key" bTrimSoundsAutomatically dword 1
  run_pair "${minutes}-minute 44.1 kHz stereo WAV to MP3 (CD preset), normalise + trim, $runs runs each"
} | tee "$results/convert-mp3enc-${minutes}min.txt"

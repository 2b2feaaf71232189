#!/usr/bin/env bash
# Twenty long WAVs to MP3 (the default preset, 192 kbit/s CBR stereo), one
# file at a time (-j 1) against two at once (-j 2), and against the lame
# program with the same settings over the same files, two at once through
# xargs -P 2. Normalisation and trimming off, so that all three do the same
# work. The commands run in turn, alternating; wall and CPU time (user +
# system) come from /usr/bin/time, medians over the runs. The wall-time
# ratio of -j 2 to -j 1 is what two cores buy. Results go to bench/results/.
#
# Usage: bench/convert/parallel.sh [minutes] [runs] [files]   (defaults: 5 minutes, 3 runs, 20 files)
# The Release build goes to build/ unless SONODUCT_BENCH_BUILD names another folder.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
minutes="${1:-5}"
runs="${2:-3}"
files="${3:-20}"

# shellcheck source=bench/convert/common.sh
source "$here/bench/convert/common.sh"
bench_prepare sonoduct reg mp3enc_lame
"$bin/reg" set "$key" bWarnAboutIncompleteSongs dword 0
"$bin/reg" set "$key" NormalizeVolume dword 0
"$bin/reg" set "$key" bTrimSoundsAutomatically dword 0

# One long source, copied: each copy is its own file to the converter.
mkdir -p "$work/in"
sox -n -r 44100 -c 2 -b 16 "$work/in/song00.wav" synth "$(awk -v m="$minutes" 'BEGIN {print m * 60}')" \
  sine 220 sine 330 pinknoise tremolo 0.5 40 vol 0.5
for i in $(seq 1 $((files - 1))); do
  cp "$work/in/song00.wav" "$work/in/song$(printf %02d "$i").wav"
done
sources=("$work"/in/*.wav)

timed() {  # name command... : appends "wall cpu" to $work/name.runs
  local name="$1"
  shift
  /usr/bin/time -f "%e %U %S" -o "$work/$name.time" "$@" >/dev/null 2>&1
  awk '{printf "%.2f %.2f\n", $1, $2 + $3}' "$work/$name.time" >>"$work/$name.runs"
}

lame_pair() {  # what xargs runs: lame over one file into $work/lame/
  lame --quiet -b 192 -m s "$1" "$work/lame/$(basename "$1" .wav).mp3"
}
export -f lame_pair
export work

for name in j1 j2 lame; do : >"$work/$name.runs"; done
for _ in $(seq "$runs"); do  # alternate the three
  rm -rf "$work/out" "$XDG_CACHE_HOME" "$work/lame"
  timed j1 "$bin/sonoduct" -j 1 -3 "${sources[@]}"
  rm -rf "$work/out" "$XDG_CACHE_HOME"
  timed j2 "$bin/sonoduct" -j 2 -3 "${sources[@]}"
  mkdir -p "$work/lame"
  timed lame bash -c 'printf "%s\0" "$@" | xargs -0 -P 2 -n 1 bash -c '\''lame_pair "$1"'\'' _' \
    _ "${sources[@]}"
done
test "$(ls "$work/out" | wc -l)" -eq "$files"

col() { cut -d' ' -f"$2" "$work/$1.runs" | median; }
{
  echo "$files ${minutes}-minute 44.1 kHz stereo WAVs to 192 kbit/s MP3, plain, $runs runs each, $(nproc) cores"
  for name in j1 j2 lame; do
    label="$name"
    case "$name" in
      j1) label="sonoduct -j 1" ;;
      j2) label="sonoduct -j 2" ;;
      lame) label="lame via xargs -P 2" ;;
    esac
    echo "  $label: median wall $(col "$name" 1)s, CPU $(col "$name" 2)s"
  done
  echo "  wall ratio -j 2 / -j 1: $(awk -v a="$(col j2 1)" -v b="$(col j1 1)" 'BEGIN {printf "%.2f", a / b}')"
  echo "  wall ratio -j 2 / lame -P 2: $(awk -v a="$(col j2 1)" -v b="$(col lame 1)" 'BEGIN {printf "%.2f", a / b}')"
  echo "  CPU ratio -j 2 / lame -P 2: $(awk -v a="$(col j2 2)" -v b="$(col lame 2)" 'BEGIN {printf "%.2f", a / b}')"
} | tee "$results/convert-parallel-${minutes}min.txt"

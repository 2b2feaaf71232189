#!/usr/bin/env bash
# WMA both ways against ffmpeg, whose libraries do the codec work in both:
#   a WMA (made by ffmpeg, 128 kbit/s) to WAV, against ffmpeg -i IN.wma OUT.wav;
#   a WAV to WMA (the default: 128 kbit/s), against
#   ffmpeg -i IN.wav -c:a wmav2 -b:a 128k OUT.wma.
# Normalisation and trimming off, no pause between blocks. The commands run
# in turn, alternating; CPU time (user + system) and peak memory come from
# /usr/bin/time, medians over the runs. Results go to bench/results/.
#
# Usage: bench/convert/wma.sh [minutes] [runs]     (defaults: 5 minutes, 5 runs)
# The Release build goes to build/ unless SONODUCT_BENCH_BUILD names another folder.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
minutes="${1:-5}"
runs="${2:-5}"

# shellcheck source=bench/convert/common.sh
source "$here/bench/convert/common.sh"
bench_prepare sonoduct reg wmaglue
"$bin/reg" set "$key" bWarnAboutIncompleteSongs dword 0
"$bin/reg" set "$key" NormalizeVolume dword 0
"$bin/reg" set "$key" bTrimSoundsAutomatically dword 0

wav="$work/in.wav"
wma="$work/in.wma"
sox -n -r 44100 -c 2 -b 16 "$wav" synth "$((minutes * 60))" sine 220 sine 330 \
  pinknoise tremolo 0.5 40 vol 0.5
ffmpeg -nostdin -v error -y -i "$wav" -c:a wmav2 -b:a 128k "$wma"

run_pair() {  # switch source reference-args... ; label last
  local switch="$1" source="$2" label="$3"
  shift 3
  : >"$work/sonoduct.runs"
  : >"$work/ffmpeg.runs"
  for _ in $(seq "$runs"); do  # alternate the two
    rm -rf "$work/out" "$XDG_CACHE_HOME"
    measure sonoduct "$bin/sonoduct" "$switch" "$source"
    measure ffmpeg ffmpeg -nostdin -v error -y "$@"
  done
  report sonoduct ffmpeg "$label"
}

{
  run_pair -C "$wma" "${minutes}-minute 128 kbit/s WMA to WAV, plain, $runs runs each" \
    -i "$wma" "$work/ffmpeg-out.wav"
  run_pair -M "$wav" "${minutes}-minute 44.1 kHz stereo WAV to 128 kbit/s WMA, plain, $runs runs each" \
    -i "$wav" -c:a wmav2 -b:a 128k "$work/ffmpeg-out.wma"
} | tee "$results/convert-wma-${minutes}min.txt"

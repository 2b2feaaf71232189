#!/usr/bin/env bash
# Converting a long 192 kbit/s MP3 to WAV, twice:
#  1. normalisation and trimming on (two decodes: the analysis scan and the
#     conversion), against sox doing the same kind of two-pass job
#     (sox IN.mp3 OUT.wav --norm=-0.26);
#  2. normalisation and trimming off (one decode), against mpg123 -w.
# The commands run in turn, alternating; CPU time (user + system) and peak
# memory come from /usr/bin/time, medians over the runs. Each sonoduct run
# starts with an empty cache folder, so the analysis scan is always done.
# Results go to bench/results/.
#
# Usage: bench/convert/mp3.sh [minutes] [runs]     (defaults: 5 minutes, 5 runs)
# The Release build goes to build/ unless SONODUCT_BENCH_BUILD names another folder.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
minutes="${1:-5}"
runs="${2:-5}"

# shellcheck source=bench/convert/common.sh
source "$here/bench/convert/common.sh"
bench_prepare sonoduct reg

src="$work/in.mp3"
# Tones with a slow tremolo and noise, silence at both ends so that trimming
# has work to do, encoded by lame at 192 kbit/s joint stereo.
sox -n -r 44100 -c 2 -b 16 "$work/in.wav" synth "$((minutes * 60))" sine 220 sine 330 \
  pinknoise tremolo 0.5 40 vol 0.5 pad 2 2
lame --quiet -b 192 "$work/in.wav" "$src"
rm -f "$work/in.wav"



run_pair() {  # label reference-name reference-command...
  local label="$1" ref="$2"
  shift 2
  : >"$work/sonoduct.runs"
  : >"$work/$ref.runs"
  for _ in $(seq "$runs"); do  # alternate the two
    rm -rf "$work/out" "$XDG_CACHE_HOME"
    measure sonoduct "$bin/sonoduct" -C "$src"
    measure "$ref" "$@"
  done
  report sonoduct "$ref" "$label"
}

{
  "$bin/reg" set "$key" NormalizeVolume dword 1
  "$bin/reg" set "$key" bTrimSoundsAutomatically dword 1
  run_pair "${minutes}-minute 192 kbit/s MP3 to WAV, normalise + trim, $runs runs each" \
    sox sox "$src" "$work/sox-out.wav" --norm=-0.26
  "$bin/reg" set "$key" NormalizeVolume dword 0
  "$bin/reg" set "$key" bTrimSoundsAutomatically dword 0
  "$bin/reg" set "$key" bWarnAboutIncompleteSongs dword 0
  run_pair "${minutes}-minute 192 kbit/s MP3 to WAV, plain decode, $runs runs each" \
    mpg123 mpg123 -q -w "$work/mpg123-out.wav" "$src"
} | tee "$results/convert-mp3-${minutes}min.txt"

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

# shellcheck source=bench/convert/common.sh
source "$here/bench/convert/common.sh"
bench_prepare sonoduct reg mp3enc_lame mp3enc_blade
"$bin/reg" set "$key" bWarnAboutIncompleteSongs dword 0

src="$work/in.wav"
# Tones with a slow tremolo and noise, silence at both ends so that trimming
# has work to do.
sox -n -r 44100 -c 2 -b 16 "$src" synth "$((minutes * 60))" sine 220 sine 330 \
  pinknoise tremolo 0.5 40 vol 0.5 pad 2 2



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

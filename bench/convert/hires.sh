#!/usr/bin/env bash
# Converting a long 96 kHz 24-bit stereo WAV to a CD-quality WAV (44.1 kHz,
# 16-bit) with normalisation and trimming on, against sox doing the same
# work (sox IN.wav -r 44100 -b 16 OUT.wav --norm=-0.26). The commands run in
# turn, alternating; CPU time (user + system) and peak memory come from
# /usr/bin/time, medians over the runs. Each sonoduct run starts with an empty
# cache folder, so the analysis scan is always done. Results go to
# bench/results/.
#
# Usage: bench/convert/hires.sh [minutes] [runs]     (defaults: 10 minutes, 3 runs)
# The Release build goes to build/ unless SONODUCT_BENCH_BUILD names another folder.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
minutes="${1:-10}"
runs="${2:-3}"
# shellcheck source=bench/convert/common.sh
source "$here/bench/convert/common.sh"
bench_prepare sonoduct reg
"$bin/reg" set "$key" NormalizeVolume dword 1
"$bin/reg" set "$key" bTrimSoundsAutomatically dword 1
# CD quality: 44100 Hz, 16-bit stereo whatever the source.
"$bin/reg" set "$key\\WaveEncoderOptions" ConvertToCDQuality dword 1

src="$work/in.wav"
# Tones with a slow tremolo and noise, silence at both ends so that trimming
# has work to do; sox writes 24-bit stereo as WAVE_FORMAT_EXTENSIBLE.
sox -n -r 96000 -c 2 -b 24 "$src" synth "$((minutes * 60))" sine 220 sine 330 \
  pinknoise tremolo 0.5 40 vol 0.5 pad 2 2


: >"$work/sonoduct.runs"
: >"$work/sox.runs"
for _ in $(seq "$runs"); do  # alternate the two
  rm -rf "$work/out" "$XDG_CACHE_HOME"
  measure sonoduct "$bin/sonoduct" -C "$src"
  measure sox sox "$src" -r 44100 -b 16 "$work/sox-out.wav" --norm=-0.26
done
s_cpu=$(cut -d' ' -f1 "$work/sonoduct.runs" | median)
x_cpu=$(cut -d' ' -f1 "$work/sox.runs" | median)
s_mem=$(cut -d' ' -f2 "$work/sonoduct.runs" | median)
x_mem=$(cut -d' ' -f2 "$work/sox.runs" | median)
ratio=$(awk -v a="$s_cpu" -v b="$x_cpu" 'BEGIN {printf "%.2f", a / b}')
{
  echo "convert ${minutes}-minute 96 kHz 24-bit stereo WAV to CD-quality WAV, normalise + trim, $runs runs each"
  echo "sonoduct: median CPU ${s_cpu}s, peak RSS ${s_mem} KB"
  echo "sox -r 44100 -b 16 --norm: median CPU ${x_cpu}s, peak RSS ${x_mem} KB"
  echo "CPU ratio sonoduct/sox: $ratio"
} | tee "$results/convert-hires-${minutes}min.txt"

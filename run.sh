#!/usr/bin/env bash
# Installs what is missing, builds Sonoduct and runs it on the command line's
# arguments (files, and switches such as -C for WAV or -3 for MP3). With no
# argument it makes a short sample sound and converts that to MP3.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/setup.sh"
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$here/build" -j"$(nproc)" >/dev/null
args=("$@")
if [[ ${#args[@]} -eq 0 ]]; then
  sample="${TMPDIR:-/tmp}/sonoduct-sample.wav"
  sox -n -r 44100 -c 2 -b 16 "$sample" synth 3 sine 440 fade 0.2 3 0.5 vol 0.5
  echo "No file named; converting the sample $sample to MP3" >&2
  args=(-3 "$sample")
fi
exec "$here/build/bin/sonoduct" "${args[@]}"

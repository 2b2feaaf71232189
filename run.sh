#!/usr/bin/env bash
# Installs what is missing, builds Sonoduct and converts the files named on the
# command line. With no file it makes a short sample sound and converts that.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/setup.sh"
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$here/build" -j"$(nproc)" >/dev/null
files=("$@")
if [[ ${#files[@]} -eq 0 ]]; then
  sample="${TMPDIR:-/tmp}/sonoduct-sample.wav"
  sox -n -r 44100 -c 2 -b 16 "$sample" synth 3 sine 440 fade 0.2 3 0.5 vol 0.5
  echo "No file named; converting the sample $sample" >&2
  files=("$sample")
fi
exec "$here/build/bin/sonoduct" -C "${files[@]}"

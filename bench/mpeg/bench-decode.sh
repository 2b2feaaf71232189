#!/bin/sh
# Decoding speed of the MPEG decoder library (its public interface, file
# input) over a file of the caller's choice, or over a 5-minute 192 kbit/s
# MP3 made with sox and lame; compare with mpg123's time on the same file.
#   bench/mpeg/bench-decode.sh [FILE [ROUNDS [BUILD-DIR]]]
#   (default 5 rounds; BUILD-DIR default build-bench, built in Release)
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
rounds=${2:-5}
build=${3:-$root/build-bench}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ ! -f "$build/lib/libmpegaudio.a" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSONODUCT_TESTS=OFF >/dev/null
  cmake --build "$build" --target mpegaudio -j2 >/dev/null
fi
g++ -std=c++20 -O2 -I"$root" "$root/bench/mpeg/DecodeBench.cpp" "$build/lib/libmpegaudio.a" \
  -o "$work/mpeg-decode-bench"
file=${1:-}
if [ -z "$file" ]; then
  sox -n -r 44100 -c 2 -b 16 "$work/in.wav" synth 300 sine 200-3000 sine 300-2000 gain -4
  lame --quiet -b 192 "$work/in.wav" "$work/five.mp3"
  file=$work/five.mp3
fi
"$work/mpeg-decode-bench" "$file" "$rounds"
/usr/bin/time -f "mpg123 once: %U s user, %S s sys" mpg123 -q -s --no-gapless "$file" >/dev/null

#!/bin/sh
# CPU time of the MPEG decoding object's two passes over a 5-minute 192 kbit/s
# MP3 (scan with peaks and seek map, then a full decode through the buffer),
# against two runs of `mpg123 -q -s --no-gapless` on the same file.
#   bench/xam/bench-xam.sh [BUILD-DIR]   (default build-bench, built in Release)
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-bench}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ ! -f "$build/bin/libtonalis.so" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSONODUCT_TESTS=OFF >/dev/null
  cmake --build "$build" --target tonalis -j2 >/dev/null
fi
g++ -std=c++20 -O2 -I"$root" "$root/bench/xam/XamBench.cpp" -L"$build/bin" -ltonalis \
  -lutilities -lfilora -Wl,-rpath,"$build/bin" -o "$work/xam-bench"
sox -n -r 44100 -c 2 -b 16 "$work/in.wav" synth 300 sine 200-3000 sine 300-2000 gain -4
lame --quiet -b 192 "$work/in.wav" "$work/five.mp3"
"$work/xam-bench" "$work/five.mp3" 5
/usr/bin/time -f "mpg123 twice: %U s user, %S s sys" sh -c \
  "mpg123 -q -s --no-gapless '$work/five.mp3' >/dev/null; mpg123 -q -s --no-gapless '$work/five.mp3' >/dev/null"

#!/bin/sh
# Builds the engine in Release into build-bench and times the sound's
# play-once render (10 minutes of 44.1 kHz stereo, held in memory).
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-bench}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSONODUCT_TESTS=OFF >/dev/null
cmake --build "$build" --target tonalis -j2 >/dev/null
g++ -std=c++20 -O2 -I"$root" "$root/bench/sound/MixBench.cpp" -L"$build/bin" -ltonalis \
  -lutilities -lfilora -Wl,-rpath,"$build/bin" -o "$build/mix-bench"
"$build/mix-bench"

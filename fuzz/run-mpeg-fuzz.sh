#!/usr/bin/env bash
# Builds the MPEG codec fuzz target with clang (libFuzzer, ASan, UBSan) in
# its own build folder and runs it for the given number of seconds (default
# 300), seeded with the MPEG test vectors. New corpus entries and any crash
# land in build-fuzz/corpus and build-fuzz/artifacts.
#   fuzz/run-mpeg-fuzz.sh [SECONDS] [JOBS]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-300}"
jobs="${2:-1}"
build="$here/build-fuzz"
vectors="${SONODUCT_VECTORS:-$here/../shared/vectors}/mpeg"
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSONODUCT_FUZZ=ON -DSONODUCT_TESTS=OFF >/dev/null
cmake --build "$build" --target fuzz_mpeg_codec -j"$(nproc)"
mkdir -p "$build/corpus" "$build/artifacts" "$build/seeds"
# Seeds: each vector behind a control byte choosing the static buffer
# (0x00) or the ring fed in 2 KiB-ish pieces (0x71), cut to 16 KiB.
for f in "$vectors"/*.bit "$vectors"/fuzz/*.mp3; do
  [[ -f "$f" ]] || continue
  base=$(basename "$f")
  { printf '\x00'; head -c 16384 "$f"; } >"$build/seeds/s-$base"
  { printf '\x71'; head -c 16384 "$f"; } >"$build/seeds/r-$base"
done
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
parallel=()
((jobs > 1)) && parallel=(-jobs="$jobs" -workers="$jobs")
cd "$build"  # parallel runs write their fuzz-N.log files here
exec "$build/bin/fuzz_mpeg_codec" "$build/corpus" "$build/seeds" -max_total_time="$seconds" \
  -max_len=20000 -rss_limit_mb=2048 -timeout=10 "${parallel[@]}" \
  -artifact_prefix="$build/artifacts/" -print_final_stats=1

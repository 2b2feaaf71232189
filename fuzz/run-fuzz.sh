#!/usr/bin/env bash
# Builds one fuzz target with clang (libFuzzer, ASan, UBSan) in its own build
# folder and runs it for the given number of seconds (default 300), seeded by
# fuzz/make-seeds.sh. Works from a fresh clone; needs clang, sox, lame,
# twolame and id3v2. New corpus entries and any crash land in
# build-fuzz/corpus/TARGET and build-fuzz/artifacts/TARGET.
#   fuzz/run-fuzz.sh TARGET [SECONDS] [JOBS]
# TARGET: mpeg_codec, wav_load, id3v2, id3v1, mp3_info, reg_tree, asf_header, playlist or
# cda_parser.
# SONODUCT_FUZZ_BUILD names another build folder; extra libFuzzer options
# go into SONODUCT_FUZZ_ARGS (e.g. "-runs=0" to replay the corpus only).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
target="${1:-}"
seconds="${2:-300}"
jobs="${3:-1}"
case "$target" in
  mpeg_codec) max_len=20000 ;;
  wav_load | mp3_info) max_len=32768 ;;
  id3v2) max_len=8192 ;;
  id3v1 | cda_parser) max_len=512 ;;
  reg_tree) max_len=4096 ;;
  asf_header | playlist) max_len=16384 ;;
  *)
    sed -n '2,11s/^# \{0,1\}//p' "$0" >&2
    exit 2
    ;;
esac
build="${SONODUCT_FUZZ_BUILD:-$here/build-fuzz}"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSONODUCT_FUZZ=ON -DSONODUCT_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" --target "fuzz_$target" -j"${SONODUCT_BUILD_JOBS:-$(nproc)}"

corpus="$build/corpus/$target"
seeds="$build/seeds/$target"
artifacts="$build/artifacts/$target"
mkdir -p "$corpus" "$artifacts"
if [[ ! -d "$seeds" ]] || [[ -z "$(ls -A "$seeds")" ]]; then
  "$here/fuzz/make-seeds.sh" "$target" "$seeds"
fi
dict=()
[[ -f "$here/fuzz/dict/$target.dict" ]] && dict=(-dict="$here/fuzz/dict/$target.dict")
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
parallel=()
((jobs > 1)) && parallel=(-jobs="$jobs" -workers="$jobs")
mkdir -p "$build/logs/$target"
cd "$build/logs/$target"  # parallel runs write their fuzz-N.log files here
# shellcheck disable=SC2086
exec "$build/bin/fuzz_$target" "$corpus" "$seeds" -max_total_time="$seconds" \
  -max_len="$max_len" -rss_limit_mb=2048 -timeout=10 "${parallel[@]}" "${dict[@]}" \
  -artifact_prefix="$artifacts/" -print_final_stats=1 ${SONODUCT_FUZZ_ARGS:-}

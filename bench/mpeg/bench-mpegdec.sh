#!/usr/bin/env bash
# CPU time of decoding to raw PCM on standard output: `mpegdec IN -` against
# `mpg123 -q -s --no-gapless IN`, for a 5-minute 44.1 kHz stereo signal coded
# as MP3 192 kbit/s CBR, as lame -V2 VBR, and as 256 kbit/s layer II
# (twolame). The two decoders are run alternately; the medians of user+sys
# time and their ratio are printed and written to bench/results/mpegdec.txt.
#   bench/mpeg/bench-mpegdec.sh [RUNS]   (default 9)
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
runs="${1:-9}"
results="$here/bench/results"
work="$results/mpegdec-inputs"
build="$results/build-release"
mkdir -p "$work"
for p in sox lame twolame mpg123 hyperfine; do
  command -v "$p" >/dev/null || { echo "missing: $p" >&2; exit 1; }
done

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSONODUCT_TESTS=OFF >/dev/null
cmake --build "$build" --target mpegdec >/dev/null
mpegdec="$build/bin/mpegdec"

# Something music-like: two voices over a slow sweep with pink noise and a
# tremolo, so the encoders use all their tools (block switching, stereo modes).
src="$work/music.wav"
if [[ ! -s "$src" ]]; then
  sox -n -r 44100 -c 2 -b 16 "$src" synth 300 sine 110-1760 sine 330 pinknoise \
    remix 1,3 2,3 tremolo 4 50 vol 0.5
fi
[[ -s "$work/cbr192.mp3" ]] || lame --quiet -b 192 "$src" "$work/cbr192.mp3"
[[ -s "$work/vbr-v2.mp3" ]] || lame --quiet -V2 "$src" "$work/vbr-v2.mp3"
[[ -s "$work/l2-256.mp2" ]] || twolame --quiet -b 256 "$src" "$work/l2-256.mp2"

# Median of the numbers on standard input.
median() { sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
cpu() { /usr/bin/time -f "%U %S" -o "$work/time" "$@" >/dev/null 2>&1; awk '{print $1+$2}' "$work/time"; }

out="$results/mpegdec.txt"
{
  echo "mpegdec vs mpg123 $(mpg123 --version | head -1), $(date -u '+%Y-%m-%d %H:%M UTC'), $runs alternating runs"
  printf '%-12s %12s %12s %8s\n' input "mpegdec s" "mpg123 s" ratio
} | tee "$out"
for f in cbr192.mp3 vbr-v2.mp3 l2-256.mp2; do
  in="$work/$f"
  # Both decoders must produce the same amount of audio, or the timing means nothing.
  a=$("$mpegdec" "$in" - | wc -c)
  b=$(mpg123 -q -s --no-gapless "$in" | wc -c)
  [[ "$a" == "$b" ]] || echo "warning: $f: mpegdec $a bytes, mpg123 $b bytes" >&2
  : >"$work/ours" ; : >"$work/theirs"
  for ((i = 0; i < runs; i++)); do
    cpu "$mpegdec" "$in" - >>"$work/ours"
    cpu mpg123 -q -s --no-gapless "$in" >>"$work/theirs"
  done
  ours=$(median <"$work/ours")
  theirs=$(median <"$work/theirs")
  printf '%-12s %12.3f %12.3f %8.2f\n' "$f" "$ours" "$theirs" "$(echo "$ours / $theirs" | bc -l)" | tee -a "$out"
done
# Wall-clock view of the same runs, for reference.
hyperfine --style basic --warmup 1 --runs "$runs" --export-markdown "$results/mpegdec-hyperfine.md" \
  -n "mpegdec cbr192" "$mpegdec $work/cbr192.mp3 - >/dev/null" \
  -n "mpg123 cbr192" "mpg123 -q -s --no-gapless $work/cbr192.mp3 >/dev/null" >/dev/null
echo "wall-clock table: $results/mpegdec-hyperfine.md" | tee -a "$out"

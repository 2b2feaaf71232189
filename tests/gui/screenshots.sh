#!/usr/bin/env bash
# Pictures of the window for people to look at: under a virtual X server, the
# progress window mid-run (also with two files at once), the Cancel question over it, each prompt dialog,
# the error log, each page of the Options sheet and the playlist dialog, as
# PNG files in OUTDIR.
#
# Usage: tests/gui/screenshots.sh OUTDIR
# BUILD_DIR names the build tree (default build/), which must be built.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD_DIR:-$here/build}"
out="${1:?usage: screenshots.sh OUTDIR}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
# shellcheck source=tests/gui/xvfb.sh
source "$here/tests/gui/xvfb.sh"
work="$(mktemp -d)"
start_xvfb
trap 'kill "$xvfb_pid" 2>/dev/null || true; rm -rf "$work"' EXIT
private_home "$work"

# The progress window mid-run: a long song, slowly.
sox -n -r 44100 -c 2 "$work/A Long Song.wav" synth 60 sine 440 fade 0 60 1
setting CPUSleepTime dword 250
setting PlaySound dword 0
"$build/bin/sonoduct" -C "$work/A Long Song.wav" &
pid=$!
win="$(wait_window '^[0-9]+%.* - Sonoduct $')"
sleep 3
import -window "$win" "$out/progress.png"
# Cancel asks first; No keeps what was converted and ends the run.
press "$win" Escape
question="$(wait_window '^Stop Converting$' 10)"
sleep 0.5
import -window root -crop 800x400+240+200 "$out/cancel-over-progress.png"
press "$question" Return
wait "$pid" || true

# Two songs converted at once: a line for each under the names.
sox -n -r 44100 -c 2 "$work/First Song.wav" synth 60 sine 220 fade 0 60 1
sox -n -r 44100 -c 2 "$work/Second Song.wav" synth 60 sine 330 fade 0 60 1
"$build/bin/sonoduct" -j 2 -C "$work/First Song.wav" "$work/Second Song.wav" &
pid=$!
win="$(wait_window '^[0-9]+%.* - Sonoduct $')"
sleep 3
import -window "$win" "$out/progress-two-at-once.png"
press "$win" Escape
question="$(wait_window '^Stop Converting$' 10)"
press "$question" Return
wait "$pid" || true

# Each prompt dialog and the error log.
"$build/bin/dialog_gallery" "$out"

# Every picture is there and shows something: a blank one has a colour or two.
status=0
for name in progress progress-two-at-once cancel-over-progress overwrite silent partial diskfull howto opendecode \
  errorlog info error wavetowave cancel options-general options-wav options-mp3 options-wma \
  playlist; do
  png="$out/$name.png"
  colours="$(identify -format '%k' "$png" 2>/dev/null || echo 0)"
  if ((colours < 8)); then
    echo "screenshots: $png is missing or blank ($colours colours)" >&2
    status=1
  fi
done
echo "screenshots: $(ls "$out" | wc -l) pictures in $out"
exit "$status"

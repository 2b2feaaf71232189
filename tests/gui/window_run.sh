#!/usr/bin/env bash
# The program as a user meets it on a desktop, under a virtual X server:
# started on two files it shows the progress window (titled with the
# percentage and the program's name, at the stored place), converts both and
# ends with the "Conversion Finished" question; answering it ends the process
# with status 0. A run with a file that fails shows the error log first and
# ends with status 1. "sonoduct -O" shows the Options sheet, and Escape
# leaves the settings store as it was.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD_DIR:-$here/build}"
# shellcheck source=tests/gui/xvfb.sh
source "$here/tests/gui/xvfb.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "window_run: $*" >&2; exit 1; }

start_xvfb
trap 'kill "$xvfb_pid" 2>/dev/null || true; rm -rf "$work"' EXIT
sox -n -r 44100 -c 2 "$work/a.wav" synth 4 sine 440 fade 0 4 0.5
sox -n -r 44100 -c 2 "$work/b.wav" synth 3 sine 660 fade 0 3 0.5
lame --quiet "$work/b.wav" "$work/b.mp3"

# Two files; the window opens where the last run left it.
private_home "$work/one"
setting CPUSleepTime dword 100
setting PlaySound dword 0
setting LastWindowPoint binary "64000000 78000000"  # x 100, y 120
"$build/bin/sonoduct" -C "$work/a.wav" "$work/b.mp3" &
pid=$!
win="$(wait_window '^[0-9]+%.* - Sonoduct $')" || fail "no progress window"
geometry="$(xdotool getwindowgeometry "$win")"
grep -q 'Position: 100,120' <<<"$geometry" || fail "not at the stored place: $geometry"
done_win="$(wait_window '^Conversion Finished$' 60)" || fail "no Conversion Finished question"
press "$done_win" Escape  # Close: the folder is not opened
wait "$pid" || fail "exit status $? after a good run"
out="$HOME/Music/Sonoduct"
[[ -s "$out/a.wav" && -s "$out/b.wav" ]] || fail "targets missing: $(ls "$out")"
point="$("$build/bin/reg" get 'HKCU\SOFTWARE\Quillon\Sonoduct' LastWindowPoint)"
[[ "$point" == "6400000078000000" ]] || fail "window place not kept: $point"

# A file that fails: the error log, then the question, then status 1.
private_home "$work/two"
setting PlaySound dword 0
setting LastWindowPoint binary "64000000 88130000"  # y 5000: off the screen
head -c 5000 /dev/urandom >"$work/bad.mp3"
"$build/bin/sonoduct" -C "$work/a.wav" "$work/bad.mp3" &
pid=$!
win="$(wait_window '^[0-9]+%.* - Sonoduct $')" || fail "no progress window"
geometry="$(xdotool getwindowgeometry "$win")"
grep -q 'Position: 100,5000' <<<"$geometry" && fail "placed off the screen"
errors="$(wait_window '^Conversion Errors: 1$' 60)" || fail "no error log"
press "$errors" Return
done_win="$(wait_window '^Conversion Finished$' 30)" || fail "no Conversion Finished question"
press "$done_win" Escape
status=0
wait "$pid" || status=$?
[[ "$status" == 1 ]] || fail "exit status $status with a failed file"
# The Options sheet alone: closing it with Escape leaves the store as it was.
private_home "$work/three"
store="$XDG_CONFIG_HOME/quillon/HKEY_CURRENT_USER.reg"
for round in first second; do
  "$build/bin/sonoduct" -O 2>"$work/options-$round.err" &
  pid=$!
  sheet="$(wait_window '^Sonoduct Options$' 30)" ||
    fail "no Options sheet ($round): $(cat "$work/options-$round.err"); windows: $(xdotool search --name . getwindowname %@ 2>&1 | tr '\n' '|')"
  if [[ "$round" == second ]]; then
    # Another instance asked for the sheet meanwhile: one sheet is enough.
    timeout 20 "$build/bin/sonoduct" -O || true
    count="$(xdotool search --name '^Sonoduct Options$' | wc -l)"
    [[ "$count" == 1 ]] || fail "$count Options sheets"
  fi
  press "$sheet" Escape
  wait "$pid" || true
  [[ -s "$store" ]] || fail "no settings store after the $round run"
  if [[ "$round" == first ]]; then
    cp "$store" "$work/store-before"
  else
    cmp -s "$store" "$work/store-before" || fail "Escape changed the store: $(diff "$work/store-before" "$store")"
  fi
done
echo "window_run: passed"

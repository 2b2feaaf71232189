# Shell functions for the window scripts: a virtual X server of their own and
# a private home for the program. Sourced, not run.

# Starts Xvfb on a free display and exports DISPLAY; the server ends with the script.
start_xvfb() {
  local numfile
  numfile="$(mktemp)"
  # -noreset: the server stays as it is when its last client leaves, so the
  # next program never meets it in the middle of a reset.
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$numfile" >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
  for _ in $(seq 100); do
    [[ -s "$numfile" ]] && break
    sleep 0.1
  done
  [[ -s "$numfile" ]] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$(head -n1 "$numfile")"
  rm -f "$numfile"
  unset WAYLAND_DISPLAY QT_QPA_PLATFORM
}

# A fresh home below $1 for the program's settings, cache and output.
private_home() {
  export HOME="$1/home"
  export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache"
  export XDG_RUNTIME_DIR="$1/runtime"
  mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
}

# A setting of the program: NAME TYPE VALUE.
setting() { "$build/bin/reg" set 'HKCU\SOFTWARE\Quillon\Sonoduct' "$@"; }

# The id of the first window whose name matches the pattern, waiting up to $2 seconds.
wait_window() {
  local pattern="$1" seconds="${2:-30}" id
  for _ in $(seq $((seconds * 10))); do
    id="$(xdotool search --name "$pattern" 2>/dev/null | head -n1 || true)"
    if [[ -n "$id" ]]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  echo "no window named like '$pattern' within $seconds s" >&2
  return 1
}

# Presses a key in a window.
press() { xdotool windowfocus --sync "$1" key --clearmodifiers "$2"; }

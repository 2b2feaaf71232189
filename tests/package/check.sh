#!/usr/bin/env bash
# The Debian package made from the build tree: its files in their places, no
# lintian errors, valid AppStream metadata, and the program running from the
# unpacked package alone (no variable pointing at its libraries).
# Usage: tests/package/check.sh BUILD_DIR
set -euo pipefail
build="$(cd "${1:?usage: check.sh BUILD_DIR}" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "package: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null) || fail "cpack failed"
deb="$(ls "$work"/out/sonoduct_*.deb)"
listing="$(dpkg-deb -c "$deb" | awk '{print $6}')"
for path in ./usr/bin/sonoduct ./usr/bin/sonoduct-reg ./usr/bin/sonoshell-invoke ./usr/bin/sonoplay \
  ./usr/lib/sonoduct/libtonalis.so ./usr/lib/sonoduct/Lame_enc.so ./usr/lib/sonoduct/BladeEnc.so \
  ./usr/lib/sonoduct/wmaglue.so ./usr/share/sonoduct/sonoduct-strings.ini \
  ./usr/share/sonoduct/help/index.html ./usr/share/man/man1/sonoduct.1.gz ./usr/share/man/man1/sonoplay.1.gz \
  ./usr/share/icons/hicolor/scalable/apps/sonoduct.svg \
  ./usr/share/icons/hicolor/48x48/apps/sonoduct.png \
  ./usr/share/metainfo/com.quillon.Sonoduct.metainfo.xml ./usr/share/doc/sonoduct/copyright \
  ./usr/share/applications/sonoduct.desktop; do
  grep -qx "$path" <<<"$listing" || fail "$path is not in the package"
done

errors="$(lintian "$deb" 2>/dev/null | grep '^E:' || true)"
[[ -z "$errors" ]] || fail "lintian: $errors"

root="$work/root"
dpkg -x "$deb" "$root"
appstreamcli validate --no-net "$root/usr/share/metainfo/com.quillon.Sonoduct.metainfo.xml" \
  >/dev/null || fail "AppStream metadata does not validate"
desktop-file-validate "$root/usr/share/applications/sonoduct.desktop" ||
  fail "the desktop file does not validate"

# The unpacked program converts with nothing but the package's own files.
home="$work/home"
mkdir -p "$home/run"
chmod 700 "$home/run"
sox -n -r 44100 -c 2 "$work/tone.wav" synth 2 sine 440 fade 0 2 0.5 vol 0.5
for switch in -3 -M; do
  env -u LD_LIBRARY_PATH HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/run" \
    DISPLAY= WAYLAND_DISPLAY= QT_QPA_PLATFORM= \
    "$root/usr/bin/sonoduct" "$switch" "$work/tone.wav" </dev/null >/dev/null 2>"$work/err" ||
    fail "sonoduct $switch from the unpacked package: $(cat "$work/err")"
done
[[ -s "$home/Music/Sonoduct/tone.mp3" && -s "$home/Music/Sonoduct/tone.wma" ]] ||
  fail "no MP3 or WMA from the unpacked package"
echo "package: $(basename "$deb") checked"

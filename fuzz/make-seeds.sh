#!/usr/bin/env bash
# Makes the seed corpus of one fuzz target from our own test inputs: files
# made with sox, lame, twolame, id3v2 and ffmpeg, a few RIFF and tag layouts written
# byte by byte, and streams of tests/data/mpeg. The seeds are made at run
# time and never kept in git.
#   fuzz/make-seeds.sh TARGET FOLDER
# TARGET: mpeg_codec, wav_load, id3v2, id3v1, mp3_info, reg_tree, asf_header or playlist.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
target="${1:?target}"
out="${2:?folder}"
mpeg="$here/tests/data/mpeg"
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Little-endian fields as printf escapes.
le16() { printf '\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)); }
le32() { printf '%s%s' "$(le16 $(($1 & 65535)))" "$(le16 $(($1 >> 16 & 65535)))"; }
size() { stat -c %s "$1"; }
# A RIFF file of FORM around the chunk files given (each already framed).
riff() {
  local form="$1" dest="$2" total=4
  shift 2
  for c in "$@"; do total=$((total + $(size "$c"))); done
  { printf 'RIFF'; printf "$(le32 $total)"; printf '%s' "$form"; cat "$@"; } >"$dest"
}
# A chunk file: ID, then the bytes of FILE, padded to an even length.
chunk() {
  local id="$1" src="$2" dest="$3" n
  n=$(size "$src")
  { printf '%s' "$id"; printf "$(le32 "$n")"; cat "$src"; ((n % 2)) && printf '\x00'; true; } >"$dest"
}
# A seed: a control byte (two hex digits) and at most LIMIT bytes of SRC.
seed() {
  local control="$1" src="$2" name="$3" limit="${4:-32768}"
  { [[ -n "$control" ]] && printf "\\x$control"; head -c "$limit" "$src"; } >"$out/$name"
}
quiet_sox() { sox -D -q "$@"; }

# Short tones made with sox, lame and twolame, shared by several targets.
tones() {
  quiet_sox -n -r 22050 -c 1 -b 16 "$work/mono.wav" synth 0.3 sine 440 vol 0.5
  quiet_sox -n -r 44100 -c 2 -b 16 "$work/stereo.wav" synth 0.3 sine 300 sine 700 vol 0.5
  quiet_sox -n -r 8000 -c 1 -b 16 "$work/low.wav" synth 0.5 sine 300 vol 0.5
  lame --quiet -b 32 "$work/mono.wav" "$work/cbr.mp3"
  lame --quiet -V 6 "$work/stereo.wav" "$work/vbr.mp3"
  lame --quiet -t -b 64 "$work/stereo.wav" "$work/notag.mp3"
  lame --quiet -b 8 "$work/low.wav" "$work/mpeg25.mp3"
  twolame --quiet -b 64 "$work/stereo.wav" "$work/layer2.mp2"
  twolame --quiet -e -b 32 -m m "$work/mono.wav" "$work/crc.mp2" 2>/dev/null ||
    twolame --quiet -b 32 -m m "$work/mono.wav" "$work/crc.mp2"
}

# Tagged copies of the short MP3: ID3v2.3 and ID3v1.1 (id3v2), lame's own
# ID3v2 tags in Latin-1 and UTF-16, and hand-made version 2.2 and 2.4 tags.
tagged() {
  cp "$work/cbr.mp3" "$work/id3v2tool.mp3"
  id3v2 -a "Fuzz Artist" -A "Fuzz Album" -t "Fuzz Title" -c "A comment" -g 17 -y 1999 \
    -T 3/12 "$work/id3v2tool.mp3" >/dev/null
  lame --quiet -b 32 --id3v2-only --id3v2-latin1 --tt "Latin title" --ta "Art" --tl "Alb" \
    --ty 2001 --tc "Comment" --tn 5/9 --tg Rock "$work/mono.wav" "$work/latin1.mp3"
  lame --quiet -b 32 --id3v2-only --id3v2-utf16 --tt "Unicode title" --ta "Art" \
    --tc "Comment" --tg 80 "$work/mono.wav" "$work/utf16.mp3"
  lame --quiet -b 32 --id3v1-only --tt "V1 title" --ta "V1 artist" --tl "V1 album" --ty 1987 \
    --tc "V1 comment" --tn 7 --tg Jazz "$work/mono.wav" "$work/id3v1.mp3"
  # Version 2.2: three-letter frames with 24-bit sizes.
  { printf 'ID3\x02\x00\x00\x00\x00\x00\x2c'
    printf 'TT2\x00\x00\x06\x00Title'; printf 'TP1\x00\x00\x04\x00Art'
    printf 'TYE\x00\x00\x05\x001994'; printf 'TCO\x00\x00\x05\x00(13)'
    cat "$work/cbr.mp3"; } >"$work/v22.mp3"
  # Version 2.4: synchsafe frame sizes, UTF-8 text, a recording time and an
  # unsynchronised frame (its FF 00 pair stands for FF).
  { printf 'ID3\x04\x00\x00\x00\x00\x00\x48'
    printf 'TIT2\x00\x00\x00\x07\x00\x00\x03T\xc3\xaftle'
    printf 'TDRC\x00\x00\x00\x0b\x00\x00\x032004-05-06'
    printf 'TPE1\x00\x00\x00\x05\x00\x02\x00A\xff\x00\xe9'
    printf 'TRCK\x00\x00\x00\x05\x00\x00\x004/10'
    printf '\x00%.0s' {1..4}
    cat "$work/cbr.mp3"; } >"$work/v24.mp3"
}

case "$target" in
  mpeg_codec)
    # Each stream behind a control byte choosing the static buffer (0x00) or
    # the ring fed in 2 KiB-ish pieces (0x71), cut to 16 KiB.
    for f in "$mpeg"/*.bit "$mpeg"/fuzz/*.mp3; do
      base=$(basename "$f")
      seed 00 "$f" "s-$base" 16384
      seed 71 "$f" "r-$base" 16384
    done
    ;;
  wav_load)
    tones
    tagged
    quiet_sox -n -r 8000 -c 1 -b 8 -e unsigned "$work/pcm8.wav" synth 0.2 sine 440
    quiet_sox -n -r 22050 -c 2 -b 16 "$work/pcm16.wav" synth 0.1 sine 300 sine 700
    quiet_sox -n -r 8000 -c 2 -e u-law "$work/mulaw.wav" synth 0.2 sine 440
    quiet_sox -n -r 8000 -c 1 -e a-law "$work/alaw.wav" synth 0.2 sine 440
    quiet_sox -n -r 11025 -c 1 -e ima-adpcm "$work/ima.wav" synth 0.2 sine 440
    quiet_sox -n -r 11025 -c 2 -e ms-adpcm "$work/msadpcm.wav" synth 0.2 sine 440
    # MPEG layer III (tag 0x55) and layers I/II (tag 0x50) inside WAVE files,
    # with an INFO list behind the data, and an RMP3 file.
    { printf "$(le16 0x55)$(le16 1)$(le32 22050)$(le32 4000)$(le16 1)$(le16 0)$(le16 12)"
      printf "$(le16 1)$(le32 2)$(le16 104)$(le16 1)$(le16 1393)"; } >"$work/fmt55"
    { printf "$(le16 0x50)$(le16 2)$(le32 44100)$(le32 8000)$(le16 209)$(le16 0)$(le16 22)"
      printf "$(le16 2)$(le32 64000)$(le16 1)$(le16 0)$(le16 0)$(le16 0)$(le32 0)$(le32 0)"; } \
      >"$work/fmt50"
    printf 'INFOINAM\x06\x00\x00\x00Title\x00IART\x04\x00\x00\x00Art\x00ICRD\x04\x00\x00\x001999' \
      >"$work/info"
    # PCM with every INFO text the loader reads.
    quiet_sox -n -t raw -r 8000 -c 1 -b 16 -e signed "$work/pcm.raw" synth 0.05 sine 440
    printf "$(le16 1)$(le16 1)$(le32 8000)$(le32 16000)$(le16 2)$(le16 16)" >"$work/fmt1"
    { printf 'INFO'
      for f in INAM:Title IART:Artist IALB:Album ICMT:Comment IENG:Engineer ICOP:Copyright \
        ICRD:1999-01-02 ITRK:3/12 IGNR:'(17)'; do
        printf '%s' "${f%%:*}"; printf "$(le32 $((${#f} - 4)))"; printf '%s\0' "${f#*:}"
        (((${#f} - 4) % 2)) && printf '\0'
      done
      printf "IMCD$(le32 8)$(le32 4)ABCD"; } >"$work/infoall"
    chunk 'fmt ' "$work/fmt1" "$work/c-fmt1"
    chunk data "$work/pcm.raw" "$work/c-pcm"
    chunk LIST "$work/infoall" "$work/c-infoall"
    riff WAVE "$work/info.wav" "$work/c-fmt1" "$work/c-infoall" "$work/c-pcm"
    chunk 'fmt ' "$work/fmt55" "$work/c-fmt55"
    chunk 'fmt ' "$work/fmt50" "$work/c-fmt50"
    chunk data "$work/cbr.mp3" "$work/c-mp3"
    chunk data "$work/layer2.mp2" "$work/c-mp2"
    chunk LIST "$work/info" "$work/c-info"
    riff WAVE "$work/mp3in.wav" "$work/c-fmt55" "$work/c-mp3" "$work/c-info"
    riff WAVE "$work/mp2in.wav" "$work/c-fmt50" "$work/c-mp2"
    riff RMP3 "$work/rmp3.wav" "$work/c-mp3"
    for f in pcm8 pcm16 mulaw alaw ima msadpcm info mp3in mp2in rmp3; do
      seed 01 "$work/$f.wav" "file-$f.wav"   # file, own format
      seed 4c "$work/$f.wav" "mem-$f.wav"    # memory, peaks, seek map, 44.1 kHz stereo
    done
    seed 91 "$work/ima.wav" "scan-ima.wav"
    seed a1 "$work/mp3in.wav" "scan-mp3in.wav"
    # Named .mp3: handed to the MPEG parser, ID3v2 tags included.
    for f in id3v2tool.mp3 utf16.mp3 v22.mp3 v24.mp3 id3v1.mp3 vbr.mp3 layer2.mp2; do
      seed 03 "$work/$f" "named-$f"
    done
    seed 03 "$mpeg/l3-he_free.bit" named-free.mp3
    ;;
  id3v2)
    tones
    tagged
    for f in id3v2tool latin1 utf16 v22 v24; do seed "" "$work/$f.mp3" "$f.mp3" 4096; done
    for f in "$mpeg"/l3-nonstandard-id3v2*.bit; do seed "" "$f" "$(basename "$f")" 4096; done
    ;;
  id3v1)
    tones
    tagged
    tail -c 128 "$work/id3v2tool.mp3" >"$out/id3v2tool.tag"
    tail -c 128 "$work/id3v1.mp3" >"$out/lame.tag"
    for f in "$mpeg"/l3-nonstandard-id3v1*.bit; do tail -c 128 "$f" >"$out/$(basename "$f").tag"; done
    ;;
  mp3_info)
    tones
    tagged
    for f in cbr.mp3 vbr.mp3 notag.mp3 mpeg25.mp3 layer2.mp2 crc.mp2 id3v2tool.mp3 id3v1.mp3; do
      seed "" "$work/$f" "$f"
    done
    for f in l1-fl7 l2-fl10 l2-nonstandard-free_format l3-he_free l3-compl M2L3_bitrate_22_all \
      ILL4_sync ILL4_wrong_length1 l3-nonstandard-small l3-nonstandard-sideinfo-size; do
      seed "" "$mpeg/$f.bit" "$f.bit" 16384
    done
    for f in "$mpeg"/l3-nonstandard-vbrtag*.bit "$mpeg"/l3-nonstandard-*apetag.bit; do
      seed "" "$f" "$(basename "$f")" 16384
    done
    ;;
  reg_tree)
    cat >"$out/settings.reg" <<'EOF'
# Quillon registry: HKEY_CURRENT_USER

[SOFTWARE\Quillon\Sonoduct]
"CPUSleepTime"=dword:00000032
"DefaultDir"=sz:"/home/ann/Music/Converted/"
"LastWindowPoint"=hex:00,00,00,80,00,00,00,80
""=sz:"the key's default value"
EOF
    cat >"$out/escapes.reg" <<'EOF'
; comment
[]
"root"=sz:"at the root"

[a%5b1%5d\b%25\c%0a]
"quote \" and \\ backslash"=sz:"tab\tline\nreturn\r byte \x01 \xff"
"empty"=hex:
"Mixed Case"=dword:DEADbeef

[A\Other]
"caf\xc3\xa9"=sz:"caf\xc3\xa9 ok"
EOF
    printf '# CRLF\r\n[K]\r\n"v"=dword:00000001\r\n\r\n[K\\Sub]\r\n"w"=hex:ff\r\n' \
      >"$out/crlf.reg"
    printf '\xef\xbb\xbf[Bom]\n"x"=sz:""\n' >"$out/bom.reg"
    ;;
  asf_header)
    # WMA files' starts: the Header Object and the first packets.
    ff() { ffmpeg -v error -y "$@"; }
    ff -f lavfi -i sine=d=0.5 -c:a wmav2 -b:a 64k "$work/plain.wma"
    ff -f lavfi -i sine=d=0.5 -ac 2 -c:a wmav1 -metadata title=Title -metadata artist=Artist \
      -metadata album=Album -metadata comment=Comment -metadata copyright=C -metadata genre=Jazz \
      -metadata date=2002 -metadata track=5 "$work/tagged.wma"
    ff -f lavfi -i sine=d=0.5 -c:a libmp3lame -f asf "$work/mp3.asf"
    for f in plain.wma tagged.wma mp3.asf; do
      seed "" "$work/$f" "$f" 16384
    done
    ;;
  cda_parser)
    # CD track files: track 3 at 2:03.74, 4:10.05 long; one with a chunk
    # before "fmt "; a WAV for another form.
    printf "$(le16 1)$(le16 3)$(le32 0x1234abcd)$(le32 9374)$(le32 18755)" >"$work/cda"
    printf '\x4a\x03\x02\x00\x05\x0a\x04\x00' >>"$work/cda"
    chunk 'fmt ' "$work/cda" "$work/c-cda"
    printf 'x' >"$work/junk"
    chunk JUNK "$work/junk" "$work/c-junk"
    riff CDDA "$out/track03.cda" "$work/c-cda"
    riff CDDA "$out/junk-first.cda" "$work/c-junk" "$work/c-cda"
    quiet_sox -n -r 8000 -c 1 -b 8 -e unsigned "$out/other.wav" synth 0.01 sine 440
    ;;
  playlist)
    # A control byte chooses the format: 00 M3U, 01 PLS, 02 "pl", 03 ASX,
    # 04 compilation, 05 scanned, 06 scanned 16-bit text, 07 every other path.
    printf '#EXTM3U\r\n#EXTINF:12,A\r\na.mp3\r\n./b c.wav\r\n\r\n  sub\\d.mp3\r\n../x/../e.mp3\r\nfile:///tmp/a%%20b.mp3\r\nhttp://host/s.mp3\r\nC:\\M\\a.mp3\r\n\\\\srv\\a.mp3\r\npipe.mp3\r\n.intro.mp3\r\n' >"$work/list.m3u"
    printf '\xef\xbb\xbfa.mp3\n\xe9t\xe9.mp3\n\xc3\xa9t\xc3\xa9.mp3\n' >"$work/bom.m3u"
    printf '\xff\xfea\x00.\x00m\x00p\x003\x00\n\x00' >"$work/utf16.m3u"
    printf '[playlist]\r\nNumberOfEntries=4\r\nFile1=a.mp3\r\nTitle1=A\r\nLength1=12\r\nFile3=.intro.mp3\r\nFile4="sub/d.mp3"\r\nFile2000000000=a.mp3\r\nVersion=2\r\n' >"$work/list.pls"
    printf '[Files]\nFile0=a.mp3\nFile1=/tmp/b.wav\nfile2=sub/d.mp3\nFile4=x.mp3\n; comment\n' >"$work/list.pl"
    printf '<ASX version="3.0">\n<Title>T</Title>\n<!-- <Entry> -->\n<Entry>\n<Ref href="a.mp3"/>\n<Duration value="00:03:25.5"/>\n<Param name="Name" value="Song &amp; Dance"/>\n<Param name="Artist" value="Band"/>\n</Entry>\n<ENTRY><REF HREF='"'"'http://h/x.wma'"'"'/></ENTRY>\n<Entry><Param name="Name" value="only"/></Entry>\n</ASX>\n' >"$work/list.asx"
    printf 'junk\x00/tmp/a.mp3\x00\x01/x/b.WAV\x00/r/c.ra\x00/s/d.mp3.ogg  /t/%%e.mp2' >"$work/scan.bin"
    # A compilation: "cdhd" (version 5, one track) and "cdtr" with one record
    # naming a.mp3, laid out as the version 5 record is.
    printf "$(le32 5)$(le32 1)" >"$work/cdhd"
    { head -c 1536 /dev/zero; printf '\x00\x00\x00\x00'; head -c 3072 /dev/zero
      head -c 16 /dev/zero; head -c 804 /dev/zero; head -c 12 /dev/zero; head -c 9 /dev/zero
      printf 'a.mp3'; head -c 255 /dev/zero; head -c 8 /dev/zero; head -c 402 /dev/zero
      head -c 52 /dev/zero; } >"$work/record"
    chunk cdhd "$work/cdhd" "$work/c-cdhd"
    chunk cdtr "$work/record" "$work/c-cdtr"
    riff cdss "$work/list.qvl" "$work/c-cdhd" "$work/c-cdtr"
    printf "$(le32 3)$(le32 2000000000)" >"$work/cdhd3"
    chunk cdhd "$work/cdhd3" "$work/c-cdhd3"
    riff cdss "$work/huge.qvl" "$work/c-cdhd3" "$work/c-cdtr"
    seed 00 "$work/list.m3u" list.m3u
    seed 00 "$work/bom.m3u" bom.m3u
    seed 00 "$work/utf16.m3u" utf16.m3u
    seed 01 "$work/list.pls" list.pls
    seed 02 "$work/list.pl" list.pl
    seed 03 "$work/list.asx" list.asx
    seed 04 "$work/list.qvl" list.qvl
    seed 04 "$work/huge.qvl" huge.qvl
    seed 05 "$work/scan.bin" scan.bin
    seed 07 "$work/scan.bin" scan-every-other.bin
    sed 's/./&\x00/g' "$work/scan.bin" >"$work/scan16.bin"
    seed 06 "$work/scan16.bin" scan16.bin
    ;;
  *)
    echo "unknown fuzz target: $target" >&2
    exit 2
    ;;
esac

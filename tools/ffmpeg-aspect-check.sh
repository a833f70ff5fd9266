#!/usr/bin/env bash
# Checks the converter's 16:9 fix against ffmpeg, an independent MPEG
# implementation: ffmpeg makes 4:3 program streams (PAL and NTSC sizes,
# several bit rates and GOP lengths, audio beside the video, MPEG-1 and
# MPEG-2 packs of several sizes, so that some sequence headers are cut
# across packs and PES packets); the fix runs on a copy of each, ffmpeg's own
# 16:9 rewrite (mpeg2_metadata) on the same input, and the 4:3 and 16:9
# sequence headers of each result's video elementary stream, as ffmpeg reads
# it, are counted. The fix must also leave the audio as it was and change
# nothing but the shape bits of the headers it widened.
#
#   tools/ffmpeg-aspect-check.sh            check the whole set
#   tools/ffmpeg-aspect-check.sh --commit   also write the small streams the
#                                           ordinary tests read, with ffmpeg's
#                                           counts (tests/converter/encoder-streams)
#
# BUILD_DIR names the build folder (default build/); the command-line driver
# widen_clip is built there. The tests themselves never need ffmpeg.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
build=${BUILD_DIR:-$repo/build}
if ! command -v ffmpeg >/dev/null; then
    echo "ffmpeg introuvable : rien à vérifier" >&2
    exit 77
fi
commit=false
[ "${1:-}" = --commit ] && commit=true

cmake --build "$build" --target widen_clip >/dev/null
widen="$build/tools/widen_clip"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C

quiet() { ffmpeg -nostdin -hide_banner -loglevel fatal -y "$@" 2>/dev/null; }

# Sequence headers of a byte file by shape: "<4:3> <16:9> <all>".
headers() {
    python3 - "$1" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
count = {}
at = data.find(b'\x00\x00\x01\xb3')
while at >= 0 and at + 7 < len(data):
    shape = data[at + 7] >> 4
    count[shape] = count.get(shape, 0) + 1
    at = data.find(b'\x00\x00\x01\xb3', at + 1)
print(count.get(2, 0), count.get(3, 0), sum(count.values()))
PY
}

# The video elementary stream as ffmpeg demultiplexes it.
es_headers() {
    quiet -i "$1" -map 0:v:0 -c copy -f mpeg2video "$work/es.m2v"
    headers "$work/es.m2v"
}

audio_sum() {
    quiet -i "$1" -map 0:a -c copy -f data - | md5sum | cut -d' ' -f1
}

# Every changed byte is a shape byte gone from 4:3 (2) to 16:9 (3), its
# frame rate code kept, and there are as many as the fix says it widened.
changes_ok() {
    python3 - "$1" "$2" "$3" <<'PY'
import sys
a = open(sys.argv[1], 'rb').read()
b = open(sys.argv[2], 'rb').read()
changed = [(x, y) for x, y in zip(a, b) if x != y]
good = all(x >> 4 == 2 and y >> 4 == 3 and x & 15 == y & 15 for x, y in changed)
sys.exit(0 if len(a) == len(b) and good and len(changed) == int(sys.argv[3]) else 1)
PY
}

# make NAME SIZE RATE BITRATE GOP MUXER [PACKET SIZE] SECONDS
make_stream() {
    local out=$1 size=$2 rate=$3 bitrate=$4 gop=$5 muxer=$6 packet=$7 seconds=$8 audio=mp2
    [ "$muxer" = vob ] && audio=ac3 # private stream 1, as on a DVD
    quiet -f lavfi -i "testsrc=size=$size:rate=$rate" \
        -f lavfi -i "sine=frequency=440:sample_rate=48000" -t "$seconds" \
        -c:v mpeg2video -b:v "$bitrate" -g "$gop" -aspect 4:3 -c:a $audio -b:a 128k \
        ${packet:+-packetsize $packet} -f "$muxer" "$out"
}

failures=0
# check NAME: prints one row and counts a failure.
check() {
    local name=$1 stream="$work/$1.mpg"
    local raw es fixed reference
    raw=$(headers "$stream")
    es=$(es_headers "$stream")
    cp "$stream" "$work/fixed.mpg"
    local result widened
    result=$("$widen" "$work/fixed.mpg") || true
    widened=$(echo "$result" | cut -d' ' -f3)
    quiet -i "$stream" -map 0 -c copy -bsf:v mpeg2_metadata=display_aspect_ratio=16/9 \
        -f "$(cat "$work/$1.muxer")" "$work/reference.mpg"
    fixed=$(es_headers "$work/fixed.mpg")
    reference=$(es_headers "$work/reference.mpg")
    local cut=$(( $(echo "$es" | cut -d' ' -f3) - $(echo "$raw" | cut -d' ' -f1) ))
    local verdict=ok
    if [ "${fixed% *}" != "${reference% *}" ] || [ "$(echo "$reference" | cut -d' ' -f1)" != 0 ]; then
        verdict="DIFFÉRENT"
    elif [ "$(audio_sum "$stream")" != "$(audio_sum "$work/fixed.mpg")" ]; then
        verdict="AUDIO CHANGÉ"
    elif ! changes_ok "$stream" "$work/fixed.mpg" "$widened"; then
        verdict="OCTETS EN TROP"
    fi
    printf '%-28s %7d  %3d  %3d  %5s  %5s  %s\n' "$name" "$(stat -c %s "$stream")" \
        "$(echo "$es" | cut -d' ' -f1)" "$cut" "$(echo "$fixed" | cut -d' ' -f1-2 | tr ' ' /)" \
        "$(echo "$reference" | cut -d' ' -f1-2 | tr ' ' /)" "$verdict"
    [ "$verdict" = ok ] || failures=$((failures + 1))
}

# name size rate bitrate gop muxer packet seconds
set_rows=(
    "pal-2M-g12-vob 720x576 25 2M 12 vob - 4"
    "pal-5M-g12-vob 720x576 25 5M 12 vob - 4"
    "pal-8M-g6-vob 720x576 25 8M 6 vob - 4"
    "pal-2M-g1-vob 720x576 25 2M 1 vob - 3"
    "pal-2M-g2-mpeg512 720x576 25 2M 2 mpeg 512 3"
    "pal-5M-g12-mpeg 720x576 25 5M 12 mpeg - 4"
    "pal-4M-g3-mpeg700 720x576 25 4M 3 mpeg 700 3"
    "pal-1M-g1-mpeg512 720x576 25 1M 1 mpeg 512 2"
    "ntsc-2M-g15-vob 720x480 30000/1001 2M 15 vob - 4"
    "ntsc-6M-g15-vob 720x480 30000/1001 6M 15 vob - 4"
    "ntsc-8M-g7-vob 720x480 30000/1001 8M 7 vob - 4"
    "ntsc-2M-g1-vob 720x480 30000/1001 2M 1 vob - 3"
    "ntsc-3M-g2-mpeg512 720x480 30000/1001 3M 2 mpeg 512 3"
    "ntsc-5M-g15-mpeg 720x480 30000/1001 5M 15 mpeg - 4"
    "ntsc-1M-g1-mpeg700 720x480 30000/1001 1M 1 mpeg 700 2"
    "ntsc-4M-g4-mpeg1024 720x480 30000/1001 4M 4 mpeg 1024 3"
)
# The small ones committed for the tests: headers cut across packs in each.
commit_rows=(
    "pal-mpeg1-packs 720x576 25 300k 2 mpeg 700 1"
    "ntsc-mpeg1-packs 720x480 30000/1001 300k 2 mpeg 700 1"
    "pal-mpeg2-packs 720x576 25 300k 2 vob - 1"
)

echo "$(ffmpeg -version | head -1)"
printf '%-28s %7s  %3s  %3s  %5s  %5s\n' flux octets "en-têtes" coupés "fix 4:3/16:9" "ffmpeg 4:3/16:9"
rows=("${set_rows[@]}")
$commit && rows+=("${commit_rows[@]}")
for row in "${rows[@]}"; do
    read -r name size rate bitrate gop muxer packet seconds <<<"$row"
    [ "$packet" = - ] && packet=
    make_stream "$work/$name.mpg" "$size" "$rate" "$bitrate" "$gop" "$muxer" "$packet" "$seconds"
    echo "$muxer" >"$work/$name.muxer"
    check "$name"
done

if $commit; then
    out="$repo/tests/converter/encoder-streams"
    mkdir -p "$out"
    {
        echo "# Program streams made by $(ffmpeg -version | head -1 | cut -d' ' -f1-3), written by"
        echo "# tools/ffmpeg-aspect-check.sh --commit: file, then the sequence headers in"
        echo "# its video elementary stream as ffmpeg reads it, 4:3 and 16:9, before and"
        echo "# after ffmpeg's own 16:9 rewrite (mpeg2_metadata), and how many of them"
        echo "# a pack or PES packet cuts."
        for row in "${commit_rows[@]}"; do
            read -r name _ <<<"$row"
            cp "$work/$name.mpg" "$out/$name.mpg"
            es=$(es_headers "$work/$name.mpg")
            quiet -i "$work/$name.mpg" -map 0 -c copy \
                -bsf:v mpeg2_metadata=display_aspect_ratio=16/9 -f "$(cat "$work/$name.muxer")" \
                "$work/reference.mpg"
            reference=$(es_headers "$work/reference.mpg")
            raw=$(headers "$work/$name.mpg")
            cut=$(( $(echo "$es" | cut -d' ' -f3) - $(echo "$raw" | cut -d' ' -f1) ))
            printf '%s\t%s\t%s\t%s\t%s\t%d\n' "$name.mpg" $(echo "$es" | cut -d' ' -f1-2) \
                $(echo "$reference" | cut -d' ' -f1-2) "$cut"
        done
    } >"$out/counts.tsv"
    echo "écrit : $out/counts.tsv"
fi
echo "$failures écart(s)"
[ "$failures" -eq 0 ]

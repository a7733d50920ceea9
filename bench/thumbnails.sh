#!/usr/bin/env bash
# Thumbnail benchmark: five 24-megapixel photos (6000x4000, two of them portraits stored on
# their side with an EXIF orientation, as phones write them) fitted into the strip's 100x75
# slots, decoded in full and at the reduced DCT scale. Prints each way's best of ROUNDS
# (default 5) passes over the five pictures; the strip's target is five within 0.5 s.
# Usage: [ROUNDS=N] bench/thumbnails.sh [BUILD_DIR]     Never part of CI.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
build=${1:-build}
case $build in /*) ;; *) build="$top/$build" ;; esac
exe="$build/morvanta-bench-thumbnails"
[ -x "$exe" ] || { echo "bench: $exe is not built" >&2; exit 1; }
for tool in ffmpeg python3; do
    command -v "$tool" >/dev/null || { echo "bench: $tool is missing" >&2; exit 1; }
done

dir="$here/work/thumbnails"
mkdir -p "$dir"
# name source-graph grain exif-orientation (1 = none written)
pictures=(
    "t1 gradients=s=6000x4000:n=5:seed=3 24 1"
    "t2 testsrc2=s=6000x4000 40 6"
    "t3 gradients=s=6000x4000:n=7:seed=17 24 1"
    "t4 testsrc2=s=6000x4000,hue=h=120 40 8"
    "t5 gradients=s=6000x4000:n=3:seed=29 24 1"
)
files=()
for entry in "${pictures[@]}"; do
    read -r name source grain orientation <<<"$entry"
    out="$dir/$name.jpg"
    files+=("$out")
    [ -s "$out" ] && continue
    # Grain with a fixed seed, so every run makes the same bytes; baseline JPEG, 4:2:0.
    ffmpeg -nostdin -v error -y -f lavfi -i "$source,format=rgb24,noise=alls=$grain:allf=t:all_seed=4242" \
        -frames:v 1 -pix_fmt yuvj420p -c:v mjpeg -q:v 3 -f image2 "$out.tmp"
    # The orientation goes in an APP1 "Exif" block right after the start-of-image marker.
    python3 - "$out.tmp" "$orientation" <<'PY'
import struct, sys
path, orientation = sys.argv[1], int(sys.argv[2])
if orientation != 1:
    data = open(path, "rb").read()
    ifd = struct.pack(">HHHIH2xI", 1, 0x0112, 3, 1, orientation, 0)
    payload = b"Exif\0\0" + b"MM" + struct.pack(">HI", 42, 8) + ifd
    segment = b"\xff\xe1" + struct.pack(">H", len(payload) + 2) + payload
    open(path, "wb").write(data[:2] + segment + data[2:])
PY
    mv "$out.tmp" "$out"
done

# Both ways start with the photos in the page cache.
cat "${files[@]}" >/dev/null
"$exe" "${ROUNDS:-5}" "${files[@]}"

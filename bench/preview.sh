#!/usr/bin/env bash
# Live preview benchmark: the five 24-megapixel photos of the thumbnail benchmark played as a
# 1920x1080, 25 fps show with every visual option on, in real time. Prints the first frame's
# delay and the frames dropped (the target: none, the first frame within 0.2 s).
# Usage: bench/preview.sh [BUILD_DIR]     Never part of CI.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
build=${1:-build}
case $build in /*) ;; *) build="$top/$build" ;; esac
exe="$build/morvanta-bench-preview"
[ -x "$exe" ] || { echo "bench: $exe is not built" >&2; exit 1; }
dir="$here/work/thumbnails"
# The thumbnail benchmark makes the photos (once) the same way every time.
[ -s "$dir/t5.jpg" ] || ROUNDS=1 "$here/thumbnails.sh" "$build" >/dev/null
cat "$dir"/t?.jpg >/dev/null
"$exe" 1920x1080 25 3000 "$dir"/t1.jpg "$dir"/t2.jpg "$dir"/t3.jpg "$dir"/t4.jpg "$dir"/t5.jpg

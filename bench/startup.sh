#!/usr/bin/env bash
# Desktop program benchmark, offscreen. First, in one process with an empty settings store: the
# window's first paint, and the codec probe that runs beside it. Then how long `morvanta` takes
# from launch to its first paint with the codec list cached and the files in the page cache,
# best and median of ROUNDS (default 7) launches. Last, in one process, five 24-megapixel JPEGs
# drawn into the thumbnail strip through the loader.
# Targets: shown within 1 s, five thumbnails within 0.5 s.
# Usage: [ROUNDS=N] bench/startup.sh [BUILD_DIR]     Never part of CI.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
build=${1:-build}
case $build in /*) ;; *) build="$top/$build" ;; esac
exe="$build/morvanta"
timer="$build/morvanta-bench-gui"
for program in "$exe" "$timer"; do
    [ -x "$program" ] || { echo "bench: $program is not built" >&2; exit 1; }
done
command -v ffmpeg >/dev/null || { echo "bench: ffmpeg is missing" >&2; exit 1; }
rounds=${ROUNDS:-7}

work="$here/work/startup"
mkdir -p "$work/bin"
# A copy of the program in its own folder, so that its log goes there.
cp "$exe" "$work/bin/morvanta"
export QT_QPA_PLATFORM=offscreen
export MORVANTA_CONFIG_DIR="$work/config"

launch_ms() {
    local start end
    start=$(date +%s%N)
    MORVANTA_EXIT_WHEN_SHOWN=1 "$work/bin/morvanta" 2>/dev/null
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}

# An empty store: the window shows at once while the codecs are probed beside it.
rm -rf "$MORVANTA_CONFIG_DIR"
echo "empty settings store, one process:"
"$timer" 1 | sed 's/^/  /'
times=()
for _ in $(seq "$rounds"); do times+=("$(launch_ms)"); done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "launch to first paint, warm (best):   ${sorted[0]} ms"
echo "launch to first paint, warm (median): ${sorted[$((rounds / 2))]} ms   (${rounds} launches)"

pictures=()
for i in 1 2 3 4 5; do
    out="$work/big$i.jpg"
    pictures+=("$out")
    [ -s "$out" ] && continue
    ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=s=6000x4000,hue=h=$((i * 60))" \
        -frames:v 1 -pix_fmt yuvj420p -c:v mjpeg -q:v 3 -f image2 "$out"
done
cat "${pictures[@]}" >/dev/null
"$timer" "$rounds" "${pictures[@]}"

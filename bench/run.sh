#!/usr/bin/env bash
# Render benchmark: 20 photos (3000x2000, portraits, one panorama) to 720x576 at 25 fps,
# 3000 ms each, cross-fades and captions, "XVID": 1842 frames, 73.7 s of video.
# Prints wall time, CPU time, peak memory and times real time for morvanta-render, then the
# same frames encoded by ffmpeg alone (from raw frames, same encoder settings) and by melt when
# installed, and the ratios. This machine's speed drifts from minute to minute, so the three
# timings run in turns, ROUNDS times (default 3), and the ratios use each one's best round.
# --long adds the 200-picture run for the memory-flat check.
# Usage: [ROUNDS=N] bench/run.sh [BUILD_DIR] [--long]     Never part of CI.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
build=build
long=0
for arg in "$@"; do
    case $arg in
    --long) long=1 ;;
    *) build=$arg ;;
    esac
done
use_build "$build"
command -v ffmpeg >/dev/null || { echo "bench: ffmpeg is missing" >&2; exit 1; }

mkdir -p "$work"
"$here/make-pictures.sh" "$work/pictures"
pictures=("$work"/pictures/p*.jpg)

# A fresh settings folder: the codecs' default options, nothing remembered from earlier runs.
export MORVANTA_CONFIG_DIR="$work/config"
rm -rf "$MORVANTA_CONFIG_DIR"
mkdir -p "$MORVANTA_CONFIG_DIR"



report() { # label, seconds of video
    printf '%-34s wall %7.2f s  cpu %7.2f s  peak %5d MB  %5.1fx real time\n' "$1" "$wall" \
        "$cpu" "$peak_mb" "$(awk -v v="$2" -v w="$wall" 'BEGIN { print v / w }')"
}

# Every timing starts with the photos in the page cache: a cold read would charge the disk's
# mood to whichever tool happened to come first.
warm_pictures() { cat "${pictures[@]}" >/dev/null; }

render() { # codec, output, number of pictures
    local args=() i=0
    while [ "$i" -lt "$3" ]; do
        local p=${pictures[$((i % ${#pictures[@]}))]}
        args+=(-p "$p	Picture $((i + 1)) ($(basename "$p"))")
        i=$((i + 1))
    done
    warm_pictures
    measure "$exe" -q --no-sound --size 720x576 -r 25 -t 3000 --crossfade --captions \
        --no-dynamic --effect none -c "$1" -o "$2.avi" "${args[@]}"
}

rounds=${ROUNDS:-3}
echo "load before: $(uptime | sed 's/.*load average: //')"
seconds=$(video_seconds 20)

# The uncompressed frames (2.3 GB) go to memory when there is room: writing them back to disk
# would slow the timings that follow.
scratch="$work"
if [ -d /dev/shm ] && [ "$(df -Pk /dev/shm | awk 'NR == 2 { print $4 }')" -gt 6000000 ]; then
    scratch=$(mktemp -d /dev/shm/morvanta-bench.XXXXXX)
    trap 'rm -rf "$scratch"' EXIT
fi

render "DIB " "$scratch/morvanta-dib" 20
report "morvanta-render DIB  (20)" "$seconds"
echo "DIB  render md5: $(md5sum <"$scratch/morvanta-dib.avi" | cut -d' ' -f1)"
# The same frames as raw memory, for ffmpeg's encode alone.
raw="$scratch/frames.bgr24"
ffmpeg -nostdin -v error -y -i "$scratch/morvanta-dib.avi" -f rawvideo -pix_fmt bgr24 "$raw"
rm -f "$scratch/morvanta-dib.avi"
cat "$raw" >/dev/null # into the page cache

# best_<tool> holds the lowest wall time so far and the cpu and peak of that round.
keep_best() { # tool
    local var="best_$1"
    if [ -z "${!var:-}" ] || awk -v a="$wall" -v b="${!var%% *}" 'BEGIN { exit !(a < b) }'; then
        printf -v "$var" '%s %s %s' "$wall" "$cpu" "$peak_mb"
    fi
    local all="walls_$1"
    printf -v "$all" '%s %s' "${!all:-}" "$wall"
}
report_best() { # tool, label
    local var="best_$1" all="walls_$1"
    read -r wall cpu peak_mb <<<"${!var}"
    report "$2" "$seconds"
    echo "    rounds:${!all}"
}

have_melt=0
ours_peak=0 # the highest of the rounds
command -v melt >/dev/null && have_melt=1
for round in $(seq "$rounds"); do
    echo "round $round of $rounds"
    render "XVID" "$work/morvanta-xvid" 20
    report "  morvanta-render XVID (20)" "$seconds"
    keep_best ours
    [ "$peak_mb" -gt "$ours_peak" ] && ours_peak=$peak_mb
    [ "$round" = 1 ] && echo "  XVID render md5: $(md5sum <"$work/morvanta-xvid.avi" | cut -d' ' -f1)"

    # ffmpeg's encode alone with our XVID defaults (quantizer 3, key frame every 250 frames,
    # no B-frames, the codec's automatic thread count).
    measure ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt bgr24 -s 720x576 -r 25 -i "$raw" \
        -c:v libxvid -qscale:v 3 -g 250 -keyint_min 250 -bf 0 -f avi "$work/ffmpeg-xvid.avi"
    report "  ffmpeg libxvid from raw frames" "$seconds"
    keep_best encoder

    if [ "$have_melt" = 1 ]; then
        # The same slideshow: 75 frames each, 18-frame luma (dissolve) transitions.
        margs=()
        for p in "${pictures[@]}"; do
            [ ${#margs[@]} -gt 0 ] && margs+=(-mix 18 -mixer luma)
            margs+=("$p" in=0 out=92)
        done
        warm_pictures
        measure melt -silent "${margs[@]}" -profile atsc_1080p_25 -consumer \
            "avformat:$work/melt.avi" width=720 height=576 vcodec=libxvid qscale=3 g=250 bf=0 an=1
        report "  melt slideshow" "$seconds"
        keep_best melt
    fi
done
rm -f "$raw"

echo "best of $rounds rounds:"
report_best ours "morvanta-render XVID (20)"
ours=${best_ours%% *}
report_best encoder "ffmpeg libxvid from raw frames"
encoder=${best_encoder%% *}
if [ "$have_melt" = 1 ]; then
    report_best melt "melt slideshow"
    melt_time=${best_melt%% *}
else
    echo "melt: not installed"
    melt_time=""
fi

echo "ratio ours / encoder-only: $(awk -v a="$ours" -v b="$encoder" 'BEGIN { printf "%.2f", a / b }') (target <= 2.2)"
[ -n "$melt_time" ] &&
    echo "ratio ours / melt:         $(awk -v a="$ours" -v b="$melt_time" 'BEGIN { printf "%.2f", a / b }') (target <= 0.7)"
echo "peak memory: $ours_peak MB, the highest of the rounds (target <= 300)"

if [ "$long" = 1 ]; then
    render "XVID" "$work/morvanta-xvid-200" 200
    report "morvanta-render XVID (200)" "$(video_seconds 200)"
    echo "peak 200 / peak 20: $(awk -v a="$peak_mb" -v b="$ours_peak" 'BEGIN { printf "%.2f", a / b }') (target <= 1.10)"
    rm -f "$work/morvanta-xvid-200.avi"
fi
echo "load after: $(uptime | sed 's/.*load average: //')"

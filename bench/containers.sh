#!/usr/bin/env bash
# Container benchmark: the benchmark photos at 1920x1080 and 3840x2160, 25 fps, 3000 ms each,
# cross-fades and captions, H.264 with the codec's defaults (CRF 20, preset fast, key frame
# every 250 frames, no B-frames), written as MP4 and as AVI. The floor is libx264 alone on the
# same frames: the render's frames once as raw YUV 4:2:0 in memory, encoded by ffmpeg with the
# same settings. melt writes the same MP4 when it is installed.
# Prints wall time, CPU time (user + sys: the fairer number on a shared machine) and peak
# memory of each, in turns for ROUNDS rounds (default 5), then the best round of each and the
# ratios by CPU time and by wall time, and by the median CPU time.
# Usage: [ROUNDS=N] [PICTURES=N] [PICTURES_4K=N] bench/containers.sh [BUILD_DIR]
# PICTURES (default 6) and PICTURES_4K (default 2, 0 for none) keep the raw frames within a
# few GB of memory.   Never part of CI.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
use_build "${1:-build}"
command -v ffmpeg >/dev/null || { echo "bench: ffmpeg is missing" >&2; exit 1; }

mkdir -p "$work"
"$here/make-pictures.sh" "$work/pictures"
pictures=("$work"/pictures/p*.jpg)
rounds=${ROUNDS:-5}
hd_count=${PICTURES:-6}
uhd_count=${PICTURES_4K:-2}

export MORVANTA_CONFIG_DIR="$work/config-containers"
rm -rf "$MORVANTA_CONFIG_DIR"
mkdir -p "$MORVANTA_CONFIG_DIR"

scratch=$(mktemp -d "${TMPDIR_BENCH:-/dev/shm}/morvanta-containers.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

load() { uptime | sed 's/.*load average: //'; }


report() { # label
    printf '  %-30s wall %7.2f s  cpu %7.2f s  peak %5d MB  load %s\n' "$1" "$wall" "$cpu" \
        "$peak_mb" "$(load)"
}

# best_<key> holds the lowest cpu time so far, with that round's wall time and peak; all_<key>
# every round's cpu time, for the median.
keep_best() { # key
    local var="best_$1" list="all_$1"
    printf -v "$list" '%s %s' "${!list:-}" "$cpu"
    if [ -z "${!var:-}" ] || awk -v a="$cpu" -v b="${!var%% *}" 'BEGIN { exit !(a < b) }'; then
        printf -v "$var" '%s %s %s' "$cpu" "$wall" "$peak_mb"
    fi
}
best_line() { # key, label
    local var="best_$1"
    [ -n "${!var:-}" ] || return 0
    read -r cpu wall peak_mb <<<"${!var}"
    printf '  %-30s cpu %7.2f s  wall %7.2f s  peak %5d MB\n' "$2" "$cpu" "$wall" "$peak_mb"
}
median() { # numbers...
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
        print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
# The best rounds' ratio, and the medians' ratio: one round's cpu time varies by several per
# cent on a shared machine, so a single pair can land either side of a target.
ratio() { # key, key, label, target
    local a="best_$1" b="best_$2" la="all_$1" lb="all_$2"
    [ -n "${!a:-}" ] && [ -n "${!b:-}" ] || return 0
    read -r ac aw _ <<<"${!a}"
    read -r bc bw _ <<<"${!b}"
    # shellcheck disable=SC2086 # the lists are words
    local am bm
    am=$(median ${!la})
    bm=$(median ${!lb})
    printf '  %-26s cpu %.3f  wall %.3f  median cpu %.3f  (target <= %s)\n' "$3" \
        "$(awk -v a="$ac" -v b="$bc" 'BEGIN { print a / b }')" \
        "$(awk -v a="$aw" -v b="$bw" 'BEGIN { print a / b }')" \
        "$(awk -v a="$am" -v b="$bm" 'BEGIN { print a / b }')" "$4"
}

picture_args() { # count
    local i=0
    args=()
    while [ "$i" -lt "$1" ]; do
        local p=${pictures[$((i % ${#pictures[@]}))]}
        args+=(-p "$p	Picture $((i + 1)) ($(basename "$p"))")
        i=$((i + 1))
    done
}
render() { # size, codec, output, count
    picture_args "$4"
    cat "${pictures[@]}" >/dev/null
    measure "$exe" -q --no-sound --size "$1" -r 25 -t 3000 --crossfade --captions \
        --no-dynamic --effect none -c "$2" -o "$3" "${args[@]}"
}
floor() { # size, raw frames, output
    cat "$2" >/dev/null
    measure ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt yuv420p -s "$1" -r 25 -i "$2" \
        -c:v libx264 -crf 20 -preset fast -g 250 -keyint_min 250 -bf 0 \
        -colorspace bt709 -color_primaries bt709 -color_trc bt709 -color_range tv \
        -f mp4 "$3"
}
# The same frames as the render: 75 of each picture alone and 18 of each cross-fade. A mix
# follows the two clips it joins and overlaps them, so a picture between two others is a clip
# of 18 + 75 + 18 frames.
melt_mp4() { # width, height, output, count
    local margs=() i=0 length
    while [ "$i" -lt "$4" ]; do
        length=75
        [ "$i" -gt 0 ] && length=$((length + 18))
        [ "$i" -lt $(($4 - 1)) ] && length=$((length + 18))
        margs+=("${pictures[$((i % ${#pictures[@]}))]}" in=0 out=$((length - 1)))
        [ "$i" -gt 0 ] && margs+=(-mix 18 -mixer luma)
        i=$((i + 1))
    done
    measure melt -silent "${margs[@]}" -profile atsc_1080p_25 -consumer "avformat:$3" \
        width="$1" height="$2" vcodec=libx264 crf=20 preset=fast g=250 keyint_min=250 bf=0 an=1
    local got
    got=$(ffprobe -v error -count_packets -select_streams v -show_entries stream=nb_read_packets \
        -of csv=p=0 "$3")
    [ "$got" = "$frames" ] || { echo "bench: melt wrote $got frames, not $frames" >&2; exit 1; }
}

# The render's own frames as raw YUV, once, for the floor: converted as the encoder's input is
# (BT.709 above 720x576, else BT.601; bicubic chroma from full-resolution colour, exact
# rounding), since x264's work depends on the exact pixels: ffmpeg's default conversion gives
# frames that are 1-2 % cheaper to encode.
dump_frames() { # size, count, raw output
    local matrix=bt601
    awk -v s="$1" 'BEGIN { split(s, d, "x"); exit !(d[1] > 720 || d[2] > 576) }' && matrix=bt709
    render "$1" "DIB " "$scratch/dib.avi" "$2"
    ffmpeg -nostdin -v error -y -i "$scratch/dib.avi" -vf "scale=flags=bicubic+accurate_rnd+full_chroma_inp+full_chroma_int:out_color_matrix=$matrix:out_range=tv,format=yuv420p" -f rawvideo "$3"
    rm -f "$scratch/dib.avi"
    frames=$(($(stat -c %s "$3") / $(awk -v s="$1" 'BEGIN { split(s, d, "x"); print d[1] * d[2] * 3 / 2 }')))
    check_floor_frames "$1" "$2" "$3"
}

# Proves that the floor encodes the very frames the render gives x264: a lossless H.264 render
# (constant rate factor 0) decodes to the raw frames byte for byte.
check_floor_frames() { # size, count, raw frames
    local config=$MORVANTA_CONFIG_DIR
    export MORVANTA_CONFIG_DIR="$scratch/config-lossless"
    mkdir -p "$MORVANTA_CONFIG_DIR"
    printf '[SOFTWARE\\Tavrell\\Morvanta\\Codecs\\H264]\nConstant rate factor=0\nPreset=ultrafast\n' \
        >"$MORVANTA_CONFIG_DIR/machine.ini"
    render "$1" H264 "$scratch/lossless.mkv" "$2"
    export MORVANTA_CONFIG_DIR=$config
    if ! ffmpeg -nostdin -v error -i "$scratch/lossless.mkv" -f rawvideo -pix_fmt yuv420p - |
        cmp -s - "$3"; then
        echo "bench: the floor's frames differ from the render's encoder input" >&2
        exit 1
    fi
    rm -f "$scratch/lossless.mkv"
    echo "  the floor's frames are the encoder's input, byte for byte"
}

have_melt=0
command -v melt >/dev/null && have_melt=1
echo "load before: $(load)"

echo "1920x1080: $hd_count pictures, $(video_seconds "$hd_count") s of video"
dump_frames 1920x1080 "$hd_count" "$scratch/hd.yuv"
echo "  $frames frames"
for round in $(seq "$rounds"); do
    echo " round $round of $rounds"
    render 1920x1080 H264 "$scratch/ours.mp4" "$hd_count"
    report "morvanta-render MP4"
    keep_best mp4
    floor 1920x1080 "$scratch/hd.yuv" "$scratch/floor.mp4"
    report "ffmpeg libx264 from raw YUV"
    keep_best floor
    render 1920x1080 H264 "$scratch/ours.avi" "$hd_count"
    report "morvanta-render AVI"
    keep_best avi
    if [ "$have_melt" = 1 ]; then
        melt_mp4 1920 1080 "$scratch/melt.mp4" "$hd_count"
        report "melt MP4"
        keep_best melt
    fi
done
rm -f "$scratch/hd.yuv"

if [ "$uhd_count" -gt 0 ]; then
    echo "3840x2160: $uhd_count pictures, $(video_seconds "$uhd_count") s of video"
    dump_frames 3840x2160 "$uhd_count" "$scratch/uhd.yuv"
    echo "  $frames frames"
    for round in $(seq "$rounds"); do
        echo " round $round of $rounds"
        render 3840x2160 H264 "$scratch/ours4k.mp4" "$uhd_count"
        report "morvanta-render MP4 4K"
        keep_best mp4k
        [ "$peak_mb" -gt "${peak_4k:-0}" ] && peak_4k=$peak_mb
        floor 3840x2160 "$scratch/uhd.yuv" "$scratch/floor4k.mp4"
        report "ffmpeg libx264 4K from raw YUV"
        keep_best floork
    done
    rm -f "$scratch/uhd.yuv"
fi

echo "best of $rounds rounds (by cpu time):"
best_line mp4 "morvanta-render MP4"
best_line floor "ffmpeg libx264 from raw YUV"
best_line avi "morvanta-render AVI"
[ "$have_melt" = 1 ] && best_line melt "melt MP4" || echo "  melt: not installed"
best_line mp4k "morvanta-render MP4 4K"
best_line floork "ffmpeg libx264 4K from raw YUV"
ratio mp4 floor "MP4 / floor" 1.05
ratio avi floor "AVI / floor" 1.05
ratio mp4 melt "MP4 / melt" 0.85
ratio mp4k floork "MP4 4K / floor 4K" 1.10
[ -n "${peak_4k:-}" ] && echo "  peak memory 4K: $peak_4k MB, the highest of the rounds (target <= 1536)"
echo "load after: $(load)"

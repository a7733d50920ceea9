#!/usr/bin/env bash
# The look's options against the plain show: the SD (720x576) and HD (1920x1080) workloads,
# 25 fps, 3000 ms a picture, fades and captions, "XVID", once with each option on, and the
# ratio of each one's wall and CPU time to the same workload without it. Motions are compared
# with the plain pan (dynamic pictures), which they replace; every other option with the still
# show. The baselines run first and last, and the ratios use the quicker of the two.
# Usage: bench/options.sh [BUILD_DIR]     Never part of CI; run it on a quiet machine.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
use_build "${1:-build}"

"$here/make-pictures.sh" "$work/pictures"
# Landscapes and a portrait (p04), so that the fills have bands to fill.
sd_pictures=("$work"/pictures/p0{1,2,3,4,5,6}.jpg)
hd_pictures=("$work"/pictures/p0{1,2,3,4}.jpg)
export MORVANTA_CONFIG_DIR="$work/config-options"
rm -rf "$MORVANTA_CONFIG_DIR"
mkdir -p "$MORVANTA_CONFIG_DIR"
out="$work/options.avi"
[ -d /dev/shm ] && out=/dev/shm/morvanta-options-$$.avi
trap 'rm -f "$out"' EXIT

# label and the options it adds; "pan" is the motions' baseline.
options=(
    "transition cut|--transition cut"
    "transition fade-black|--transition fade-black"
    "transition wipe-left|--transition wipe-left"
    "transition push-up|--transition push-up"
    "transition zoom|--transition zoom"
    "transition iris|--transition iris"
    "transition random|--transition random"
    "motion zoom-in|--motion zoom-in"
    "motion zoom-out|--motion zoom-out"
    "motion pan-zoom|--motion pan-zoom"
    "motion pan-zoom, ease|--motion pan-zoom --ease"
    "motion random|--motion random"
    "fill blur|--fill blur"
    "fill crop|--fill crop"
    "caption style|--caption-size 20 --caption-place bottom-centre --caption-edge outline --no-caption-band"
)

# Runs one render; sets wall and cpu.
measure() { # size, pictures array name, options...
    local size=$1 name=$2[@]
    shift 2
    local args=() p
    for p in "${!name}"; do args+=(-p "$p	$(basename "$p")"); done
    cat "${!name}" >/dev/null
    /usr/bin/time -f "%e %U %S" -o "$work/options-time.log" "$exe" -q --no-sound --size "$size" \
        -r 25 -t 3000 --crossfade --captions --effect none -c XVID -o "$out" "${args[@]}" "$@" \
        >/dev/null 2>"$work/options-stderr.log" ||
        { cat "$work/options-stderr.log" >&2; echo "bench: render failed: $*" >&2; exit 1; }
    read -r wall user sys <"$work/options-time.log"
    cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
}

lesser() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b ? a : b) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "load before: $(uptime | sed 's/.*load average: //')"
for workload in "SD 720x576 sd_pictures" "HD 1920x1080 hd_pictures"; do
    read -r label size pictures <<<"$workload"
    measure "$size" "$pictures" --no-dynamic
    still_wall=$wall still_cpu=$cpu
    measure "$size" "$pictures" --dynamic --motion pan
    pan_wall=$wall pan_cpu=$cpu
    rows=()
    for entry in "${options[@]}"; do
        name=${entry%%|*}
        read -ra extra <<<"${entry#*|}"
        case $name in
        motion*) measure "$size" "$pictures" --dynamic "${extra[@]}"; base=pan ;;
        *) measure "$size" "$pictures" --no-dynamic "${extra[@]}"; base=still ;;
        esac
        rows+=("$name|$base|$wall|$cpu")
    done
    measure "$size" "$pictures" --no-dynamic
    still_wall=$(lesser "$still_wall" "$wall") still_cpu=$(lesser "$still_cpu" "$cpu")
    measure "$size" "$pictures" --dynamic --motion pan
    pan_wall=$(lesser "$pan_wall" "$wall") pan_cpu=$(lesser "$pan_cpu" "$cpu")

    count=$(eval 'echo ${#'"$pictures"'[@]}')
    echo "$label $size, $count pictures, 25 fps, 3000 ms, fades and captions, XVID:"
    printf '  %-26s wall %6.2f s  cpu %6.2f s\n' "still (baseline)" "$still_wall" "$still_cpu"
    printf '  %-26s wall %6.2f s  cpu %6.2f s\n' "pan (motions' baseline)" "$pan_wall" "$pan_cpu"
    for row in "${rows[@]}"; do
        IFS='|' read -r name base wall cpu <<<"$row"
        bw=${base}_wall bc=${base}_cpu
        printf '  %-26s wall %6.2f s  cpu %6.2f s  ratio to %-5s wall %s  cpu %s\n' "$name" \
            "$wall" "$cpu" "$base" "$(ratio "$wall" "${!bw}")" "$(ratio "$cpu" "${!bc}")"
    done
done
echo "target: every ratio <= 1.10"
echo "load after: $(uptime | sed 's/.*load average: //')"

# Shared by the benchmark scripts, which source it: the program under test, and how one run is
# measured.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(dirname "$here")
work="$here/work"

# Sets build and exe from a build folder (relative to the top), or stops when it is not built.
use_build() {
    build=${1:-build}
    case $build in /*) ;; *) build="$top/$build" ;; esac
    exe="$build/morvanta-render"
    [ -x "$exe" ] || { echo "bench: $exe is not built" >&2; exit 1; }
}

video_seconds() { # frames of N pictures at 75 frames each with 18 fade frames between
    awk -v n="$1" 'BEGIN { printf "%.2f", (n * 75 + (n - 1) * 18) * 0.04 }'
}

# Runs a command under /usr/bin/time; sets wall, cpu and peak_mb.
measure() {
    local log="$work/time.log"
    mkdir -p "$work"
    if ! /usr/bin/time -v -o "$log" "$@" >/dev/null 2>"$work/stderr.log"; then
        cat "$work/stderr.log" >&2
        echo "bench: $1 failed" >&2
        exit 1
    fi
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
        for (i = 1; i <= n; ++i) s = s * 60 + t[i]; printf "%.2f", s }' "$log")
    cpu=$(awk -F': ' '/User time/ { u = $2 } /System time/ { s = $2 } END { printf "%.2f", u + s }' "$log")
    peak_mb=$(awk -F': ' '/Maximum resident set size/ { printf "%.0f", $2 / 1024 }' "$log")
}

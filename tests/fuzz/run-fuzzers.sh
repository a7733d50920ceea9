#!/usr/bin/env bash
# Runs every harness of a fuzz build: "replay" feeds the committed seeds and crash files once
# (-runs=0); "mutate SECONDS" fuzzes each harness for that long and keeps new inputs.
# Names after the seconds pick harnesses (e.g. "jpeg mp3"); none means all.
# Usage: tests/fuzz/run-fuzzers.sh BUILD replay|mutate [SECONDS [NAME...]]
set -euo pipefail
build=$1
mode=$2
seconds=${3:-600}
shift $(($# < 3 ? $# : 3))
only=" $* "
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
status=0
passed=0
failed=0
shopt -s nullglob
for exe in "$build"/tests/fuzz/fuzz_*; do
    [ -x "$exe" ] || continue
    name=$(basename "$exe")
    name=${name#fuzz_}
    [ "$only" = "  " ] || [[ $only == *" $name "* ]] || continue
    dirs=()
    [ -d "$here/corpus/$name" ] && dirs+=("$here/corpus/$name")
    [ -d "$top/tests/data/fuzz/$name" ] && dirs+=("$top/tests/data/fuzz/$name")
    opts=(-rss_limit_mb=2048 -malloc_limit_mb=1024 -timeout=10)
    [ -f "$here/$name.dict" ] && opts+=("-dict=$here/$name.dict")
    if [ "$mode" = replay ]; then
        if [ ${#dirs[@]} -eq 0 ]; then echo "$name: no seeds"; continue; fi
        if "$exe" "${opts[@]}" -runs=0 "${dirs[@]}" >"$build/$name.replay.log" 2>&1; then
            echo "fuzz replay $name: $(grep -c . <(find "${dirs[@]}" -type f)) inputs, ok"
            passed=$((passed + 1))
        else
            echo "fuzz replay $name: FAILED"; tail -n 40 "$build/$name.replay.log"; status=1
            failed=$((failed + 1))
        fi
    else
        found="$here/found/$name"
        mkdir -p "$found" "$build/artifacts/$name"
        echo "fuzzing $name for ${seconds}s"
        "$exe" "${opts[@]}" -max_total_time="$seconds" -print_final_stats=1 \
            -artifact_prefix="$build/artifacts/$name/" "$found" "${dirs[@]}" \
            >"$build/$name.fuzz.log" 2>&1 || status=1
        grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$build/$name.fuzz.log" || true
        ls "$build/artifacts/$name" 2>/dev/null | sed "s/^/  found: /" || true
    fi
done
[ "$mode" = replay ] && echo "fuzz replay: $passed passed, $failed failed"
exit $status

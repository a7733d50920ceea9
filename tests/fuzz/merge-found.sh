#!/usr/bin/env bash
# Keeps what fuzzing learnt: the inputs in tests/fuzz/found/<name>/ that reach code the committed
# seeds do not are copied into tests/fuzz/corpus/<name>/ as found-<sha1>, so that the next run
# (and every replay) starts from there. Inputs above MAX_BYTES, and any beyond BUDGET bytes per
# harness, are left out to keep the corpus small.
# Usage: tests/fuzz/merge-found.sh BUILD [NAME...]
set -euo pipefail
build=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
max_bytes=${MAX_BYTES:-20000}
budget=${BUDGET:-200000}
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
    for exe in "$build"/tests/fuzz/fuzz_*; do names+=("$(basename "$exe" | sed 's/^fuzz_//')"); done
fi
for name in "${names[@]}"; do
    found=$here/found/$name
    corpus=$here/corpus/$name
    [ -d "$found" ] || continue
    tmp=$(mktemp -d)
    mkdir "$tmp/merged" "$tmp/small"
    # Only inputs small enough to keep take part, so coverage is credited to keepable files.
    find "$found" -type f -size -"$((max_bytes + 1))"c -exec cp -t "$tmp/small" {} +
    cp -r "$corpus/." "$tmp/merged/"
    before=$(find "$tmp/merged" -type f | wc -l)
    "$build/tests/fuzz/fuzz_$name" -merge=1 -rss_limit_mb=2048 -timeout=10 \
        "$tmp/merged" "$tmp/small" >"$tmp/log" 2>&1 || { tail -n 20 "$tmp/log"; exit 1; }
    used=$(find "$corpus" -name 'found-*' -type f -printf '%s\n' | awk '{s += $1} END {print s + 0}')
    added=0
    # Smallest first: the budget keeps as many new paths as it can.
    while read -r size file; do
        base=$(basename "$file")
        [ -e "$corpus/$base" ] && continue
        [ $((used + size)) -gt "$budget" ] && break
        cp "$file" "$corpus/found-$(sha1sum "$file" | cut -c1-16)"
        used=$((used + size))
        added=$((added + 1))
    done < <(find "$tmp/merged" -type f -printf '%s %p\n' | sort -n)
    echo "$name: $before seeds, $added found inputs added, $used bytes of found inputs"
    rm -rf "$tmp"
done

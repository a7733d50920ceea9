#!/usr/bin/env bash
# Renders the demo project with the freshly built morvanta-render.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
mkdir -p "$top/out"
exe="$top/$build/morvanta-render"
if [ ! -x "$exe" ]; then
    echo "morvanta-render is not built yet" >&2
    exit 1
fi
# Spread the pictures over the whole soundtrack, as "Match audio" does in the window.
"$exe" --match-audio -o "$top/out/demo.avi" "$here/demo.mrv"
echo "Rendered $top/out/demo.avi"

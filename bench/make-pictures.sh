#!/usr/bin/env bash
# Builds the benchmark's photos deterministically: photo-like synthetic content (fractals,
# gradients, test patterns under film grain), baseline JPEG quality 90, 4:2:0.
# Usage: make-pictures.sh DIR   (existing pictures are kept)
set -euo pipefail
dir=${1:?usage: make-pictures.sh DIR}
mkdir -p "$dir"

# name size source-graph grain
pictures=(
    "p01 3000x2000 mandelbrot=s=3000x2000:start_x=-0.743643887:start_y=0.131825904:start_scale=0.05:end_pts=1 24"
    "p02 3000x2000 gradients=s=3000x2000:n=4:seed=11 24"
    "p03 3000x2000 testsrc2=s=3000x2000 44"
    "p04 2000x3000 gradients=s=2000x3000:n=6:seed=7 24"
    "p05 3000x2000 mandelbrot=s=3000x2000:start_x=-0.75:start_y=0.1:start_scale=0.6:end_pts=1 26"
    "p06 3000x2000 mandelbrot=s=3000x2000:start_x=-0.7453:start_y=0.1127:start_scale=0.01:end_pts=1 26"
    "p07 3000x2000 gradients=s=3000x2000:n=8:seed=23 24"
    "p08 2000x3000 mandelbrot=s=2000x3000:start_x=-1.25:start_y=0.02:start_scale=0.3:end_pts=1 26"
    "p09 3000x2000 testsrc2=s=3000x2000,hue=h=120 44"
    "p10 6000x1500 gradients=s=6000x1500:n=5:seed=3 24"
    "p11 3000x2000 mandelbrot=s=3000x2000:start_x=-0.1011:start_y=0.9563:start_scale=0.02:end_pts=1 24"
    "p12 3000x2000 gradients=s=3000x2000:n=3:seed=41 24"
    "p13 3000x2000 mandelbrot=s=3000x2000:start_x=-0.16:start_y=1.0405:start_scale=0.05:end_pts=1 26"
    "p14 2000x3000 testsrc2=s=2000x3000 44"
    "p15 3000x2000 mandelbrot=s=3000x2000:start_x=0.2815:start_y=0.0095:start_scale=0.01:end_pts=1 24"
    "p16 3000x2000 gradients=s=3000x2000:n=7:seed=59 24"
    "p17 3000x2000 mandelbrot=s=3000x2000:start_x=-1.7686:start_y=0.0017:start_scale=0.04:end_pts=1 26"
    "p18 3000x2000 gradients=s=3000x2000:n=2:seed=71 24"
    "p19 3000x2000 testsrc2=s=3000x2000,hflip,hue=h=240 44"
    "p20 3000x2000 gradients=s=3000x2000:n=6:seed=97 24"
)

for entry in "${pictures[@]}"; do
    read -r name size source grain <<<"$entry"
    out="$dir/$name.jpg"
    [ -s "$out" ] && continue
    # Grain with a fixed seed, so every run makes the same bytes.
    ffmpeg -nostdin -v error -y -f lavfi -i "$source,format=rgb24,noise=alls=$grain:allf=t:all_seed=4242" \
        -frames:v 1 -c:v ppm -f image2pipe - |
        cjpeg -quality 90 -baseline -sample 2x2 -outfile "$out.tmp"
    mv "$out.tmp" "$out"
done

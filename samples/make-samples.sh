#!/usr/bin/env bash
# Regenerates the demo project's pictures, soundtrack and demo.mrv from ffmpeg's synthetic
# sources, so that nobody's photos end up in the repository.
# Needs ffmpeg (with libmp3lame) and cjpeg (Debian package libjpeg-turbo-progs, for the
# one-component greyscale JPEG, which ffmpeg's JPEG encoder cannot write).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here"

for tool in ffmpeg cjpeg; do
    if ! command -v "$tool" >/dev/null; then
        echo "make-samples.sh needs $tool: apt-get install ffmpeg libjpeg-turbo-progs" >&2
        exit 1
    fi
done

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
# One still frame of a lavfi source as a baseline JPEG (4:2:0).
jpeg() {
    local source=$1 out=$2 quality=$3
    ff -f lavfi -i "$source" -frames:v 1 -pix_fmt yuvj420p -q:v "$quality" "$out"
}

# Landscape 4:3: the Mandelbrot set in its default colours.
jpeg "mandelbrot=s=1600x1200" 01-mandelbrot.jpg 6
# Portrait 3:4: soft radial gradients.
jpeg "gradients=s=1200x1600:c0=0x1d3557:c1=0xe63946:c2=0xf1faee:c3=0x457b9d:n=4:type=radial:x0=600:y0=500:x1=1200:y1=1600:seed=7" \
    02-dusk-portrait.jpg 5
# Panorama 15:4: the classic test pattern, shifted in time so its counters differ.
jpeg "testsrc2=s=3000x800:r=25,trim=start_frame=40,setpts=PTS-STARTPTS" 03-panorama.jpg 6
# Greyscale JPEG with a single component: a cellular automaton scaled up.
ff -f lavfi -i "cellauto=rule=110:s=256x192:random_seed=5,scale=1024x768:flags=neighbor,format=gray" \
    -frames:v 1 -c:v pgm grey.pgm
cjpeg -grayscale -quality 70 -outfile 04-cellular-grey.jpg grey.pgm
rm -f grey.pgm
# The BMP: a Sierpinski triangle tinted by a gradient, 24-bit, small enough to stay cheap
# uncompressed.
ff -f lavfi -i "gradients=s=480x360:c0=0xff9f1c:c1=0x2ec4b6:x0=0:y0=0:x1=480:y1=360:seed=1,format=gbrp[g];sierpinski=s=480x360:seed=3:type=triangle,format=gbrp,lutrgb=r=255-val/2:g=255-val/2:b=255-val/2[s];[g][s]blend=all_mode=multiply,format=bgr24[out0]" \
    -frames:v 1 -c:v bmp 05-triangle.bmp
# Square: linear gradients with a different palette.
jpeg "gradients=s=1000x1000:c0=0xffb703:c1=0x219ebc:c2=0x023047:n=3:type=linear:seed=11" \
    06-sunrise-square.jpg 5
# Widescreen 16:9: the game of life in colour.
jpeg "life=s=320x180:mold=10:r=25:ratio=0.5:death_color=#16213e:life_color=#e94560:mold_color=#0f3460:seed=9,trim=start_frame=30,setpts=PTS-STARTPTS,scale=1280x720:flags=neighbor" \
    07-life-wide.jpg 5

# A 32-second soundtrack: an arpeggio (two notes a second, eight steps) over a slow bass line,
# moving down a minor third every 8 seconds.
# Each note restarts its phase at its own start (local time u) with a short attack and a decay.
note='mod(floor(t*2),8)'
step="if(eq($note,0),0,if(eq($note,1),4,if(eq($note,2),7,if(eq($note,3),12,if(eq($note,4),9,if(eq($note,5),7,if(eq($note,6),4,2)))))))"
key='if(gte(mod(t,16),8),-3,0)'
melody="0.22*sin(2*PI*261.63*pow(2,($step+$key)/12)*mod(t,0.5))*min(1,mod(t,0.5)*80)*exp(-5*mod(t,0.5))"
bass="0.2*sin(2*PI*65.41*pow(2,(if(lt(mod(t,8),4),0,5)+$key)/12)*mod(t,2))*min(1,mod(t,2)*40)*exp(-1.2*mod(t,2))"
ff -f lavfi -i "aevalsrc=exprs='${melody}+${bass}|${bass}+0.8*${melody}':s=44100:d=32" \
    -af "afade=t=in:d=0.5,afade=t=out:st=30:d=2" \
    -c:a libmp3lame -b:a 128k -ar 44100 -ac 2 soundtrack.mp3

# The project: relative paths, resolved against this folder; CR LF line ends.
printf '%s\r\n' \
    ';Sound=soundtrack.mp3' \
    ';Output=demo.avi' \
    $'01-mandelbrot.jpg\tThe Mandelbrot set' \
    '02-dusk-portrait.jpg' \
    $'03-panorama.jpg\tA wide test pattern' \
    $'04-cellular-grey.jpg\tRule 110' \
    $'05-triangle.bmp\tSierpinski' \
    $'06-sunrise-square.jpg\tSunrise' \
    $'07-life-wide.jpg\tLife goes on' >demo.mrv

du -cb 0*.jpg 0*.bmp soundtrack.mp3 | tail -1 | awk '{printf "Samples written: %d bytes\n", $1}'

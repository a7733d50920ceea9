#!/usr/bin/env bash
# Rebuilds the seed corpus of every harness in tests/fuzz/corpus/<name>/: small valid files of
# each kind the parsers know, so that mutation starts from every code path instead of finding
# the formats from scratch. Needs ffmpeg, lame, cjpeg/jpegtran, python3 and a C compiler with
# libjpeg; uses morvanta-render from $MORVANTA_RENDER (or build/) when it is there.
# Usage: tests/fuzz/make-seeds.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
out=$here/corpus
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Inputs kept from fuzzing runs (found-*, see merge-found.sh) stay; the rest is made afresh.
mkdir -p "$out"/{bmp,jpeg,exif,mp3,mpeg_duration,avi,project,settings,song}
find "$out" -type f ! -name 'found-*' -delete
ff() { ffmpeg -nostdin -hide_banner -v error -y "$@"; }
# Byte-exact output from one ffmpeg version to the next, where the muxer allows it.
exact=(-fflags +bitexact -flags:v +bitexact -flags:a +bitexact)

# ---- BMP: every header kind, depth and compression the decoder knows -------------------------
python3 - "$out/bmp" <<'EOF'
import struct, sys, os
out = sys.argv[1]
W, H = 7, 5

def pixel(x, y, bits):
    return (x * 37 + y * 11 + 3) & ((1 << bits) - 1)

def rows(bpp, width, height):
    data = b""
    for y in range(height):
        if bpp < 8:
            per = 8 // bpp
            row = bytearray((width + per - 1) // per)
            for x in range(width):
                row[x // per] |= pixel(x, y, bpp) << (8 - bpp * (x % per + 1))
        elif bpp == 8:
            row = bytes(pixel(x, y, 8) for x in range(width))
        elif bpp == 16:
            row = b"".join(struct.pack("<H", pixel(x, y, 16)) for x in range(width))
        elif bpp == 24:
            row = b"".join(bytes((pixel(x, y, 8), 255 - pixel(y, x, 8), x * 30)) for x in range(width))
        else:
            row = b"".join(struct.pack("<I", pixel(x, y, 32) | 0x80000000) for x in range(width))
        row = bytes(row)
        data += row + b"\0" * (-len(row) % 4)
    return data

def palette(count, core=False):
    entries = [bytes((i * 7 & 255, i * 13 & 255, i * 29 & 255)) for i in range(count)]
    return b"".join(e if core else e + b"\0" for e in entries)

def info_header(size, width, height, bpp, compression, image, colours, masks=None):
    h = struct.pack("<IiiHHIIiiII", size, width, height, 1, bpp, compression, len(image),
                    2835, 2835, colours, 0)
    if size >= 108:
        m = masks or (0, 0, 0, 0)
        h += struct.pack("<IIII", *m) + b"BGRs" + b"\0" * 36 + b"\0" * 12
    if size >= 124:
        h += struct.pack("<IIII", 4, 0, 0, 0)
    return h

def write(name, header, extra, image):
    off = 14 + len(header) + len(extra)
    with open(os.path.join(out, name), "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", off + len(image), 0, 0, off) + header + extra + image)

for bpp in (1, 2, 4, 8):
    image = rows(bpp, W, H)
    n = 1 << bpp
    write(f"pal{bpp}.bmp", info_header(40, W, H, bpp, 0, image, n), palette(n), image)
    write(f"pal{bpp}-topdown.bmp", info_header(40, W, -H, bpp, 0, image, 0), palette(n), image)
# Fewer palette entries than the depth allows.
image = rows(8, W, H)
write("pal8-short.bmp", info_header(40, W, H, 8, 0, image, 40), palette(40), image)
# OS/2 core headers: 16-bit sizes, 3-byte palette entries.
for bpp in (1, 4, 8, 24):
    image = rows(bpp, W, H)
    core = struct.pack("<IHHHH", 12, W, H, 1, bpp)
    write(f"core{bpp}.bmp", core, palette(1 << bpp, True) if bpp <= 8 else b"", image)
for bpp in (16, 24, 32):
    image = rows(bpp, W, H)
    write(f"rgb{bpp}.bmp", info_header(40, W, H, bpp, 0, image, 0), b"", image)
    write(f"rgb{bpp}-topdown.bmp", info_header(40, W, -H, bpp, 0, image, 0), b"", image)
# BITFIELDS: 565 and 444 after a 40-byte header, 32-bit masks in V4 and V5 headers.
image = rows(16, W, H)
write("bf565.bmp", info_header(40, W, H, 16, 3, image, 0), struct.pack("<III", 0xF800, 0x07E0, 0x001F), image)
write("bf444.bmp", info_header(40, W, H, 16, 3, image, 0), struct.pack("<III", 0x0F00, 0x00F0, 0x000F), image)
image = rows(32, W, H)
write("bf32-v4.bmp", info_header(108, W, H, 32, 3, image, 0, (0xFF0000, 0xFF00, 0xFF, 0xFF000000)), b"", image)
write("bf32-v5.bmp", info_header(124, W, -H, 32, 3, image, 0, (0xFF, 0xFF00, 0xFF0000, 0)), b"", image)
write("bf32-v3alpha.bmp", info_header(56, W, H, 32, 3, image, 0)[:40] + struct.pack("<IIII", 0x3FF00000, 0xFFC00, 0x3FF, 0), b"", image)
image = rows(24, W, H)
write("rgb24-v5.bmp", info_header(124, W, H, 24, 0, image, 0), b"", image)

def rle8():
    d = bytearray()
    for y in range(H):
        if y == 2:
            d += bytes((0, 2, 2, 1))         # delta: skip 2 right, 1 down
            d += bytes((3, 9, 0, 0))
            continue
        d += bytes((3, y + 1))               # run of 3
        d += bytes((0, 4, 5, 6, 7, 8))       # absolute run of 4 (word aligned)
        d += bytes((0, 0))                   # end of line
    return bytes(d + bytes((0, 1)))

def rle4():
    d = bytearray()
    for y in range(H):
        d += bytes((4, 0x12 + y))            # run of 4 alternating nibbles
        d += bytes((0, 3, 0x34, 0x50, 0, 0)) # absolute run of 3 nibbles, padded to a word
    return bytes(d + bytes((0, 1)))

image = rle8()
write("rle8.bmp", info_header(40, W, H, 8, 1, image, 0), palette(256), image)
image = rle4()
write("rle4.bmp", info_header(40, W, H, 4, 2, image, 0), palette(16), image)
EOF
ff -f lavfi -i testsrc2=size=9x6:rate=1 -frames:v 1 -pix_fmt bgr24 "$out/bmp/ffmpeg-bgr24.bmp"
ff -f lavfi -i testsrc2=size=9x6:rate=1 -frames:v 1 -pix_fmt pal8 "$out/bmp/ffmpeg-pal8.bmp"
ff -f lavfi -i testsrc2=size=9x6:rate=1 -frames:v 1 -pix_fmt rgb555le "$out/bmp/ffmpeg-rgb555.bmp"
ff -f lavfi -i testsrc2=size=9x6:rate=1 -frames:v 1 -pix_fmt monob "$out/bmp/ffmpeg-mono.bmp"

# ---- JPEG: baseline, subsamplings, greyscale, progressive, arithmetic, restarts, CMYK --------
ff -f lavfi -i testsrc2=size=32x24:rate=1 -frames:v 1 -f image2 -c:v ppm "$tmp/pic.ppm"
ff -f lavfi -i testsrc2=size=17x13:rate=1 -frames:v 1 -f image2 -c:v ppm "$tmp/odd.ppm"
cjpeg -quality 75 -outfile "$out/jpeg/baseline.jpg" "$tmp/pic.ppm"
cjpeg -quality 90 -sample 1x1 -outfile "$out/jpeg/444.jpg" "$tmp/pic.ppm"
cjpeg -quality 60 -sample 2x1 -outfile "$out/jpeg/422.jpg" "$tmp/odd.ppm"
cjpeg -quality 60 -sample 4x1 -outfile "$out/jpeg/411.jpg" "$tmp/odd.ppm"
cjpeg -grayscale -outfile "$out/jpeg/grey.jpg" "$tmp/odd.ppm"
cjpeg -progressive -outfile "$out/jpeg/progressive.jpg" "$tmp/pic.ppm"
cjpeg -progressive -grayscale -outfile "$out/jpeg/progressive-grey.jpg" "$tmp/odd.ppm"
cjpeg -arithmetic -outfile "$out/jpeg/arithmetic.jpg" "$tmp/odd.ppm"
cjpeg -restart 1B -optimize -outfile "$out/jpeg/restart.jpg" "$tmp/pic.ppm"
cjpeg -rgb -outfile "$out/jpeg/rgb-components.jpg" "$tmp/odd.ppm"
jpegtran -progressive -arithmetic -outfile "$out/jpeg/progressive-arithmetic.jpg" "$out/jpeg/baseline.jpg"
ff -f lavfi -i testsrc2=size=16x16:rate=1 -frames:v 1 -pix_fmt yuvj422p "${exact[@]}" \
    -f image2 -c:v mjpeg "$out/jpeg/ffmpeg-422.jpg"
# CMYK and YCCK (Adobe marker) need libjpeg directly.
cat >"$tmp/cmyk.c" <<'EOF'
#include <stdio.h>
#include <stdlib.h>
#include <jpeglib.h>
int main(int argc, char** argv) {
    struct jpeg_compress_struct c;
    struct jpeg_error_mgr e;
    FILE* f = fopen(argv[1], "wb");
    if (!f) return 1;
    c.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = 12;
    c.image_height = 10;
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    if (argc > 2) jpeg_set_colorspace(&c, JCS_YCCK);
    jpeg_start_compress(&c, TRUE);
    unsigned char row[48];
    while (c.next_scanline < c.image_height) {
        for (int i = 0; i < 48; ++i) row[i] = (unsigned char)(i * 19 + c.next_scanline * 23);
        JSAMPROW r = row;
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return fclose(f) != 0;
}
EOF
cc -O1 -o "$tmp/cmyk" "$tmp/cmyk.c" -ljpeg
"$tmp/cmyk" "$out/jpeg/cmyk.jpg"
"$tmp/cmyk" "$out/jpeg/ycck.jpg" ycck

# ---- EXIF orientation: bare TIFF blocks of both byte orders, and JPEGs carrying one ---------
python3 - "$out/exif" "$out/jpeg" <<'EOF'
import struct, sys, os
out, jpegs = sys.argv[1], sys.argv[2]

def tiff(orientation, order, extra_entries=0):
    e = "<" if order == b"II" else ">"
    entries = [struct.pack(e + "HHI4s", 0x010F, 2, 3, b"ab\0\0")] * extra_entries
    entries.append(struct.pack(e + "HHIH2x", 0x0112, 3, 1, orientation))
    ifd = struct.pack(e + "H", len(entries)) + b"".join(entries) + struct.pack(e + "I", 0)
    return order + struct.pack(e + "HI", 42, 8) + ifd

def app1(block):
    payload = b"Exif\0\0" + block
    return b"\xff\xe1" + struct.pack(">H", len(payload) + 2) + payload

def write(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)

for o in (1, 3, 6, 8):
    write(f"tiff-{o}-ii", tiff(o, b"II", o % 3))
    write(f"tiff-{o}-mm", tiff(o, b"MM", o % 2))
base = open(os.path.join(jpegs, "baseline.jpg"), "rb").read()
xmp = b"\xff\xe1\x00\x09http://"
write("jpeg-6-mm.jpg", base[:2] + xmp + app1(tiff(6, b"MM", 1)) + base[2:])
write("jpeg-5-ii.jpg", base[:2] + app1(tiff(5, b"II")) + base[2:])
# The picture seeds carry turned files too, so the JPEG harness decodes them turned.
with open(os.path.join(jpegs, "exif-6.jpg"), "wb") as f:
    f.write(base[:2] + app1(tiff(6, b"II", 1)) + base[2:])
with open(os.path.join(jpegs, "exif-7.jpg"), "wb") as f:
    f.write(base[:2] + app1(tiff(7, b"MM")) + base[2:])
EOF

# ---- MPEG audio: rates of the three versions, CBR/VBR, CRC, tags, Layer II ------------------
sine() { echo "sine=frequency=$1:sample_rate=$2:duration=$3"; }
ff -f lavfi -i "$(sine 440 44100 0.3)" -ac 2 -c:a libmp3lame -b:a 64k -write_xing 0 "${exact[@]}" "$tmp/a.mp3"
ff -f lavfi -i "$(sine 440 44100 0.5)" -ac 2 -c:a libmp3lame -q:a 6 "${exact[@]}" "$tmp/vbr-xing.mp3"
ff -f lavfi -i "$(sine 300 48000 0.3)" -ac 1 -c:a libmp3lame -b:a 32k -write_xing 0 "${exact[@]}" "$tmp/mono48.mp3"
ff -f lavfi -i "$(sine 300 22050 0.4)" -ac 1 -c:a libmp3lame -b:a 24k "${exact[@]}" "$tmp/mpeg2-22050.mp3"
ff -f lavfi -i "$(sine 300 8000 0.6)" -ac 1 -c:a libmp3lame -b:a 8k "${exact[@]}" "$tmp/mpeg25-8000.mp3"
ff -f lavfi -i "$(sine 500 32000 0.3)" -ac 2 -c:a libmp3lame -b:a 48k -id3v2_version 3 \
    -write_id3v1 1 -metadata title=Seed -metadata artist=Fuzz "${exact[@]}" "$tmp/tags.mp3"
ff -f lavfi -i "$(sine 500 32000 0.3)" -ac 2 -c:a libmp3lame -b:a 48k -id3v2_version 4 \
    -metadata title=Seed "${exact[@]}" "$tmp/id3v24.mp3"
ff -f lavfi -i "$(sine 600 32000 0.3)" -ac 2 -c:a mp2 -b:a 64k "${exact[@]}" "$tmp/layer2.mp2"
ff -f lavfi -i "$(sine 600 16000 0.4)" -ac 1 -c:a pcm_s16le "$tmp/in.wav"
lame --quiet -p -m m -b 32 "$tmp/in.wav" "$tmp/crc.mp3"
lame --quiet --freeformat -b 40 "$tmp/in.wav" "$tmp/freeformat.mp3" 2>/dev/null || true
lame --quiet -m j --abr 40 --resample 24 "$tmp/in.wav" "$tmp/abr-vbri-like.mp3"
# Leading zeros, a tag trailer APE-style, and a file cut mid-frame.
{ head -c 700 /dev/zero; cat "$tmp/a.mp3"; } >"$tmp/zeros.mp3"
{ cat "$tmp/mono48.mp3"; printf 'APETAGEX\320\007\0\0\040\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0'; } >"$tmp/ape.mp3"
head -c 1500 "$tmp/a.mp3" >"$tmp/cut.mp3"
for f in "$tmp"/*.mp3 "$tmp"/*.mp2; do
    cp "$f" "$out/mp3/"
    cp "$f" "$out/mpeg_duration/"
done

# ---- AVI: codecs with and without sound, the ffmpeg muxer, an OpenDML file, our own writer ---
src=(-f lavfi -i testsrc2=size=32x24:rate=5)
snd=(-f lavfi -i "$(sine 440 8000 0.6)")
ff "${src[@]}" -t 0.6 -c:v rawvideo -pix_fmt bgr24 "${exact[@]}" "$out/avi/raw.avi"
ff "${src[@]}" -t 0.6 -c:v rawvideo -pix_fmt pal8 "${exact[@]}" "$out/avi/raw-pal8.avi"
ff "${src[@]}" -t 0.6 -c:v mjpeg -q:v 10 "${exact[@]}" "$out/avi/mjpeg.avi"
ff "${src[@]}" -t 0.6 -c:v huffyuv "${exact[@]}" "$out/avi/huffyuv.avi"
ff "${src[@]}" "${snd[@]}" -t 0.4 -c:v mjpeg -q:v 20 -c:a pcm_s16le -ac 1 "${exact[@]}" "$out/avi/mjpeg-pcm.avi"
ff "${src[@]}" "${snd[@]}" -t 0.6 -c:v huffyuv -c:a libmp3lame -b:a 8k -ac 1 "${exact[@]}" "$out/avi/huffyuv-mp3.avi"
ff "${src[@]}" "${snd[@]}" -t 0.6 -c:v mjpeg -q:v 10 -c:a mp2 -b:a 32k -ar 16000 -ac 1 "${exact[@]}" "$out/avi/mjpeg-mp2.avi"
python3 - "$out/avi" <<'EOF'
# A two-RIFF OpenDML file (AVI + AVIX, indx super index, ix00 standard indexes, idx1 in the
# first RIFF) and a file with no index at all, read by scanning movi.
import struct, sys, os
out = sys.argv[1]
W, H, FRAMES = 4, 2, 6
frame = lambda i: bytes(((i * 40 + k) & 255) for k in range(W * H * 3))

def chunk(fcc, data):
    return fcc + struct.pack("<I", len(data)) + data + (b"\0" if len(data) & 1 else b"")

def lst(kind, body):
    return chunk(b"LIST", kind + body)

def headers(super_entries, length):
    avih = struct.pack("<14I", 200000, 0, 0, 0x10, length, 0, 1, W * H * 3, W, H, 0, 0, 0, 0)
    strh = b"vids" + b"DIB " + struct.pack("<IHHIIIIIIIIhhhh", 0, 0, 0, 0, 1, 5, 0, length,
                                            W * H * 3, 0xFFFFFFFF, 0, 0, 0, W, H)
    strf = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, W * H * 3, 0, 0, 0, 0)
    indx = struct.pack("<HBBI4s12x", 4, 0, 0, len(super_entries), b"00db")
    for off, size, dur in super_entries:
        indx += struct.pack("<QII", off, size, dur)
    indx += b"\0" * 16 * (4 - len(super_entries))
    strl = lst(b"strl", chunk(b"strh", strh) + chunk(b"strf", strf) + chunk(b"strn", b"video\0")
               + chunk(b"indx", indx))
    odml = lst(b"odml", chunk(b"dmlh", struct.pack("<I", length) + b"\0" * 244))
    return lst(b"hdrl", chunk(b"avih", avih) + strl + odml)

def build(with_idx1, with_odml, segments):
    # Two passes: the first finds where everything lands, the second fills in the offsets.
    supers = [(0, 0, 0)] * len(segments) if with_odml else []
    for _ in range(2):
        data = b""
        new_supers = []
        idx1 = b""
        for s, frames in enumerate(segments):
            riff_start = len(data)
            body = b"AVI " + headers(supers, sum(map(len, segments))) if s == 0 else b"AVIX"
            movi_start = riff_start + 8 + len(body)      # offset of 'LIST' of movi
            movi = b""
            entries = []
            for i in frames:
                at = movi_start + 12 + len(movi)          # offset of the chunk header
                if s == 0:
                    idx1 += struct.pack("<4sIII", b"00db", 0x10, at - (movi_start + 8), W * H * 3)
                entries.append(at + 8)
                movi += chunk(b"00db", frame(i))
            if with_odml:
                base = movi_start
                ix = struct.pack("<HBBI4sQI", 2, 0, 1, len(entries), b"00db", base, 0)
                for e in entries:
                    ix += struct.pack("<II", e - base, W * H * 3)
                ix_at = movi_start + 12 + len(movi)
                movi += chunk(b"ix00", ix)
                new_supers.append((ix_at, len(ix) + 8, len(frames)))
            body += lst(b"movi", movi)
            if s == 0 and with_idx1:
                body += chunk(b"idx1", idx1)
            data += chunk(b"RIFF", body)
        supers = new_supers
    return data

with open(os.path.join(out, "opendml-avix.avi"), "wb") as f:
    f.write(build(True, True, [range(0, 3), range(3, FRAMES)]))
with open(os.path.join(out, "no-index.avi"), "wb") as f:
    f.write(build(False, False, [range(0, FRAMES)]))
EOF
render=${MORVANTA_RENDER:-$top/build/morvanta-render}
if [ -x "$render" ]; then
    cjpeg -outfile "$tmp/p1.jpg" "$tmp/pic.ppm"
    cjpeg -grayscale -outfile "$tmp/p2.jpg" "$tmp/odd.ppm"
    ff -f lavfi -i "$(sine 440 22050 1)" -ac 1 -c:a libmp3lame -b:a 8k "$tmp/track.mp3"
    MORVANTA_CONFIG_DIR=$tmp "$render" -q -c DIB --size 16x16 -r 4 -t 500 --no-captions \
        -p "$tmp/p1.jpg" -p "$tmp/p2.jpg" -o "$out/avi/morvanta-dib.avi" >/dev/null 2>&1
    MORVANTA_CONFIG_DIR=$tmp "$render" -q -c MJPG --size 32x24 -r 4 -t 500 \
        -p "$tmp/p1.jpg" -p "$tmp/p2.jpg" -s "$tmp/track.mp3" -o "$out/avi/morvanta-mjpg-mp3.avi" >/dev/null 2>&1
else
    echo "morvanta-render not built: its AVIs are left out" >&2
fi
# Output videos (*.avi) are git-ignored outside tests/data: the seeds go without the extension.
for f in "$out"/avi/*.avi; do mv "$f" "${f%.avi}"; done

# ---- Project files ----------------------------------------------------------------------------
p=$out/project
printf ';Effect=GreyScale\r\n;Sound=music/track.mp3\r\n;Output=/tmp/show.avi\r\nholiday/a.jpg\r\n/photos/b.JPG\tBeach at noon\r\nc.bmp\t\r\n' >"$p/greyscale.mrv"
printf ';Effect=Sepia\n;Sound=\n;Output=\n../up/one.jpeg\tOne\ttab inside\n\n/after/empty.jpg\n' >"$p/sepia-lf.mrv"
printf ';Output=out.avi\r;Effect=None\r;Unknown=1\rpic.jpg\r;not a header.jpg\r' >"$p/cr-only.mrv"
printf 'a.jpg\nb.jpg\tB\n' >"$p/no-header.mrv"
printf ';Sound=x.mp3' >"$p/header-only.mrv"
printf ';Effect=Sepia\r\n;Sound=songs/first.mp3\r\n;Song=songs/second.flac\r\n;Song=/music/third track.m4a\r\n;Song=\r\n;Output=show.avi\r\npictures/a.jpg\r\npictures/b.jpg\tThe beach\r\n' >"$p/song-list.mrv"
printf '\xef\xbb\xbf;Effect=Sepia\r\n\xc3\xa9t\xc3\xa9.jpg\t\xc3\x89t\xc3\xa9\r\n' >"$p/utf8-bom.mrv"

# ---- Songs of every container and codec the song reader takes: tenth-second, 8 kHz --------
g=$out/song
tone=(-f lavfi -i "sine=frequency=440:sample_rate=8000" -t 0.1)
ff "${tone[@]}" -c:a pcm_s16le "$g/pcm16.wav"
ff "${tone[@]}" -c:a pcm_u8 -ac 2 "$g/pcm8-stereo.wav"
ff "${tone[@]}" -c:a flac "$g/tone.flac"
ff "${tone[@]}" -c:a aac -b:a 16k "${exact[@]}" "$g/tone.m4a"
ff "${tone[@]}" -c:a aac -b:a 16k -f adts "$g/tone.aac"
ff -f lavfi -i "sine=sample_rate=48000" -t 0.1 -c:a libopus -b:a 8k "${exact[@]}" "$g/tone.opus"
ff "${tone[@]}" -c:a libvorbis -q:a 0 "${exact[@]}" "$g/tone.ogg"
ff "${tone[@]}" -c:a libmp3lame -b:a 8k "$g/tone.mp3"
ff "${tone[@]}" -f lavfi -i "color=size=16x16:rate=5" -t 0.2 -c:v mpeg4 -c:a flac "$g/video.mkv"
ff -f lavfi -i "color=size=16x16:rate=5" -t 0.2 -c:v mpeg4 -f mp4 "$g/no-sound.mp4"
head -c 44 "$g/pcm16.wav" >"$g/header-only.wav"
for f in "$g"/*; do mv "$f" "${f%.*}-${f##*.}"; done

# ---- Settings files ---------------------------------------------------------------------------
s=$out/settings
printf '[SOFTWARE\\Tavrell\\Morvanta]\nCodec=XVID\nFPS=dword:0000000f\nLastDir=/home/user/Pictures\n\n[SOFTWARE\\Tavrell\\Morvanta\\Window]\nLeft=dword:00000064\n' >"$s/basic.ini"
printf '; comment\r\n# other\r\n[software\\tavrell\\morvanta]\r\nname\\=with\\=equals=a\\\\b\\nc\r\nText=\\dword:00000001\r\n[SOFTWARE\\Tavrell\\Morvanta]\r\nNAME=later wins\r\nbad line\r\n[]\r\n[unterminated\r\nv=dword:zz\r\n' >"$s/escapes-crlf.ini"
printf 'orphan=1\n[A]\nx=dword:FFFFFFFF\ny=dword:100000000\nz=\n=novalue\n[A]\nx=merged\n' >"$s/merge.ini"

total=$(find "$out" -type f | wc -l)
bytes=$(du -sb "$out" | cut -f1)
echo "seeds: $total files, $bytes bytes in $out"
find "$out" -type f -size +20k -printf 'large seed: %p %s bytes\n'

#!/usr/bin/env python3
"""Writes the small hostile AVI files of this folder, built chunk by chunk by hand (not by our
writer, so they also check the reader against an independent idea of the layout).

    python3 make_bad_avis.py        # rewrites the .avi files next to this script
"""
import os
import struct


def chunk(cid, data):
    pad = b"\0" if len(data) % 2 else b""
    return cid + struct.pack("<I", len(data)) + data + pad


def lst(ltype, *parts):
    return chunk(b"LIST", ltype + b"".join(parts))


def avih(frames):
    return chunk(b"avih", struct.pack("<14I", 40000, 0, 0, 0x10, frames, 0, 1, 0, 4, 2, 0, 0, 0, 0))


def strl(indx=b""):
    strh = struct.pack("<4s4sIHHIIIIIIIIhhhh", b"vids", b"HFYU", 0, 0, 0, 0, 40, 1000, 0, 3, 0,
                       10000, 0, 0, 0, 4, 2)
    bih = struct.pack("<IiiHHIIiiII", 40, 4, 2, 1, 24, 0x55594648, 24, 0, 0, 0, 0)
    return lst(b"strl", chunk(b"strh", strh), chunk(b"strf", bih), indx)


def riff(body):
    return b"RIFF" + struct.pack("<I", len(body) + 4) + b"AVI " + body


def write(name, data):
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), name), "wb") as f:
        f.write(data)


def main():
    hdrl = lst(b"hdrl", avih(3), strl())
    samples = [b"abc", b"", b"defgh"]
    movi_body = b"".join(chunk(b"00dc", s) for s in samples)

    # hdrl claims far more bytes than the file holds.
    cut = riff(hdrl + lst(b"movi", movi_body))
    write("hdrl_size_lies.avi", cut[:12] + b"LIST" + struct.pack("<I", 0x7FFFFFF0) + cut[20:60])

    # idx1 whose second entry points far outside the file.
    entries = []
    off = 4
    for s in samples:
        entries.append(struct.pack("<4sIII", b"00dc", 0x10, off, len(s)))
        off += 8 + len(s) + len(s) % 2
    entries[1] = struct.pack("<4sIII", b"00dc", 0x10, 0x7FFFFF00, 16)
    write("idx1_outside.avi", riff(hdrl + lst(b"movi", movi_body) + chunk(b"idx1", b"".join(entries))))

    # A super index and a standard index whose counts claim billions of entries.
    ix_pos = 12 + 0  # filled in below, once the header size is known
    def with_indx(ix_offset):
        indx = chunk(b"indx", struct.pack("<HBBI4s3I", 4, 0, 0, 0xFFFFFFFF, b"00dc", 0, 0, 0) +
                     struct.pack("<QII", ix_offset, 64, 3))
        return lst(b"hdrl", avih(3), strl(indx))
    head = with_indx(0)
    movi_pos = 12 + len(head)
    ix_pos = movi_pos + 12 + len(movi_body)
    ix = chunk(b"ix00", struct.pack("<HBBI4sQI", 2, 0, 1, 0xFFFFFFFF, b"00dc", movi_pos + 8, 0) +
               struct.pack("<II", 12, 3))
    write("huge_counts.avi", riff(with_indx(ix_pos) + lst(b"movi", movi_body + ix)))

    # No index, a movi of 500 empty chunks between zero-sized 'rec ' lists: 500 empty samples.
    body = b"".join((b"LIST\0\0\0\0rec " if k % 50 == 0 else b"") + b"00dc\0\0\0\0"
                    for k in range(500))
    write("zero_chunks.avi", riff(hdrl + lst(b"movi", body)))


if __name__ == "__main__":
    main()

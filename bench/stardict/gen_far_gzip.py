#!/usr/bin/env python3
"""Writes a StarDict dictionary whose data file is a plain gzip stream (no dictzip table)
that inflates to far more than is kept in memory, with its blocks at descending offsets.

    gen_far_gzip.py OUT_DIR [INFLATED_BYTES] [ENTRIES]

Defaults: 2,300,000,000 bytes (about 2.2 MB compressed) and 30 entries. Every block lies
before the previous one in the data, so a reader that restarts decompression for a block
behind it pays for nearly the whole stream per entry.
"""
import gzip
import os
import struct
import sys

out = sys.argv[1]
total = int(sys.argv[2]) if len(sys.argv) > 2 else 2_300_000_000
count = int(sys.argv[3]) if len(sys.argv) > 3 else 30
os.makedirs(out, exist_ok=True)
step = total // count
blocks = {}
index = b""
for i in range(count):
    offset = (count - 1 - i) * step + 1000
    text = b"meaning %d" % i
    blocks[offset] = text
    index += b"w%05d\0" % i + struct.pack(">II", offset, len(text))
with open(os.path.join(out, "far.idx"), "wb") as f:
    f.write(index)
with open(os.path.join(out, "far.ifo"), "w") as f:
    f.write("StarDict's dict ifo file\nversion=2.4.2\nbookname=far\nwordcount=%d\n"
            "idxfilesize=%d\nsametypesequence=m\n" % (count, len(index)))
filler = b"z" * (1 << 24)
with gzip.open(os.path.join(out, "far.dict.dz"), "wb", compresslevel=6) as f:
    pos = 0
    for offset in sorted(blocks):
        while pos + len(filler) <= offset:
            f.write(filler)
            pos += len(filler)
        f.write(b"z" * (offset - pos))
        f.write(blocks[offset])
        pos = offset + len(blocks[offset])
    while pos < total:
        n = min(len(filler), total - pos)
        f.write(filler[:n])
        pos += n

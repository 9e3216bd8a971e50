#!/usr/bin/env python3
"""Remakes the dictzip fixtures in this folder with Debian's `dictzip` program.

    tests/data/dictzip/make_fixtures.py

Two StarDict dictionaries of the same 700 entries (sametypesequence=m, about 190 bytes of
data each, three 58,315-byte dictzip chunks): "inorder" keeps the data blocks in index
order, "shuffled" stores them in a random order. The index is gzip-compressed to keep the
files small. Deterministic apart from the time stamp dictzip puts into its header.
"""
import gzip
import os
import random
import struct
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
WORDS = ("river stone light quiet garden morning letter winter paper bridge window "
         "silver candle harbour meadow lantern orchard thunder valley mirror").split()


def main():
    rng = random.Random(7)
    headwords = sorted({"".join(rng.choice("bdfgklmnprstvz") + rng.choice("aeiou")
                                for _ in range(rng.randint(2, 4))) for _ in range(900)})[:700]
    blocks = [" ".join(rng.choice(WORDS) for _ in range(rng.randint(20, 40))).encode()
              for _ in headwords]
    for name, shuffled in (("inorder", False), ("shuffled", True)):
        order = list(range(len(headwords)))
        if shuffled:
            rng.shuffle(order)
        data, offsets = b"", {}
        for i in order:
            offsets[i] = len(data)
            data += blocks[i]
        index = b"".join(h.encode() + b"\0" + struct.pack(">II", offsets[i], len(blocks[i]))
                         for i, h in enumerate(headwords))
        base = os.path.join(HERE, name)
        with open(base + ".ifo", "w") as f:
            f.write("StarDict's dict ifo file\nversion=2.4.2\nbookname=%s\nwordcount=%d\n"
                    "idxfilesize=%d\nsametypesequence=m\n" % (name, len(headwords), len(index)))
        with open(base + ".idx.gz", "wb") as f:
            f.write(gzip.compress(index, 9, mtime=0))
        with open(base + ".dict", "wb") as f:
            f.write(data)
        subprocess.run(["dictzip", "-f", base + ".dict"], check=True)


if __name__ == "__main__":
    main()

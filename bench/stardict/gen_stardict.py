#!/usr/bin/env python3
"""Writes a StarDict dictionary in four forms for the loading benchmark.

    gen_stardict.py OUT_DIR [ENTRIES]

OUT_DIR/{inorder-dict,inorder-dz,shuffled-dict,shuffled-dz}/bench.{ifo,idx,dict|dict.dz}:
ENTRIES entries (default 1,000,000) with sametypesequence "tm" (a phonetic field, a NUL, a
meaning), about 150 bytes of data each. The index is sorted by headword; "inorder" stores the
data blocks in index order, "shuffled" in a random order. The .dict.dz files are dictzip files
(gzip with the "RA" random-access table, chunks of 58,315 bytes flushed independently, as the
dictzip program writes them). Standard library only; the output is the same for every run.
"""
import os
import random
import struct
import sys
import zlib

CHUNK = 58315


def words(rng, count):
    syllables = [a + b for a in "bcdfghjklmnprstvwz" for b in "aeiou"] + ["an", "er", "in", "on", "st"]
    vocabulary = set()
    while len(vocabulary) < count:
        vocabulary.add("".join(rng.choice(syllables) for _ in range(rng.randint(2, 5))))
    return sorted(vocabulary)


def make_blocks(rng, headwords):
    vocabulary = words(rng, 6000)
    phonetic_letters = "abdefgiklmnoprstuvwzæðŋəɑɔʃʒθʌˈˌ"
    blocks = []
    for head in headwords:
        phonetic = "".join(rng.choice(phonetic_letters) for _ in range(rng.randint(5, 10)))
        target = rng.randint(95, 130)
        parts, length = [], 0
        n = 1
        while length < target:
            sense = " ".join(rng.choices(vocabulary, k=rng.randint(4, 9)))
            text = f"{n}. {sense}; "
            parts.append(text)
            length += len(text)
            n += 1
        blocks.append(phonetic.encode() + b"\0" + "".join(parts).rstrip().encode())
    return blocks


def dictzip(data):
    compressor = zlib.compressobj(9, zlib.DEFLATED, -15)
    sizes, pieces = [], []
    for start in range(0, len(data), CHUNK):
        last = start + CHUNK >= len(data)
        piece = compressor.compress(data[start:start + CHUNK])
        piece += compressor.flush(zlib.Z_FINISH if last else zlib.Z_FULL_FLUSH)
        sizes.append(len(piece))
        pieces.append(piece)
    field = struct.pack("<HHH", 1, CHUNK, len(sizes)) + b"".join(struct.pack("<H", s) for s in sizes)
    extra = b"RA" + struct.pack("<H", len(field)) + field
    header = b"\x1f\x8b\x08\x04\0\0\0\0\x02\x03" + struct.pack("<H", len(extra)) + extra
    trailer = struct.pack("<II", zlib.crc32(data) & 0xFFFFFFFF, len(data) & 0xFFFFFFFF)
    return header + b"".join(pieces) + trailer


def write(folder, count, headwords, blocks, order, compressed):
    os.makedirs(folder, exist_ok=True)
    offsets = [0] * count
    data = bytearray()
    for i in order:
        offsets[i] = len(data)
        data += blocks[i]
    index = bytearray()
    for i, head in enumerate(headwords):
        index += head + b"\0" + struct.pack(">II", offsets[i], len(blocks[i]))
    with open(os.path.join(folder, "bench.ifo"), "w", encoding="utf-8", newline="\n") as f:
        f.write("StarDict's dict ifo file\nversion=2.4.2\nbookname=Benchmark\n"
                f"wordcount={count}\nidxfilesize={len(index)}\nsametypesequence=tm\n")
    with open(os.path.join(folder, "bench.idx"), "wb") as f:
        f.write(index)
    name = "bench.dict.dz" if compressed else "bench.dict"
    with open(os.path.join(folder, name), "wb") as f:
        f.write(dictzip(bytes(data)) if compressed else data)
    return len(data)


def main():
    out = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    rng = random.Random(20261208)
    stems = words(rng, count)
    headwords = sorted(f"{stem}".encode() for stem in stems)
    blocks = make_blocks(rng, headwords)
    in_order = list(range(count))
    shuffled = in_order[:]
    rng.shuffle(shuffled)
    for folder, order, compressed in (("inorder-dict", in_order, False), ("inorder-dz", in_order, True),
                                      ("shuffled-dict", shuffled, False), ("shuffled-dz", shuffled, True)):
        size = write(os.path.join(out, folder), count, headwords, blocks, order, compressed)
        print(f"{folder}: {count} entries, {size} bytes of data")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes a dictd database for the loading benchmark.

    gen_dictd.py OUT_PREFIX [ENTRIES] [--plain]

OUT_PREFIX.index and OUT_PREFIX.dict.dz (a dictzip file), or OUT_PREFIX.dict with --plain:
ENTRIES entries (default 1,000,000) with the headwords and meanings that
bench/stardict/gen_stardict.py writes for the same count, so that the two loads compare like
for like. Each entry's text is laid out as dictd's own tools lay it out: the headword, then
an indented phonetic line and the meaning, with a {cross-reference} now and then; the
database is UTF-8 (a 00-database-utf8 entry) and named by 00-database-short. Standard
library only; the output is the same for every run.
"""
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "stardict"))
from gen_stardict import dictzip, make_blocks, words  # noqa: E402

DIGITS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"


def number(value):
    digits = ""
    while True:
        digits = DIGITS[value & 63] + digits
        value >>= 6
        if value == 0:
            return digits


def main():
    args = [a for a in sys.argv[1:] if a != "--plain"]
    plain = "--plain" in sys.argv[1:]
    prefix = args[0]
    count = int(args[1]) if len(args) > 1 else 1000000
    # The same generator, seed and order of draws as gen_stardict.py.
    rng = random.Random(20261208)
    headwords = sorted(stem.encode() for stem in words(rng, count))
    blocks = make_blocks(rng, headwords)

    data = bytearray()
    index = []

    def add(headword, text):
        index.append(b"%s\t%s\t%s\n" % (headword, number(len(data)).encode(),
                                        number(len(text)).encode()))
        data.extend(text)

    add(b"00-database-short", b"00-database-short\n     Benchmark dictd database\n")
    add(b"00-database-utf8", b"\n")
    refs = random.Random(count)
    for head, block in zip(headwords, blocks):
        phonetic, meaning = block.split(b"\0", 1)
        if refs.random() < 0.2:
            meaning += b" See {%s}." % refs.choice(headwords)
        add(head, b"%s\n   /%s/\n   %s\n" % (head, phonetic, meaning))
    with open(prefix + ".index", "wb") as f:
        f.write(b"".join(index))
    with open(prefix + (".dict" if plain else ".dict.dz"), "wb") as f:
        f.write(data if plain else dictzip(bytes(data)))
    print(f"{prefix}: {count} entries, {len(data)} bytes of data")


if __name__ == "__main__":
    main()

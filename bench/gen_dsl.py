#!/usr/bin/env python3
"""Writes a realistic DSL dictionary (UTF-16LE with its byte-order mark) for benchmarks.

usage: gen_dsl.py OUT [ENTRIES]   (default 1,000,000 cards; OUT ending in .dz is gzipped)

Cards carry the markup real DSL files have: [m1]..[m3] indentation, [b] [i] [p] [c colour]
[trn] [ex] [lang id=...] [com], [s]media[/s], <<references>>, ~ for the headword, escapes,
{unsorted} and (optional) headword parts, cards with two headwords, the odd {{comment}} and
@ sub-entry. Headwords repeat now and then, so records merge. Deterministic for a given size.
"""
import gzip
import random
import sys

ONSETS = ["b", "c", "d", "f", "g", "h", "k", "l", "m", "n", "p", "r", "s", "t", "v", "w", "z",
          "br", "cl", "dr", "fl", "gr", "pl", "pr", "sh", "st", "str", "th", "tr", "ch"]
VOWELS = ["a", "e", "i", "o", "u", "ea", "ai", "oo", "ou", "ie", "y"]
CODAS = ["", "", "n", "r", "s", "t", "l", "m", "nd", "ng", "st", "ck", "sh", "ment", "ness",
         "tion", "er", "ing", "ed"]
WORDS = ("the a of to and in that is for it with as was on be at by this had not are but from "
         "or have an they which one you were her all she there would their we him been has when "
         "who will more no if out so said what up its about into than them can only other new "
         "дом слово вода время рука город жизнь день работа человек место").split()
POS = ["n", "v", "adj", "adv", "prep"]
COLOURS = ["green", "darkgreen", "brown", "gray", "steelblue"]


def word(rng):
    return "".join(rng.choice(ONSETS) + rng.choice(VOWELS) + rng.choice(CODAS)
                   for _ in range(rng.choice((1, 2, 2, 3))))


def sentence(rng, n):
    return " ".join(rng.choice(WORDS) for _ in range(n))


def card(rng, head, out):
    if rng.random() < 0.1:
        out.append("%s{(smb.)}\n" % head)
    elif rng.random() < 0.1:
        out.append("%s(s)\n" % head)
    else:
        out.append(head + "\n")
    if rng.random() < 0.15:
        out.append(head.capitalize() + "\n")
    out.append("\t[m1][c %s]\\[%s\\][/c] [p]%s[/p][/m]\n" % (rng.choice(COLOURS), word(rng),
                                                               rng.choice(POS)))
    for i in range(rng.choice((1, 1, 1, 2))):
        out.append("\t[m2][b]%d.[/b] [trn]%s[/trn][/m]\n" % (i + 1, sentence(rng, rng.randint(2, 8))))
        if rng.random() < 0.25:
            out.append("\t[m3][*][ex][lang id=1033]~ %s[/lang] — %s[/ex][/*][/m]\n"
                       % (sentence(rng, 4), sentence(rng, 4)))
    if rng.random() < 0.1:
        out.append("\t[m1][com]see <<%s>>[/com] [s]%s.wav[/s][/m]\n" % (word(rng), head))
    if rng.random() < 0.05:
        out.append("\t{{%s}}[m1]%s[/m]\n" % (sentence(rng, 3), sentence(rng, 3)))
    if rng.random() < 0.05:
        out.append("\t@ %s %s\n\t[m1]%s[/m]\n\t@\n" % (head, word(rng), sentence(rng, 5)))


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    path = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) == 3 else 1_000_000
    rng = random.Random(count)
    opener = gzip.open if path.endswith(".dz") else open
    heads = []
    with opener(path, "wb") as f:
        f.write(b"\xff\xfe")
        header = '#NAME "Generated %d"\n#INDEX_LANGUAGE "English"\n#CONTENTS_LANGUAGE "Russian"\n\n'
        f.write((header % count).encode("utf-16-le"))
        out = []
        for n in range(count):
            head = rng.choice(heads) if heads and rng.random() < 0.05 else word(rng)
            if len(heads) < 100000:
                heads.append(head)
            card(rng, head, out)
            if len(out) > 20000:
                f.write("".join(out).encode("utf-16-le"))
                out.clear()
        f.write("".join(out).encode("utf-16-le"))


if __name__ == "__main__":
    main()

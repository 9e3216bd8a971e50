#!/usr/bin/env python3
"""Writes a realistic text dictionary ("headword TAB explanation" lines, CP1252) for benchmarks.

usage: gen_text_dictionary.py OUT [ENTRIES]   (default 1,000,000 entries, about 100 MB)

Headwords are pronounceable made-up words (about 5% repeat, so records merge as in real
dictionaries); explanations mix a phonetic part, a part of speech and sentences drawn from
a fixed vocabulary, with the occasional escaped line break. Deterministic for a given size.
"""
import random
import sys

ONSETS = ["b", "c", "d", "f", "g", "h", "j", "k", "l", "m", "n", "p", "qu", "r", "s", "t", "v",
          "w", "z", "br", "cl", "dr", "fl", "gr", "pl", "pr", "sh", "st", "str", "th", "tr", "ch"]
VOWELS = ["a", "e", "i", "o", "u", "ea", "ai", "oo", "ou", "ie", "y"]
CODAS = ["", "", "n", "r", "s", "t", "l", "m", "nd", "ng", "st", "ck", "rt", "sh", "ment", "ness",
         "tion", "able", "ly", "er", "ing", "ed"]
WORDS = ("the a of to and in that is for it with as was on be at by this had not are but from "
         "or have an they which one you were her all she there would their we him been has when "
         "who will more no if out so said what up its about into than them can only other new "
         "some could time these two may then do first any my now such like our over man me even "
         "most made after also did many before must through back years where much your way well "
         "down should because each just those people how too little state good very make world "
         "still own see men work long get here between both life being under never day same "
         "another know while last might us great old year off come since against go came right "
         "used take three small large part place number sound water word thing person hand eye "
         "something used especially formal informal British American figurative dated").split()
POS = ["n.", "v.", "adj.", "adv.", "prep.", "conj.", "pron.", "vt.", "vi."]


def headword(rng):
    syllables = rng.choice((1, 2, 2, 3, 3, 4))
    w = "".join(rng.choice(ONSETS) + rng.choice(VOWELS) + rng.choice(CODAS) for _ in range(syllables))
    return w.capitalize() if rng.random() < 0.08 else w


def headwords(rng, recent):
    """Yields headwords without end; about 5% repeat one of the last 1,000, which recent holds."""
    while True:
        if recent and rng.random() < 0.05:
            yield rng.choice(recent)
        else:
            word = headword(rng)
            recent.append(word)
            if len(recent) > 1000:
                recent.pop(0)
            yield word


def sentence(rng, n):
    return " ".join(rng.choice(WORDS) for _ in range(n))


def explanation(rng, word):
    parts = [f"[{word[:3]}\x10{word[3:]}]", rng.choice(POS), sentence(rng, rng.randint(6, 14)) + "."]
    if rng.random() < 0.3:
        parts.append("\\n" + rng.choice(POS) + " " + sentence(rng, rng.randint(3, 8)) + ".")
    return " ".join(parts)


def main():
    out = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
    rng = random.Random(count)
    words = headwords(rng, [])
    with open(out, "wb") as f:
        lines = []
        for i in range(count):
            word = next(words)
            lines.append(f"{word}\t{explanation(rng, word)}\r\n")
            if len(lines) == 10000:
                f.write("".join(lines).encode("cp1252"))
                lines = []
        f.write("".join(lines).encode("cp1252"))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes a realistic XDXF dictionary (logical format, UTF-8) for benchmarks.

usage: gen_xdxf.py OUT [ENTRIES]   (default 1,000,000 articles)

Headwords are pronounceable made-up words (about 5% repeat, so entries merge; about 3% carry
a second key or an optional part); each article has a transcription, a part of speech and one
to three numbered definitions drawn from a fixed vocabulary, some with an example or a
cross-reference. Deterministic for a given size.
"""
import random
import sys
from xml.sax.saxutils import escape

# The same made-up words and vocabulary as the text dictionary's benchmark.
from gen_text_dictionary import POS, headword, sentence

def article(rng, word, earlier):
    keys = "<k>%s</k>" % escape(word)
    roll = rng.random()
    if roll < 0.015:
        keys += "<k>%s</k>" % escape(word.capitalize())
    elif roll < 0.03 and len(word) > 3:
        keys = "<k>%s<opt>%s</opt>%s</k>" % (word[:2], word[2], word[3:])
    defs = []
    for _ in range(rng.choice((1, 1, 2, 3))):
        text = "<deftext>%s.</deftext>" % sentence(rng, rng.randint(4, 12))
        if rng.random() < 0.2:
            text += " <ex><ex_orig>%s</ex_orig></ex>" % sentence(rng, rng.randint(3, 7))
        if rng.random() < 0.1 and earlier:
            text += " see <kref>%s</kref>" % escape(rng.choice(earlier))
        defs.append("<def>%s</def>" % text)
    body = "<def><gr>%s</gr> <tr>%s\u02c8%s</tr>%s</def>" % (
        rng.choice(POS), word[:2], word[2:], "".join(defs))
    return "<ar>%s%s</ar>\n" % (keys, body)


def main():
    out = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
    rng = random.Random(count)
    earlier = []
    with open(out, "w", encoding="utf-8", newline="\n") as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n'
                '<xdxf lang_from="ENG" lang_to="ENG" format="logical" revision="033">\n'
                "<meta_info><full_title>Benchmark XDXF</full_title></meta_info>\n<lexicon>\n")
        for _ in range(count):
            word = rng.choice(earlier) if earlier and rng.random() < 0.05 else headword(rng)
            if len(earlier) < 1000:
                earlier.append(word)
            f.write(article(rng, word, earlier))
        f.write("</lexicon>\n</xdxf>\n")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes one dictionary in every format the loaders read, for the formats benchmark.

    gen_formats.py OUT_DIR [ENTRIES]

Each entry (default 1,000,000) is drawn once -- headword, phonetic, part of speech, one to
three senses with now and then a usage label, an example or a cross-reference -- and
written as
    OUT_DIR/stardict/bench.{ifo,idx,dict}    sametypesequence=tm, as the StarDict bench has it
    OUT_DIR/stardict-dz/bench.{ifo,idx,dict.dz}  the same, dictzipped (dictd's .dict.dz peer)
    OUT_DIR/dictd/bench.{index,dict}         dictd's layout: headword line, indented text
    OUT_DIR/dictd-dz/bench.{index,dict.dz}   the same, dictzipped
    OUT_DIR/dsl/bench-utf16.dsl              UTF-16LE with its byte-order mark, as DSL ships
    OUT_DIR/dsl/bench-utf8.dsl               the same cards in UTF-8 with its byte-order mark
    OUT_DIR/xdxf/bench.xdxf                  logical format
with the markup each format carries in real files (DSL [m1] [trn] [i] [ex] <<ref>>; XDXF
<def> <gr> <tr> <co> <ex> <kref>), so every reader does its real work. About 3% of the
entries repeat an earlier headword (a second part of speech), so records merge alike in every
format. All formats list the entries in the same (sorted) order. Standard library only; the
output is the same for every run. Prints the entry count and each file's size.
"""
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "stardict"))
from gen_dictd import number  # noqa: E402
from gen_stardict import dictzip, words, write as write_stardict  # noqa: E402
from gen_text_dictionary import POS, sentence  # noqa: E402

LABELS = ["formal", "informal", "dated", "figurative", "British", "American"]
REPEATED = 0.03


class Sense:
    __slots__ = ("label", "text", "example")

    def __init__(self, label, text, example):
        self.label, self.text, self.example = label, text, example


class Entry:
    __slots__ = ("head", "phonetic", "pos", "senses", "see")

    def __init__(self, head, phonetic, pos, senses, see):
        self.head, self.phonetic, self.pos, self.senses, self.see = head, phonetic, pos, senses, see


def draw(rng, count):
    repeats = int(count * REPEATED)
    stems = words(rng, count - repeats)
    heads = sorted(stems + rng.sample(stems, repeats))
    entries = []
    for head in heads:
        senses = []
        for _ in range(rng.choice((1, 1, 2, 3))):
            label = rng.choice(LABELS) if rng.random() < 0.1 else None
            example = sentence(rng, rng.randint(3, 7)) if rng.random() < 0.2 else None
            senses.append(Sense(label, sentence(rng, rng.randint(4, 10)), example))
        see = rng.choice(stems) if rng.random() < 0.15 else None
        phonetic = head[:2] + "\u02c8" + head[2:].replace("th", "\u03b8").replace("a", "\u00e6")
        entries.append(Entry(head, phonetic, rng.choice(POS), senses, see))
    return entries


class Layout:
    """How one format writes an entry: format strings for its parts, in the order written."""

    def __init__(self, head, sense, example, see, label, sense_end="", end=""):
        self.head, self.sense, self.example, self.see = head, sense, example, see
        self.label, self.sense_end, self.end = label, sense_end, end


# StarDict's "tm": the phonetic, a NUL, then the meaning.
STARDICT = Layout("{phonetic}\0{pos}", "\n{n}. {label}{text}.", "\n   ~ {example}",
                  "\nSee also: {see}", "({}) ")
DICTD = Layout("{head}\n   /{phonetic}/\n   {pos}\n", "   {n}. {label}{text}.\n",
               '      "{example}"\n', "   See {{{see}}}.\n", "({}) ")
DSL = Layout("{head}\n\t[m1][c]\\[{phonetic}\\][/c] [p]{pos}[/p][/m]\n",
             "\t[m1][b]{n}.[/b] {label}[trn]{text}.[/trn][/m]\n",
             "\t[m2][*][ex]~ {example}[/ex][/*][/m]\n", "\t[m1]See <<{see}>>[/m]\n", "[i]{}[/i] ")
# The words are plain letters, so nothing needs escaping as XML.
XDXF = Layout("<ar><k>{head}</k><def><gr>{pos}</gr> <tr>{phonetic}</tr>",
              "<def><deftext>{label}{text}.</deftext>", " <ex><ex_orig>{example}</ex_orig></ex>",
              " see <kref>{see}</kref>", "<co>{}</co> ", sense_end="</def>", end="</def></ar>\n")


def render(e, layout):
    out = [layout.head.format(head=e.head, phonetic=e.phonetic, pos=e.pos)]
    for n, s in enumerate(e.senses, 1):
        label = layout.label.format(s.label) if s.label else ""
        out.append(layout.sense.format(n=n, label=label, text=s.text))
        if s.example:
            out.append(layout.example.format(example=s.example))
        out.append(layout.sense_end)
    if e.see:
        out.append(layout.see.format(see=e.see))
    out.append(layout.end)
    return "".join(out)


def write_file(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    print("%s: %d bytes" % (path, len(data)))


def write_dictd(out, entries):
    data, index = bytearray(), []

    def add(head, text):
        index.append(b"%s\t%s\t%s\n" % (head, number(len(data)).encode(), number(len(text)).encode()))
        data.extend(text)

    add(b"00-database-short", b"00-database-short\n     Benchmark formats\n")
    add(b"00-database-utf8", b"\n")
    for e in entries:
        add(e.head.encode(), render(e, DICTD).encode())
    index = b"".join(index)
    write_file(os.path.join(out, "dictd", "bench.index"), index)
    write_file(os.path.join(out, "dictd", "bench.dict"), bytes(data))
    write_file(os.path.join(out, "dictd-dz", "bench.index"), index)
    write_file(os.path.join(out, "dictd-dz", "bench.dict.dz"), dictzip(bytes(data)))


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    out = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) == 3 else 1_000_000
    entries = draw(random.Random(20261209), count)
    print("%d entries, %d headwords" % (count, len({e.head for e in entries})))

    blocks = [render(e, STARDICT).encode() for e in entries]
    size = write_stardict(os.path.join(out, "stardict"), count, [e.head.encode() for e in entries],
                          blocks, range(count), False)
    print("%s: %d bytes of data" % (os.path.join(out, "stardict", "bench.dict"), size))
    del blocks
    for name in ("bench.ifo", "bench.idx"):
        with open(os.path.join(out, "stardict", name), "rb") as f:
            write_file(os.path.join(out, "stardict-dz", name), f.read())
    with open(os.path.join(out, "stardict", "bench.dict"), "rb") as f:
        write_file(os.path.join(out, "stardict-dz", "bench.dict.dz"), dictzip(f.read()))

    write_dictd(out, entries)

    cards = "".join(render(e, DSL) for e in entries)
    header = '#NAME "Benchmark formats"\n#INDEX_LANGUAGE "English"\n#CONTENTS_LANGUAGE "English"\n\n'
    write_file(os.path.join(out, "dsl", "bench-utf16.dsl"), b"\xff\xfe" + (header + cards).encode("utf-16-le"))
    write_file(os.path.join(out, "dsl", "bench-utf8.dsl"), b"\xef\xbb\xbf" + (header + cards).encode())
    del cards

    articles = "".join(render(e, XDXF) for e in entries)
    write_file(os.path.join(out, "xdxf", "bench.xdxf"), (
        '<?xml version="1.0" encoding="UTF-8"?>\n'
        '<xdxf lang_from="ENG" lang_to="ENG" format="logical" revision="033">\n'
        "<meta_info><full_title>Benchmark formats</full_title></meta_info>\n<lexicon>\n"
        + articles + "</lexicon>\n</xdxf>\n").encode())


if __name__ == "__main__":
    main()

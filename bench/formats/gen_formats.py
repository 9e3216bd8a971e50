#!/usr/bin/env python3
"""Writes one dictionary in every format the loaders read, for the formats benchmark.

    gen_formats.py OUT_DIR [ENTRIES [FORMAT...]]

FORMAT (default: all) is one of stardict, dictd, dsl-utf16, dsl-utf8, xdxf; stardict and dictd
write their dictzipped forms too. Each entry (default 1,000,000) is drawn once -- headword, phonetic, part of speech, one to
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
output is the same for every run. The entries are drawn and written one at a time, so
dictionaries of gigabytes take little memory. Prints the entry count and each file's size.
"""
import os
import random
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "stardict"))
from gen_dictd import number  # noqa: E402
from gen_stardict import dictzip, words  # noqa: E402
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
    yield len(set(heads))
    for head in heads:
        senses = []
        for _ in range(rng.choice((1, 1, 2, 3))):
            label = rng.choice(LABELS) if rng.random() < 0.1 else None
            example = sentence(rng, rng.randint(3, 7)) if rng.random() < 0.2 else None
            senses.append(Sense(label, sentence(rng, rng.randint(4, 10)), example))
        see = rng.choice(stems) if rng.random() < 0.15 else None
        phonetic = head[:2] + "\u02c8" + head[2:].replace("th", "\u03b8").replace("a", "\u00e6")
        yield Entry(head, phonetic, rng.choice(POS), senses, see)


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


def open_file(path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    return open(path, "wb")


def report(path):
    print("%s: %d bytes" % (path, os.path.getsize(path)))


def copy_dictzipped(source, target):
    with open(source, "rb") as f:
        data = f.read()
    with open_file(target) as f:
        f.write(dictzip(data))
    report(target)


class StarDictWriter:
    def __init__(self, out):
        self.folder = os.path.join(out, "stardict")
        self.data = open_file(os.path.join(self.folder, "bench.dict"))
        self.index, self.size, self.count = bytearray(), 0, 0

    def add(self, e):
        block = render(e, STARDICT).encode()
        self.index += e.head.encode() + b"\0" + struct.pack(">II", self.size, len(block))
        self.data.write(block)
        self.size += len(block)
        self.count += 1

    def close(self):
        self.data.close()
        ifo = ("StarDict's dict ifo file\nversion=2.4.2\nbookname=Benchmark\n"
               f"wordcount={self.count}\nidxfilesize={len(self.index)}\nsametypesequence=tm\n")
        print("%s: %d bytes of data" % (os.path.join(self.folder, "bench.dict"), self.size))
        dz = os.path.join(os.path.dirname(self.folder), "stardict-dz")
        for folder in (self.folder, dz):
            with open_file(os.path.join(folder, "bench.ifo")) as f:
                f.write(ifo.encode())
            with open_file(os.path.join(folder, "bench.idx")) as f:
                f.write(self.index)
        report(os.path.join(dz, "bench.ifo"))
        report(os.path.join(dz, "bench.idx"))
        copy_dictzipped(os.path.join(self.folder, "bench.dict"), os.path.join(dz, "bench.dict.dz"))


class DictdWriter:
    def __init__(self, out):
        self.out = out
        self.data = open_file(os.path.join(out, "dictd", "bench.dict"))
        self.index, self.size = bytearray(), 0
        self.put(b"00-database-short", b"00-database-short\n     Benchmark formats\n")
        self.put(b"00-database-utf8", b"\n")

    def put(self, head, text):
        self.index += b"%s\t%s\t%s\n" % (head, number(self.size).encode(), number(len(text)).encode())
        self.data.write(text)
        self.size += len(text)

    def add(self, e):
        self.put(e.head.encode(), render(e, DICTD).encode())

    def close(self):
        self.data.close()
        for folder in ("dictd", "dictd-dz"):
            path = os.path.join(self.out, folder, "bench.index")
            with open_file(path) as f:
                f.write(self.index)
            report(path)
        report(os.path.join(self.out, "dictd", "bench.dict"))
        copy_dictzipped(os.path.join(self.out, "dictd", "bench.dict"),
                        os.path.join(self.out, "dictd-dz", "bench.dict.dz"))


class TextWriter:
    """One file of rendered entries between a head and a tail, in one encoding."""

    def __init__(self, path, layout, encoding, head, tail=""):
        self.path, self.layout, self.encoding, self.tail = path, layout, encoding, tail
        self.file = open_file(path)
        self.file.write(head.encode(encoding))

    def add(self, e):
        self.file.write(render(e, self.layout).encode(self.encoding))

    def close(self):
        self.file.write(self.tail.encode(self.encoding))
        self.file.close()
        report(self.path)


DSL_HEADER = '#NAME "Benchmark formats"\n#INDEX_LANGUAGE "English"\n#CONTENTS_LANGUAGE "English"\n\n'
XDXF_HEAD = ('<?xml version="1.0" encoding="UTF-8"?>\n'
             '<xdxf lang_from="ENG" lang_to="ENG" format="logical" revision="033">\n'
             "<meta_info><full_title>Benchmark formats</full_title></meta_info>\n<lexicon>\n")
WRITERS = {
    "stardict": StarDictWriter,
    "dictd": DictdWriter,
    # The byte-order marks are written as U+FEFF in each encoding.
    "dsl-utf16": lambda out: TextWriter(os.path.join(out, "dsl", "bench-utf16.dsl"), DSL,
                                        "utf-16-le", "\ufeff" + DSL_HEADER),
    "dsl-utf8": lambda out: TextWriter(os.path.join(out, "dsl", "bench-utf8.dsl"), DSL, "utf-8",
                                       "\ufeff" + DSL_HEADER),
    "xdxf": lambda out: TextWriter(os.path.join(out, "xdxf", "bench.xdxf"), XDXF, "utf-8",
                                   XDXF_HEAD, "</lexicon>\n</xdxf>\n"),
}


def main():
    if len(sys.argv) < 2 or any(f not in WRITERS for f in sys.argv[3:]):
        sys.exit(__doc__)
    out = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) >= 3 else 1_000_000
    entries = draw(random.Random(20261209), count)
    print("%d entries, %d headwords" % (count, next(entries)))
    writers = [WRITERS[f](out) for f in (sys.argv[3:] or WRITERS)]
    for e in entries:
        for w in writers:
            w.add(e)
    for w in writers:
        w.close()


if __name__ == "__main__":
    main()

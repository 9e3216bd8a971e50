#!/usr/bin/env python3
"""Writes the dictionaries that both builds pack, into the folder given: text in two ANSI
code pages and in UTF-16, StarDict with plain, gzip-compressed and PowerWord data. The
dictzip StarDict comes from tests/data/dictzip. Every text is valid in its encoding: how
each system decodes invalid bytes is its own affair."""
import gzip
import pathlib
import struct
import sys

out = pathlib.Path(sys.argv[1])
out.mkdir(parents=True, exist_ok=True)

latin = [("café", "coffee €5"), ("naïve", "näif, ¡sí!"), ("Zoë", "a name"),
         ("apple", "fruit\\nline two"), ("Apple", "the company"), ("œuvre", "work")]
chinese = [("你好", "hello"), ("词典", "dictionary"), ("汉字", "Chinese character"),
           ("apple", "苹果"), ("牛津", "Oxford")]


def text(entries):
    return "".join(f"{k}\t{v}\r\n" if i % 2 else f"{k}\t{v}\n"
                   for i, (k, v) in enumerate(entries))


(out / "ansi-cp1252.txt").write_bytes(text(latin).encode("cp1252"))
(out / "ansi-cp936.tab").write_bytes(text(chinese).encode("gbk"))
(out / "utf16.txt").write_bytes(b"\xff\xfe" + text(latin + chinese).encode("utf-16-le"))


def stardict(name, entries, types, compress_index=False):
    """entries: (word, data bytes) in StarDict order; types: sametypesequence."""
    data = bytearray()
    index = bytearray()
    for word, payload in sorted(entries, key=lambda e: (e[0].lower().encode(), e[0].encode())):
        index += word.encode() + b"\0" + struct.pack(">II", len(data), len(payload))
        data += payload
    (out / f"{name}.dict").write_bytes(bytes(data))
    if compress_index:
        (out / f"{name}.idx.gz").write_bytes(gzip.compress(bytes(index), mtime=0))
    else:
        (out / f"{name}.idx").write_bytes(bytes(index))
    (out / f"{name}.ifo").write_text(
        "StarDict's dict ifo file\nversion=2.4.2\n"
        f"bookname={name}\nwordcount={len(entries)}\nidxfilesize={len(index)}\n"
        f"sametypesequence={types}\n", encoding="utf-8")


words = [(k, v.encode()) for k, v in latin + chinese]
stardict("plain", words, "m")
stardict("gzipped", words, "m", compress_index=True)

# PowerWord: the worked example, numbering across word items, headers, spans, phonetics.
powerword = [
    ("go", "<单词解释块><基本词义><单词项><单词原型><![CDATA[go]]></单词原型>"
           "<词典音标><![CDATA[gEu]]></词典音标><解释项><![CDATA[去]]></解释项>"
           "<解释项><![CDATA[&L{walk}&L{leave}]]></解释项></单词项></基本词义>"
           "<习惯用语><![CDATA[go on]]></习惯用语></单词解释块>"),
    ("run", "<单词解释块><基本词义><单词项><解释项><![CDATA[跑]]></解释项></单词项>"
            "<单词项><解释项><![CDATA[a]]></解释项><解释项><![CDATA[b &x{c}]]></解释项>"
            "</单词项></基本词义><基本词义><![CDATA[second]]></基本词义></单词解释块>"),
    ("odd", "<a>x &amp; &#x41;<!--note--></a><词典音标><![CDATA[8}]]></词典音标>"),
    ("bad", "<a><b></a>"),
]
stardict("powerword", [(k, v.encode()) for k, v in powerword], "k")

#!/usr/bin/env python3
"""Writes MDict dictionaries (.mdx) and media files (.mdd) for benchmarks and test fixtures.

usage: gen_mdict.py OUT [ENTRIES] [options]     (default 1,000,000 entries)

  --version V            GeneratedByEngineVersion: 2.0 (8-byte numbers, checksummed key-block
                         info; the default), 1.2 (4-byte numbers), or anything else written as
                         it is (3.0 gets a 2.0 body: readers must refuse on the header alone)
  --compression C        none | lzo | zlib | mixed (block i: zlib, LZO, none for i mod 3)
  --encrypted VALUE      the Encrypted attribute as written: 0, 1, 2, 3, Yes, No. Bit 2 enciphers
                         the key-block info (version 2 only); bit 1 ("Yes") only sets the flag,
                         the records stay plain: the flag is what a reader must refuse on
  --encoding E           UTF-8 | UTF-16 | GBK | GB2312 | GB18030 | BIG5 | "" (empty means UTF-8)
  --format F             Html | Text
  --title T, --description D
  --key-case-sensitive   KeyCaseSensitive="Yes" (keys ordered as they are, not folded)
  --strip-key Yes|No     StripKey (keys ordered without punctuation and spaces)
  --links SHARE          share of generated entries that are "@@@LINK=" an earlier headword
  --entries-from FILE    entries from a UTF-8 file of "key<TAB>record" lines instead of
                         generated ones; \\n \\t \\r \\\\ in a record are escapes
  --mdd                  a media file: <Library_Data>, keys are file names in UTF-16, records
                         are the files' bytes with no terminator (a few small files built in,
                         or --entries-from with the records' UTF-8 bytes)
  --key-block-bytes N, --record-block-bytes N   uncompressed size a block is closed at
  --bad-checksum key:I|record:I   write block I (from 0) of that section with a wrong Adler-32
  --stardict DIR         also write the same entries as DIR/bench.{ifo,idx,dict} (UTF-8 only)

Generated entries use the made-up words and vocabulary of gen_text_dictionary.py (about 5% of
headwords repeat); Html records carry light markup (<b>, <i>, <br>, <div class>, <span style>,
<img src>, sound:// and entry:// links). The output is the same for the same arguments.
"""
import argparse
import html
import os
import random
import struct
import sys
import zlib

from gen_text_dictionary import POS, headwords, sentence
from ripemd128 import ripemd128

try:
    import lzo
except ImportError:
    # Debian's python3-lzo sits in the system interpreter's folder, which an interpreter of
    # the same version from elsewhere (pyenv, a venv) does not search.
    sys.path.append("/usr/lib/python3/dist-packages")
    try:
        import lzo
    except ImportError:
        lzo = None

CODECS = {"": "utf-8", "UTF-8": "utf-8", "UTF-16": "utf-16-le", "GBK": "gbk", "GB2312": "gbk",
          "GB18030": "gb18030", "BIG5": "big5"}
BLOCK_NONE, BLOCK_LZO, BLOCK_ZLIB = 0, 1, 2
MIXED_ORDER = (BLOCK_ZLIB, BLOCK_LZO, BLOCK_NONE)


def encrypted_bits(value):
    if value in ("", "No"):
        return 0
    if value == "Yes":
        return 1
    return int(value)


def encipher_key_info(data, checksum_bytes):
    """The inverse of the format's key-block-info decipher: each plain byte is XORed with the
    previous cipher byte (0x36 first), its index and the key, then its nibbles are swapped."""
    key = ripemd128(checksum_bytes + b"\x95\x36\x00\x00")
    out = bytearray(len(data))
    previous = 0x36
    for i, plain in enumerate(data):
        t = plain ^ previous ^ (i & 0xFF) ^ key[i % len(key)]
        cipher = ((t << 4) | (t >> 4)) & 0xFF
        out[i] = cipher
        previous = cipher
    return bytes(out)


def block(data, kind, bad_checksum=False):
    if kind == BLOCK_NONE:
        payload = data
    elif kind == BLOCK_ZLIB:
        payload = zlib.compress(data, 6)
    else:
        if lzo is None:
            sys.exit("gen_mdict.py: LZO blocks need Debian's python3-lzo (apt-get install python3-lzo)")
        # Raw LZO1X-1, without the python binding's own 5-byte header.
        payload = lzo.compress(data, 1, False)
    checksum = zlib.adler32(data) ^ (1 if bad_checksum else 0)
    return struct.pack("<I", kind) + struct.pack(">I", checksum) + payload


def order_key(key, case_sensitive, strip_key):
    if strip_key:
        key = "".join(c for c in key if c.isalnum())
    return key if case_sensitive else key.lower()


def html_record(rng, word, earlier):
    w = html.escape(word)
    parts = [f'<div class="hw"><b>{w}</b> <span style="color:#777">/{w[:2]}\u02c8{w[2:]}/</span>'
             f' <a href="sound://{w}.mp3"><img src="speaker.png"></a></div>']
    for n in range(1, rng.choice((1, 1, 2, 3)) + 1):
        sense = f'<div class="sense">{n}. <i>{rng.choice(POS)}</i> {sentence(rng, rng.randint(5, 12))}.'
        if rng.random() < 0.2:
            sense += f"<br><span style=\"font-style:italic\">{sentence(rng, rng.randint(3, 7))}.</span>"
        if rng.random() < 0.1 and earlier:
            other = html.escape(rng.choice(earlier))
            sense += f' See <a href="entry://{other}">{other}</a>.'
        parts.append(sense + "</div>")
    return "".join(parts)


def text_record(rng, word):
    lines = [f"{word} /{word[:2]}\u02c8{word[2:]}/ {rng.choice(POS)}"]
    for n in range(1, rng.choice((1, 2, 3)) + 1):
        lines.append(f"{n}. {sentence(rng, rng.randint(5, 12))}.")
    return "\r\n".join(lines)


def generated_entries(count, fmt, link_share):
    """Yields the entries one by one, so a million of them are never held as text."""
    rng = random.Random(count)
    recent = []
    words = headwords(rng, recent)
    for _ in range(count):
        word = next(words)
        if recent and rng.random() < link_share:
            target = rng.choice(recent)
            record = f"@@@LINK={target}\r\n" if target != word else text_record(rng, word)
        elif fmt == "Html":
            record = html_record(rng, word, recent)
        else:
            record = text_record(rng, word)
        yield word, record


def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            out.append({"n": "\n", "t": "\t", "r": "\r", "\\": "\\"}.get(text[i + 1], "\\" + text[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def entries_from(path):
    entries = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line:
                key, _, record = line.partition("\t")
                entries.append((key, unescape(record)))
    return entries


def tiny_png():
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 1, 1, 8, 0, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(b"\0\0")) + chunk(b"IEND", b""))


def media_entries():
    return [("\\speaker.png", tiny_png()),
            ("\\sound\\hello.mp3", b"ID3\x03\0\0\0\0\0\0" + bytes(range(256)) * 2),
            ("\\style.css", b".hw { font-weight: bold }\n.sense { margin-left: 1em }\n")]


def header_xml(args, mdd):
    def attr(name, value):
        return f' {name}="{html.escape(value, quote=True)}"'
    v = args.version
    common = (attr("GeneratedByEngineVersion", v) + attr("RequiredEngineVersion", v) +
              attr("Encrypted", args.encrypted))
    if mdd:
        text = ("<Library_Data" + common + attr("Format", "") + attr("CreationDate", "2026-12-10") +
                attr("Compact", "No") + attr("Compat", "No") + attr("KeyCaseSensitive", "No") +
                attr("Description", args.description) + attr("Title", args.title) +
                attr("DataSourceFormat", "0") + attr("StyleSheet", "") + attr("RegisterBy", "") +
                attr("RegCode", "") + "/>")
    else:
        text = ("<Dictionary" + common + attr("Encoding", args.encoding) + attr("Format", args.format) +
                attr("StripKey", args.strip_key) + attr("CreationDate", "2026-12-10") +
                attr("Compact", "Yes") + attr("Compat", "Yes") +
                attr("KeyCaseSensitive", "Yes" if args.key_case_sensitive else "No") +
                attr("Description", args.description) + attr("Title", args.title) +
                attr("DataSourceFormat", "106") + attr("StyleSheet", "") + attr("Left2Right", "Yes") +
                attr("RegisterBy", "") + "/>")
    return (text + "\r\n\0").encode("utf-16-le")


class Layout:
    """The widths that differ between the 1.x and 2.x layouts."""

    def __init__(self, version, encoding):
        self.v2 = version >= 2.0
        self.number = ">Q" if self.v2 else ">I"
        self.key_size = ">H" if self.v2 else ">B"
        self.utf16 = encoding == "UTF-16"
        self.terminator = b"\0\0" if self.utf16 else b"\0"

    def num(self, *values):
        return b"".join(struct.pack(self.number, v) for v in values)

    def info_key(self, key_bytes):
        """A first or last key in the key-block info: its length (in UTF-16 units for UTF-16),
        the bytes, and in version 2 a terminator the length does not count."""
        length = len(key_bytes) // 2 if self.utf16 else len(key_bytes)
        if length >= (1 << (16 if self.v2 else 8)):
            sys.exit(f"gen_mdict.py: a key of {length} units is too long for this version")
        return struct.pack(self.key_size, length) + key_bytes + (self.terminator if self.v2 else b"")


def kinds(compression):
    fixed = {"none": BLOCK_NONE, "lzo": BLOCK_LZO, "zlib": BLOCK_ZLIB}
    if compression == "mixed":
        return lambda i: MIXED_ORDER[i % 3]
    return lambda i: fixed[compression]


def split(items, size_of, limit):
    """Groups items into runs whose total size reaches limit (each run holds at least one)."""
    runs, run, total = [], [], 0
    for item in items:
        run.append(item)
        total += size_of(item)
        if total >= limit:
            runs.append(run)
            run, total = [], 0
    if run:
        runs.append(run)
    return runs


def write_mdict(out, entries, args, mdd):
    encoding = "UTF-16" if mdd else args.encoding
    codec = CODECS[encoding]
    try:
        version = float(args.version)
    except ValueError:
        version = 2.0
    layout = Layout(min(version, 2.0), encoding)
    bits = encrypted_bits(args.encrypted)
    kind_of = kinds(args.compression)
    bad_section, _, bad_index = (args.bad_checksum or "").partition(":")
    bad_index = int(bad_index) if bad_index else -1

    strip_key = args.strip_key == "Yes"

    def encoded(record):
        if mdd:
            return record if isinstance(record, bytes) else record.encode("utf-8")
        return record.encode(codec) + layout.terminator

    # Records in key order, each whole inside one block, so a key's record runs from its
    # offset to the next key's.
    records = [(order_key(key, args.key_case_sensitive, strip_key), key.encode(codec), encoded(record))
               for key, record in entries]
    records.sort(key=lambda r: r[0])
    record_runs = split(records, lambda r: len(r[2]), args.record_block_bytes)
    keyed, offset = [], 0
    for run in record_runs:
        for _, key_bytes, data in run:
            keyed.append((key_bytes, offset))
            offset += len(data)

    key_runs = split(keyed, lambda k: len(k[0]) + 8, args.key_block_bytes)
    key_blocks, infos = [], []
    for i, run in enumerate(key_runs):
        plain = b"".join(layout.num(off) + key_bytes + layout.terminator for key_bytes, off in run)
        packed = block(plain, kind_of(i), bad_section == "key" and bad_index == i)
        key_blocks.append(packed)
        infos.append(layout.num(len(run)) + layout.info_key(run[0][0]) + layout.info_key(run[-1][0]) +
                     layout.num(len(packed), len(plain)))
    info = b"".join(infos)
    if layout.v2:
        checksum = struct.pack(">I", zlib.adler32(info))
        body = zlib.compress(info, 6)
        if bits & 2:
            body = encipher_key_info(body, checksum)
        info_stored = struct.pack("<I", BLOCK_ZLIB) + checksum + body
        key_header = layout.num(len(key_runs), len(records), len(info), len(info_stored),
                                sum(map(len, key_blocks)))
        key_header += struct.pack(">I", zlib.adler32(key_header))
    else:
        info_stored = info
        key_header = layout.num(len(key_runs), len(records), len(info_stored),
                                sum(map(len, key_blocks)))

    header = header_xml(args, mdd)
    with open(out, "wb") as f:
        f.write(struct.pack(">I", len(header)) + header + struct.pack("<I", zlib.adler32(header)))
        f.write(key_header + info_stored)
        for packed in key_blocks:
            f.write(packed)
        # The record blocks are compressed one at a time as they are written; their sizes,
        # which come first, are filled in afterwards.
        sizes_at = f.tell()
        f.write(layout.num(0, 0, 0, 0) + layout.num(0, 0) * len(record_runs))
        sizes, total = [], 0
        for i, run in enumerate(record_runs):
            plain = b"".join(data for _, _, data in run)
            packed = block(plain, kind_of(i), bad_section == "record" and bad_index == i)
            f.write(packed)
            sizes.append(layout.num(len(packed), len(plain)))
            total += len(packed)
        f.seek(sizes_at)
        f.write(layout.num(len(record_runs), len(records), len(sizes) * len(sizes[0]), total))
        f.write(b"".join(sizes))
    return records


def write_stardict(folder, records, fmt, terminator):
    """The same entries as a StarDict dictionary (.ifo, .idx, .dict), for comparison: one
    field of HTML (or plain text) per entry, link records kept as they are."""
    os.makedirs(folder, exist_ok=True)
    ordered = sorted(records, key=lambda r: (r[1].lower(), r[1]))
    index, offset = [], 0
    with open(os.path.join(folder, "bench.dict"), "wb") as f:
        for _, key_bytes, data in ordered:
            data = data[:len(data) - len(terminator)]
            f.write(data)
            index.append(key_bytes + b"\0" + struct.pack(">II", offset, len(data)))
            offset += len(data)
    index = b"".join(index)
    with open(os.path.join(folder, "bench.idx"), "wb") as f:
        f.write(index)
    with open(os.path.join(folder, "bench.ifo"), "w", encoding="utf-8", newline="\n") as f:
        f.write("StarDict's dict ifo file\nversion=2.4.2\nbookname=Benchmark\n"
                f"wordcount={len(ordered)}\nidxfilesize={len(index)}\n"
                f"sametypesequence={'h' if fmt == 'Html' else 'm'}\n")


def main():
    parser = argparse.ArgumentParser(description="Writes MDict .mdx/.mdd files.")
    parser.add_argument("out")
    parser.add_argument("entries", nargs="?", type=int, default=1_000_000)
    parser.add_argument("--version", default="2.0")
    parser.add_argument("--compression", choices=("none", "lzo", "zlib", "mixed"), default="zlib")
    parser.add_argument("--encrypted", default="0")
    parser.add_argument("--encoding", choices=sorted(CODECS), default="UTF-8")
    parser.add_argument("--format", choices=("Html", "Text"), default="Html")
    parser.add_argument("--title", default="Generated MDict dictionary")
    parser.add_argument("--description", default="Made-up words for tests and benchmarks")
    parser.add_argument("--key-case-sensitive", action="store_true")
    parser.add_argument("--strip-key", choices=("Yes", "No"), default="Yes")
    parser.add_argument("--links", type=float, default=0.0)
    parser.add_argument("--entries-from")
    parser.add_argument("--mdd", action="store_true")
    parser.add_argument("--key-block-bytes", type=int, default=16384)
    parser.add_argument("--record-block-bytes", type=int, default=65536)
    parser.add_argument("--bad-checksum")
    parser.add_argument("--stardict")
    args = parser.parse_args()
    if args.mdd:
        entries = entries_from(args.entries_from) if args.entries_from else media_entries()
    elif args.entries_from:
        entries = entries_from(args.entries_from)
    else:
        entries = generated_entries(args.entries, args.format, args.links)
    records = write_mdict(args.out, entries, args, args.mdd)
    if args.stardict:
        if args.mdd or args.encoding not in ("", "UTF-8"):
            sys.exit("gen_mdict.py: --stardict is for UTF-8 .mdx files")
        write_stardict(args.stardict, records, args.format, b"\0")


if __name__ == "__main__":
    main()

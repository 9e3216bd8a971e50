#!/usr/bin/env python3
"""Reads an MDict file back, independently of the generator, and says what is wrong with it.

usage: check.py FILE [--entries TSV] [--bad record:I|key:I] [--list]

Checks the header's Adler-32, the key-section header and its checksum (version 2), the
key-block info (deciphered when Encrypted has bit 2, inflated, checksummed), every block's
type and Adler-32, that counts and sizes agree, that offsets rise and every record ends in its
terminator. --entries compares the (key, record) pairs with a file of the generator's
"key<TAB>record" lines; --bad names the one block that must fail its checksum; --list prints
the pairs. Exit status 0 when the file is as it should be.
"""
import argparse
import re
import struct
import sys
import zlib
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[3] / "bench"))
from ripemd128 import ripemd128  # noqa: E402  (checked against its test vectors)

try:
    import lzo
except ImportError:
    sys.path.append("/usr/lib/python3/dist-packages")
    import lzo


class Bad(Exception):
    pass


def expect(condition, what):
    if not condition:
        raise Bad(what)


class Reader:
    def __init__(self, data):
        self.data, self.at = data, 0

    def take(self, n):
        expect(0 <= n and self.at + n <= len(self.data), f"{n} bytes wanted at {self.at}, past the end")
        piece = self.data[self.at:self.at + n]
        self.at += n
        return piece

    def unpack(self, fmt):
        return struct.unpack(fmt, self.take(struct.calcsize(fmt)))


def decipher(data, checksum):
    key = ripemd128(checksum + bytes((0x95, 0x36, 0, 0)))
    out, previous = bytearray(), 0x36
    for i, c in enumerate(data):
        swapped = ((c >> 4) | (c << 4)) & 0xFF
        out.append(swapped ^ previous ^ (i & 0xFF) ^ key[i % 16])
        previous = c
    return bytes(out)


def unpack_block(raw, size, where, bad):
    """The plain bytes of one block, or None when its checksum is the expected bad one."""
    expect(len(raw) >= 8, f"{where}: shorter than its 8-byte prefix")
    kind = struct.unpack("<I", raw[:4])[0]
    checksum = struct.unpack(">I", raw[4:8])[0]
    if kind == 0:
        plain = raw[8:]
    elif kind == 1:
        plain = lzo.decompress(raw[8:], False, size)
    elif kind == 2:
        plain = zlib.decompress(raw[8:])
    else:
        raise Bad(f"{where}: block type {kind}")
    expect(len(plain) == size, f"{where}: {len(plain)} bytes, its info says {size}")
    if zlib.adler32(plain) != checksum:
        expect(where == bad, f"{where}: wrong Adler-32")
        return None, kind
    expect(where != bad, f"{where}: checksum right where it should be wrong")
    return plain, kind


def read(path, bad):
    r = Reader(Path(path).read_bytes())
    (size,) = r.unpack(">I")
    header = r.take(size)
    (checksum,) = r.unpack("<I")
    expect(zlib.adler32(header) == checksum, "header Adler-32")
    expect(header.endswith(b"\0\0"), "header does not end in a UTF-16 NUL")
    text = header[:-2].decode("utf-16-le")
    attrs = dict(re.findall(r'(\w+)="([^"]*)"', text))
    version = float(attrs["GeneratedByEngineVersion"])
    encrypted = attrs.get("Encrypted", "No")
    bits = 0 if encrypted in ("No", "") else 1 if encrypted == "Yes" else int(encrypted)
    mdd = text.startswith("<Library_Data")
    encoding = "UTF-16" if mdd else (attrs.get("Encoding") or "UTF-8")
    codec = {"UTF-8": "utf-8", "UTF-16": "utf-16-le", "GBK": "gb18030", "GB2312": "gb18030",
             "GB18030": "gb18030", "BIG5": "big5"}[encoding]
    unit = 2 if encoding == "UTF-16" else 1
    v2 = version >= 2.0
    num = ">Q" if v2 else ">I"

    def number():
        return r.unpack(num)[0]

    start = r.at
    blocks, entries = number(), number()
    info_plain_size = number() if v2 else None
    info_size, keys_size = number(), number()
    if v2:
        (sum_,) = r.unpack(">I")
        expect(zlib.adler32(r.data[start:r.at - 4]) == sum_, "key-section header Adler-32")
    info = r.take(info_size)
    stored_info = info
    if v2:
        expect(info[:4] == b"\x02\0\0\0", "key-block info is not zlib")
        body = decipher(info[8:], info[4:8]) if bits & 2 else info[8:]
        info = zlib.decompress(body)
        expect(len(info) == info_plain_size, "key-block info size")
        expect(zlib.adler32(info).to_bytes(4, "big") == stored_info[4:8],
               "key-block info Adler-32")
    i = Reader(info)
    key_infos = []
    width = ">H" if v2 else ">B"
    for _ in range(blocks):
        count = i.unpack(num)[0]
        ends = []
        for _ in range(2):
            (n,) = i.unpack(width)
            ends.append(i.take(n * unit))
            if v2:
                expect(i.take(unit) == b"\0" * unit, "key-block info key not terminated")
        packed, plain = i.unpack(num)[0], i.unpack(num)[0]
        key_infos.append((count, ends, packed, plain))
    expect(i.at == len(info), "key-block info longer than its blocks")
    expect(sum(k[0] for k in key_infos) == entries, "key blocks' counts disagree with the total")
    expect(sum(k[2] for k in key_infos) == keys_size, "key blocks' sizes disagree with the total")

    keys, kinds = [], set()
    for b, (count, ends, packed, plain_size) in enumerate(key_infos):
        plain, kind = unpack_block(r.take(packed), plain_size, f"key:{b}", bad)
        kinds.add(kind)
        if plain is None:
            keys += [None] * count
            continue
        k, got = Reader(plain), []
        while k.at < len(plain):
            (offset,) = k.unpack(num)
            end = k.at
            while plain[end:end + unit] != b"\0" * unit:
                end += unit
                expect(end < len(plain), "key not terminated")
            got.append((offset, plain[k.at:end]))
            k.at = end + unit
        expect(len(got) == count, f"key:{b}: {len(got)} keys, its info says {count}")
        expect(got[0][1] == ends[0] and got[-1][1] == ends[1], f"key:{b}: first or last key")
        keys += got

    record_blocks, record_entries = number(), number()
    sizes_size, records_size = number(), number()
    expect(record_entries == entries, "record section's count disagrees with the keys'")
    expect(sizes_size == record_blocks * struct.calcsize(num) * 2, "record-block info size")
    sizes = [(number(), number()) for _ in range(record_blocks)]
    expect(sum(s[0] for s in sizes) == records_size, "record blocks' sizes disagree with the total")
    stream, base, lost, bounds = bytearray(), 0, [], []
    for b, (packed, plain_size) in enumerate(sizes):
        plain, kind = unpack_block(r.take(packed), plain_size, f"record:{b}", bad)
        kinds.add(kind)
        if plain is None:
            lost.append((base, base + plain_size))
            plain = b"\0" * plain_size
        stream += plain
        bounds.append((base, base + plain_size))
        base += plain_size
    expect(r.at == len(r.data), "bytes after the last record block")

    offsets = [k[0] for k in keys if k is not None]
    expect(offsets == sorted(offsets), "record offsets do not rise")
    pairs = []
    terminator = b"" if mdd else b"\0" * unit
    # A key whose successor was in a lost key block has its record end with its block.
    ends = [None if after is None else after[0] for after in keys[1:]] + [len(stream)]
    blocks_of = iter(bounds)
    lo, hi = next(blocks_of, (0, 0))
    for k, end in zip(keys, ends):
        if k is None:
            continue
        offset, raw = k
        while offset >= hi and (lo, hi) != (len(stream), len(stream)):
            lo, hi = next(blocks_of, (len(stream), len(stream)))
        end = hi if end is None else end
        expect(lo <= offset < end <= hi, f"record at {offset} crosses blocks or is empty")
        if any(a <= offset < b for a, b in lost):
            continue
        data = bytes(stream[offset:end])
        expect(data.endswith(terminator), f"record at {offset} does not end in its terminator")
        data = data[:len(data) - len(terminator)]
        pairs.append((raw.decode(codec), data if mdd else data.decode(codec)))
    return attrs, pairs, kinds


def escape(text):
    return text.replace("\\", "\\\\").replace("\n", "\\n").replace("\t", "\\t").replace("\r", "\\r")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("file")
    parser.add_argument("--entries")
    parser.add_argument("--bad")
    parser.add_argument("--list", action="store_true")
    args = parser.parse_args()
    try:
        attrs, pairs, kinds = read(args.file, args.bad)
        if args.entries:
            want = [line.rstrip("\n") for line in open(args.entries, encoding="utf-8") if line.strip("\n")]
            got = [f"{k}\t{escape(v) if isinstance(v, str) else v.decode('utf-8')}" for k, v in pairs]
            missing = sorted(set(want) - set(got))
            extra = sorted(set(got) - set(want))
            expect(not extra, f"entries not asked for: {extra[:3]}")
            if not args.bad:
                expect(not missing and len(got) == len(want), f"entries missing: {missing[:3]}")
    except (Bad, zlib.error, lzo.error, KeyError, ValueError, UnicodeDecodeError) as e:
        print(f"{args.file}: {e}")
        return 1
    if args.list:
        for k, v in pairs:
            print(f"{k!r}\t{v!r}")
    names = {0: "none", 1: "lzo", 2: "zlib"}
    print(f"{args.file}: {len(pairs)} entries, version {attrs['GeneratedByEngineVersion']}, "
          f"blocks {'+'.join(names[k] for k in sorted(kinds))}")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())

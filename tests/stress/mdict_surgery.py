#!/usr/bin/env python3
"""Byte surgery on a version 2.0 .mdx from bench/gen_mdict.py (key info not enciphered), for
the hostile cases: numbers changed with their checksums made right again, so that the reader
meets the lie itself and not merely a checksum, and blocks swapped for decompression bombs.

  mdict_surgery.py sections FILE             "name offset" for each section, then "end SIZE"
  mdict_surgery.py set FILE NAME=VALUE...    a number of the key or record section's header
      (key_blocks entries info_plain_size info_size key_blocks_size record_blocks
      record_entries record_info_size record_blocks_size), of the key-block info
      (key_count.I key_packed.I key_plain.I) or of the record-block sizes (record_packed.I
      record_plain.I); the key-section and key-info checksums are recomputed
  mdict_surgery.py bomb FILE WHERE KIND INFLATED DECLARED
      replaces the key-block info (WHERE=info), key block I (key.I) or record block I
      (record.I) with a KIND (zlib|lzo) block of INFLATED zero bytes whose size is declared
      as DECLARED; the sizes around it are made to agree with the new block. KIND keys is
      an honest zlib block instead: one key, "a" at offset 0, repeated to INFLATED bytes,
      with its true Adler-32
"""
import struct
import sys
import zlib

try:
    import lzo
except ImportError:
    sys.path.append("/usr/lib/python3/dist-packages")
    import lzo

HEADER_FIELDS = ("key_blocks", "entries", "info_plain_size", "info_size", "key_blocks_size")
RECORD_FIELDS = ("record_blocks", "record_entries", "record_info_size", "record_blocks_size")


class Mdx:
    def __init__(self, data):
        self.data = bytearray(data)
        (size,) = struct.unpack(">I", data[:4])
        self.key_header = 4 + size + 4
        self.head = dict(zip(HEADER_FIELDS, struct.unpack(">5Q", data[self.key_header:self.key_header + 40])))
        self.info_at = self.key_header + 44
        stored = bytes(data[self.info_at:self.info_at + self.head["info_size"]])
        self.info = [list(e) for e in self._parse_info(zlib.decompress(stored[8:]))]
        self.key_blocks_at = self.info_at + self.head["info_size"]
        self.record_header = self.key_blocks_at + self.head["key_blocks_size"]
        self.records = dict(zip(RECORD_FIELDS, struct.unpack(">4Q", data[self.record_header:self.record_header + 32])))
        self.sizes_at = self.record_header + 32
        n = self.records["record_blocks"]
        flat = struct.unpack(f">{2 * n}Q", data[self.sizes_at:self.sizes_at + 16 * n])
        self.sizes = [list(flat[i:i + 2]) for i in range(0, 2 * n, 2)]
        self.record_blocks_at = self.sizes_at + 16 * n
        self.lies = set()

    @staticmethod
    def _parse_info(info):
        at, out = 0, []
        while at < len(info):
            (count,) = struct.unpack(">Q", info[at:at + 8])
            at += 8
            keys = []
            for _ in range(2):
                (n,) = struct.unpack(">H", info[at:at + 2])
                keys.append(info[at + 2:at + 2 + n])
                at += 2 + n + 1
            packed, plain = struct.unpack(">QQ", info[at:at + 16])
            at += 16
            out.append((count, keys[0], keys[1], packed, plain))
        return out

    def key_block(self, i):
        at = self.key_blocks_at + sum(e[3] for e in self.info[:i])
        return at, self.info[i][3]

    def record_block(self, i):
        at = self.record_blocks_at + sum(s[0] for s in self.sizes[:i])
        return at, self.sizes[i][0]

    def sections(self):
        return [("header", 0), ("key_header", self.key_header), ("key_info", self.info_at),
                ("key_blocks", self.key_blocks_at), ("record_header", self.record_header),
                ("record_sizes", self.sizes_at), ("record_blocks", self.record_blocks_at),
                ("end", len(self.data))]

    def write(self, info_stored=None):
        """The file again from the parts as they now stand."""
        plain = b"".join(struct.pack(">Q", e[0]) + struct.pack(">H", len(e[1])) + e[1] + b"\0" +
                         struct.pack(">H", len(e[2])) + e[2] + b"\0" + struct.pack(">QQ", e[3], e[4])
                         for e in self.info)
        if info_stored is None:
            info_stored = b"\x02\0\0\0" + struct.pack(">I", zlib.adler32(plain)) + zlib.compress(plain)
            # The info's sizes follow what it became, unless they are the lie told.
            if "info_size" not in self.lies:
                self.head["info_size"] = len(info_stored)
            if "info_plain_size" not in self.lies:
                self.head["info_plain_size"] = len(plain)
        head = struct.pack(">5Q", *(self.head[f] for f in HEADER_FIELDS))
        head += struct.pack(">I", zlib.adler32(head))
        records = struct.pack(">4Q", *(self.records[f] for f in RECORD_FIELDS))
        records += b"".join(struct.pack(">QQ", *s) for s in self.sizes)
        return (bytes(self.data[:self.key_header]) + head + info_stored +
                bytes(self.data[self.key_blocks_at:self.record_header]) + records +
                bytes(self.data[self.record_blocks_at:]))


def repeated_key_packed(inflated):
    unit = b"\0" * 8 + b"a\0"
    chunk = unit * ((1 << 20) // len(unit))
    z, out, checksum, left = zlib.compressobj(9), [], zlib.adler32(b""), inflated - inflated % len(unit)
    while left > 0:
        piece = chunk[:min(left, len(chunk))]
        out.append(z.compress(piece))
        checksum = zlib.adler32(piece, checksum)
        left -= len(piece)
    out.append(z.flush())
    return 2, b"".join(out), checksum


def zeros_packed(kind, inflated):
    if kind == "keys":
        return repeated_key_packed(inflated)
    if kind == "zlib":
        z, chunk, out = zlib.compressobj(9), b"\0" * (1 << 20), []
        for _ in range(inflated >> 20):
            out.append(z.compress(chunk))
        out.append(z.compress(b"\0" * (inflated & ((1 << 20) - 1))) + z.flush())
        return 2, b"".join(out), zlib.adler32(b"")
    return 1, lzo.compress(b"\0" * inflated, 1, False), 1


def main():
    command, path = sys.argv[1], sys.argv[2]
    with open(path, "rb") as f:
        mdx = Mdx(f.read())
    if command == "sections":
        for name, at in mdx.sections():
            print(name, at)
        return
    info_stored = None
    if command == "set":
        for assignment in sys.argv[3:]:
            name, value = assignment.split("=")
            value = int(value, 0)
            field, _, index = name.partition(".")
            if field in HEADER_FIELDS:
                mdx.head[field] = value
                mdx.lies.add(field)
            elif field in RECORD_FIELDS:
                mdx.records[field] = value
            elif field.startswith("key_"):
                mdx.info[int(index)][{"key_count": 0, "key_packed": 3, "key_plain": 4}[field]] = value
            else:
                mdx.sizes[int(index)][{"record_packed": 0, "record_plain": 1}[field]] = value
    elif command == "bomb":
        where, kind, inflated, declared = sys.argv[3], sys.argv[4], int(sys.argv[5]), int(sys.argv[6])
        kind_number, payload, checksum = zeros_packed(kind, inflated)
        if where == "info":
            info_stored = struct.pack("<I", 2) + struct.pack(">I", checksum) + payload
            mdx.head["info_plain_size"] = declared
            mdx.head["info_size"] = len(info_stored)
        else:
            section, index = where.split(".")
            index = int(index)
            new = struct.pack("<I", kind_number) + struct.pack(">I", checksum) + payload
            at, size = mdx.key_block(index) if section == "key" else mdx.record_block(index)
            mdx.data[at:at + size] = new
            grown = len(new) - size
            if section == "key":
                mdx.info[index][3], mdx.info[index][4] = len(new), declared
                mdx.head["key_blocks_size"] += grown
                mdx.record_header += grown
                mdx.sizes_at += grown
                mdx.record_blocks_at += grown
            else:
                mdx.sizes[index] = [len(new), declared]
                mdx.records["record_blocks_size"] += grown
    else:
        sys.exit(__doc__)
    with open(path, "wb") as f:
        f.write(mdx.write(info_stored))


if __name__ == "__main__":
    main()

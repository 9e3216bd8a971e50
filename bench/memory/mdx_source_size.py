#!/usr/bin/env python3
"""Prints the bytes an .mdx (version 2) holds unpacked: its records and its keys.

    mdx_source_size.py FILE.mdx

Reads only the section headers and the record blocks' size table, so a file of gigabytes
takes no time. The key blocks' unpacked size is not in any header the cipher leaves
plain; their packed size stands in for it (keys are a small part of the whole).
"""
import struct
import sys


def main():
    with open(sys.argv[1], "rb") as f:
        (header_size,) = struct.unpack(">I", f.read(4))
        f.seek(header_size + 4, 1)  # the header text, then its Adler-32
        # Key section: blocks, entries, info unpacked, info packed, key blocks; Adler-32.
        _, _, _, info_packed, key_blocks = struct.unpack(">5Q", f.read(40))
        f.seek(4 + info_packed + key_blocks, 1)
        record_blocks, _, _, _ = struct.unpack(">4Q", f.read(32))
        sizes = struct.unpack(f">{2 * record_blocks}Q", f.read(16 * record_blocks))
        print(sum(sizes[1::2]) + key_blocks)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes the MPEG library in the form the player unpacks ("codecs.dat").

    scramble_library.py LIBRARY OUTPUT

Byte 0 stays as it is; every later byte is XORed with (the scrambled byte before it + 1),
modulo 256. The player undoes it from the last byte down. The output is written beside its
final name and then put in place, so a failed run never leaves half a file.
"""
import os
import sys


def scramble(data):
    out = bytearray(data)
    for i in range(1, len(out)):
        out[i] ^= (out[i - 1] + 1) & 0xFF
    return out


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], "rb") as f:
        data = f.read()
    if not data:
        sys.stderr.write("scramble_library.py: %s is empty\n" % argv[1])
        return 1
    part = argv[2] + ".part"
    with open(part, "wb") as f:
        f.write(scramble(data))
    os.replace(part, argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

"""The CRC-32 of zlib, carried over consecutive pieces of a file.

  path        the bytes
  start       the running value before the first piece
  sizes...    the lengths of the pieces, in order; prints the running value after each
"""
import sys
import zlib

with open(sys.argv[1], "rb") as f:
    data = f.read()
crc = int(sys.argv[2])
offset = 0
values = []
for size in map(int, sys.argv[3:]):
    crc = zlib.crc32(data[offset:offset + size], crc)
    offset += size
    values.append(str(crc))
print(" ".join(values))

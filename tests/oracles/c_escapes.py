"""Backslash escapes of C string literals read by codecs.escape_decode.

"parse <file>": each row is an escaped text; prints the bytes escape_decode reads from it.
"decode": random texts of octal escapes, "\\x" with two hexadecimal digits, the letters a b f n r t v, escaped
backslash and quotes, and plain bytes, with the bytes escape_decode reads from them. Plain double quotes are left
out: the host form drops them, escape_decode keeps them.
"""
import codecs
import random
import sys

from text_fields import emit, read_rows


def main():
    if sys.argv[1] == 'parse':
        for row in read_rows(sys.argv[2]):
            emit(row[0], codecs.escape_decode(row[0])[0])
        return
    rng = random.Random(int(sys.argv[2]))
    for _ in range(500):
        pieces = []
        for _ in range(rng.randint(0, 6)):
            kind = rng.randint(0, 4)
            if kind == 0:
                # A first digit of 0 to 3 keeps every octal escape, also one a following digit extends, below 256.
                digits = rng.choice('0123') + ''.join(rng.choice('01234567') for _ in range(rng.randint(0, 2)))
                pieces.append('\\' + digits)
            elif kind == 1:
                pieces.append('\\x' + rng.choice(['%02x', '%02X']) % rng.randint(0, 255))
            elif kind == 2:
                pieces.append('\\' + rng.choice('abfnrtv\\\'"'))
            else:
                pieces.append(rng.choice(['a', 'Z', '7', 'x', ' ', '{', '\xe9']))
        text = ''.join(pieces).encode('latin-1')
        emit(text, codecs.escape_decode(text)[0])


main()

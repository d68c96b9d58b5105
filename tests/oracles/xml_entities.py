"""XML character data read by xml.etree.

"parse <file>": each row of the file is one escaped text; prints the text ElementTree reads from "<a>text</a>",
as Latin-1 bytes (every character the host form writes is below 256).
"decode": random texts of named entities, decimal and hexadecimal character references and plain characters, and
the bytes ElementTree reads from them.
"""
import random
import sys
import xml.etree.ElementTree as ET

from text_fields import emit, read_rows


def parsed(escaped):
    return (ET.fromstring(b'<a>' + escaped + b'</a>').text or '').encode('latin-1')


def main():
    if sys.argv[1] == 'parse':
        for row in read_rows(sys.argv[2]):
            emit(row[0], parsed(row[0]))
        return
    rng = random.Random(int(sys.argv[2]))
    codes = [9, 10, 13] + list(range(32, 256))
    for _ in range(500):
        pieces = []
        for _ in range(rng.randint(0, 6)):
            kind = rng.randint(0, 4)
            if kind == 0:
                pieces.append(rng.choice(['&quot;', '&amp;', '&apos;', '&lt;', '&gt;']))
            elif kind == 1:
                pieces.append('&#%d;' % rng.choice(codes))
            elif kind == 2:
                pieces.append(rng.choice(['&#x%X;', '&#x%x;', '&#x%04X;']) % rng.choice(codes))
            else:
                pieces.append(rng.choice('ab ;#x"\'9'))
        text = ''.join(pieces).encode('latin-1')
        emit(text, parsed(text))


main()

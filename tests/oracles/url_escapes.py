"""Percent escapes after urllib.parse.

"encode": random byte texts and their escaped form: every byte that is not printable ASCII or is one of
' <>#%{}|\\^~[]\';/?:@=&$' becomes "%XX" (quote() keeps "~", which the host form escapes as well).
"decode": random texts of escapes, cut escapes and plain bytes, read back by unquote_to_bytes ("%" without two
hexadecimal digits stays as it is; "+" stays).
"""
import random
import sys
from urllib.parse import quote, unquote_to_bytes

from text_fields import emit

ESCAPED = ' <>#%{}|\\^~[]\';/?:@=&$'
KEPT_PUNCTUATION = ''.join(chr(c) for c in range(0x20, 0x7F) if chr(c) not in ESCAPED and not chr(c).isalnum())


def main():
    mode, rng = sys.argv[1], random.Random(int(sys.argv[2]))
    for _ in range(500):
        if mode == 'encode':
            text = bytes(rng.choice([rng.randint(1, 255), rng.randint(0x20, 0x7E)]) for _ in range(rng.randint(0, 12)))
            emit(text, quote(text, safe=KEPT_PUNCTUATION).replace('~', '%7E'))
        else:
            pieces = ['%', '%4', '%41', '%e9', '%zz', '%%', 'a', '+', ' ', '%0A', '%F', '%g1']
            text = ''.join(rng.choice(pieces) for _ in range(rng.randint(0, 6)))
            emit(text, unquote_to_bytes(text))


main()

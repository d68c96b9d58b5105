"""One CSV line written by the csv module, without carriage returns or line feeds in the fields.

Prints random rows as "quoteAll separator quote field... line": the line is csv.writer's for the row (minimal
quoting, or every field quoted when quoteAll is b"1"), quotes doubled inside quoted fields. One difference of the
host writer is applied: an empty first field that more fields follow is written without its quotes even when every
field is quoted (the line starts with the separator).
"""
import csv
import io
import random

from text_fields import emit, seed


def main():
    rng = random.Random(seed())
    for _ in range(1000):
        separator, quote = rng.choice([(',', '"'), (',', '|'), (';', "'"), ('\t', '"')])
        quote_all = rng.random() < 0.25
        alphabet = 'ab ' + separator + quote + '\xe9'
        row = [''.join(rng.choice(alphabet) for _ in range(rng.randint(0, 5))) for _ in range(rng.randint(1, 5))]
        out = io.StringIO()
        csv.writer(out, delimiter=separator, quotechar=quote, lineterminator='',
                   quoting=csv.QUOTE_ALL if quote_all else csv.QUOTE_MINIMAL).writerow(row)
        line = out.getvalue()
        if quote_all and row[0] == '' and len(row) > 1:
            line = line[2:]
        emit(b'1' if quote_all else b'0', separator, quote, *row, line)


main()

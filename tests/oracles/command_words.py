"""Words of a command line after shlex.split (POSIX rules), with double quotes only.

Prints random cases "text word...". Texts hold words, blanks, double-quoted runs (with escaped backslashes and
quotes inside) and, outside quotes, a backslash before a quote, a backslash or a letter that is no C escape. The
host splitter also ends a text that is empty or ends in white space with one empty word; that word is added here.
"""
import random
import shlex

from text_fields import emit, seed


def main():
    rng = random.Random(seed())
    for _ in range(1000):
        pieces = []
        for _ in range(rng.randint(0, 7)):
            kind = rng.randint(0, 5)
            if kind <= 1:
                pieces.append(rng.choice(['cp', 'a', 'my', '-x', '9', '\xe9']))
            elif kind == 2:
                pieces.append(rng.choice([' ', '  ', '\t', ' \t ']))
            elif kind == 3:
                inner = ''.join(rng.choice(['a', ' ', '\t', '\\\\', '\\"', 'b c']) for _ in range(rng.randint(0, 3)))
                pieces.append('"' + inner + '"')
            else:
                pieces.append(rng.choice(['\\"', '\\\\', '\\q', '\\z']))
        text = ''.join(pieces)
        words = shlex.split(text)
        if text == '' or text[-1] in ' \t':
            words.append('')
        emit(text, *words)


main()

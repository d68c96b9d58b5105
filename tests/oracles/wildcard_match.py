"""Whole-text wildcard matching, "?" one byte and "*" any run, after fnmatch.fnmatchcase.

Prints random cases "text pattern verdict" (verdict b"1" or b"0"). Where the host strings' rule differs from
fnmatch it is stated here: an empty text or pattern never matches, and a run of two or more stars ending the pattern
leaves at least one byte to its stars. Patterns hold no brackets (no classes in the host rule).
"""
import fnmatch
import random

from text_fields import emit, seed


def matches(text, pattern):
    if not text or not pattern:
        return False
    body = pattern.rstrip('*')
    if len(pattern) - len(body) >= 2:
        return fnmatch.fnmatchcase(text, body + '?*')
    return fnmatch.fnmatchcase(text, pattern)


def main():
    rng = random.Random(seed())
    for _ in range(3000):
        text = ''.join(rng.choice('aab.\\\xe9') for _ in range(rng.randint(0, 7)))
        pattern = ''.join(rng.choice('ab.\\\xe9??**') for _ in range(rng.randint(0, 6)))
        emit(text, pattern, b'1' if matches(text, pattern) else b'0')


main()

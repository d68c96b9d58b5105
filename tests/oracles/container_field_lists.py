#!/usr/bin/env python3
"""Reads the registered field lists in their compact notation and prints, for the registry test, what each type
holds and the figures counted over all of them. Written apart from the generator: it reads each field word by its
leading letters alone, so a fault in either reading shows up as a difference.

Output lines:
  type NAME FIELDCOUNT
  field CODE AUX1 AUX2 AUX3 NESTED      (AUX2 is the data field of a table, else -1; NESTED is - for non-records)
  unregistered NAME                     (a nested name that no line defines)
  figures TYPES FIELDS FIELDLESS TABLES ARRAYS_BEFORE_COUNT USES_OF_8 USES_OF_13 USES_OF_14 USES_OF_15 USES_OF_16
          COUNTS_NOT_INLINE_CHAR_SHORT_INT
"""
import sys

INLINE = {"c": 0, "s": 2, "i": 4, "f": 6, "d": 8, "l": 14}
ARRAY = {"c": 1, "s": 3, "i": 5, "f": 7, "d": 9, "l": 15, "b": 16}


def read(path):
    types = []
    for raw in open(path, encoding="utf-8"):
        if raw.startswith("#") or not raw.strip():
            continue
        name, rest = raw.split(":", 1)
        words = [] if rest.strip() == "(no fields)" else rest.split()
        types.append((name, [field(w) for w in words]))
    return types


def field(word):
    """(code, aux1, aux2, aux3, nested) of one field word."""
    if word.startswith("nd("):
        k, m, e = word[3:-1].split(",")
        return (10, int(k), int(m), int(e), "-")
    if word.startswith("{"):
        nested, after = word[1:].split("}")
        if after.startswith("["):
            return (12, int(after[1:-1]), -1, 0, nested)
        return (11, int(after[1:]) if after else 1, -1, 0, nested)
    letter, after = word[0], word[1:]
    if after.startswith("["):
        return (ARRAY[letter], int(after[1:-1]), -1, 0, "-")
    return (INLINE[letter], int(after[1:]) if after else 1, -1, 0, "-")


def main():
    types = read(sys.argv[1])
    names = {name for name, _ in types}
    codes = [0] * 17
    before = bad_counts = 0
    unregistered = set()
    for name, fields in types:
        print("type", name, len(fields))
        for index, (code, aux1, aux2, aux3, nested) in enumerate(fields):
            print("field", code, aux1, aux2, aux3, nested)
            codes[code] += 1
            if nested != "-" and nested not in names:
                unregistered.add(nested)
            if code in ARRAY.values() or code == 12:
                before += aux1 > index
                count_code, count_n = fields[aux1][0], fields[aux1][1]
                bad_counts += count_code not in (0, 2, 4) or count_n != 1
    for nested in sorted(unregistered):
        print("unregistered", nested)
    print("figures", len(types), sum(len(f) for _, f in types), sum(1 for _, f in types if not f), codes[10], before,
          codes[8], codes[13], codes[14], codes[15], codes[16], bad_counts)


main()

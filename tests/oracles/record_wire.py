#!/usr/bin/env python3
"""Writes random records of the registered types in their stored form, from the wire rules alone: fields in
declaration order, numbers big-endian, each count field written once, immediately before the first array that it
counts (or at its own place when no array before it needs it), no tags. An N-dimensional table writes nothing of its
own: its dimensions field and data field (each once), the data holding as many elements as the dimensions multiply to.
Arrays of a nested type the lists do not define are left empty.

Usage: record_wire.py FIELD_LISTS SEED RECORDS_PER_TYPE
Prints one line per record: the type name and its encoded bytes in hex ("-" for none).
"""
import random
import struct
import sys

INLINE = {"c": ">B", "b": ">B", "s": ">H", "i": ">I", "f": ">I", "d": ">Q", "l": ">Q"}
MAX_DEPTH = 3


def parse_word(word):
    if word.startswith("nd("):
        k, m, _ = word[3:-1].split(",")
        return {"kind": "nd", "dims": int(k), "data": int(m)}
    if word.startswith("{"):
        nested, after = word[1:].split("}")
        if after.startswith("["):
            return {"kind": "records", "nested": nested, "count": int(after[1:-1])}
        return {"kind": "record", "nested": nested, "n": int(after[1:]) if after else 1}
    letter, after = word[0], word[1:]
    if after.startswith("["):
        return {"kind": "array", "letter": letter, "count": int(after[1:-1])}
    return {"kind": "inline", "letter": letter, "n": int(after[1:]) if after else 1}


def read_lists(path):
    types = {}
    for raw in open(path, encoding="utf-8"):
        if raw.startswith("#") or not raw.strip():
            continue
        name, rest = raw.split(":", 1)
        words = [] if rest.strip() == "(no fields)" else rest.split()
        types[name.strip()] = [parse_word(w) for w in words]
    return types


class Writer:
    def __init__(self, types, rng):
        self.types = types
        self.rng = rng

    def record(self, name, depth):
        fields = self.types[name]
        fixed = self.fixed_values(fields, depth)
        out = bytearray()
        done = set()

        def count(i):
            return fixed[i][0] if i in fixed else 0

        def emit(i):
            if i in done:
                return
            done.add(i)
            f = fields[i]
            if f["kind"] == "inline":
                values = fixed.get(i)
                for element in range(f["n"]):
                    if values is not None:
                        out.extend(struct.pack(INLINE[f["letter"]], values[element]))
                    else:
                        out.extend(self.number(f["letter"]))
            elif f["kind"] == "array":
                emit(f["count"])
                for _ in range(count(f["count"])):
                    out.extend(self.number(f["letter"]))
            elif f["kind"] == "record":
                for _ in range(f["n"]):
                    out.extend(self.record(f["nested"], depth + 1))
            elif f["kind"] == "records":
                emit(f["count"])
                for _ in range(count(f["count"])):
                    out.extend(self.record(f["nested"], depth + 1))
            else:
                emit(f["dims"])
                emit(f["data"])

        for i in range(len(fields)):
            emit(i)
        return bytes(out)

    def fixed_values(self, fields, depth):
        """The inline fields whose values the record's arrays depend on: every count field (small; 0 for arrays of
        unknown or too deeply nested records) and the dimensions of every table, whose data count is their product."""
        fixed = {}
        for f in fields:
            if f["kind"] in ("array", "records") and f["count"] not in fixed:
                unknown = f["kind"] == "records" and (f["nested"] not in self.types or depth >= MAX_DEPTH)
                fixed[f["count"]] = [0 if unknown else self.rng.choice([0, 1, 2, 3, 5])]
        for f in fields:
            if f["kind"] == "nd":
                dims = [self.rng.randint(0, 4) for _ in range(fields[f["dims"]]["n"])]
                fixed[f["dims"]] = dims
                product = 1
                for d in dims:
                    product *= d
                fixed[fields[f["data"]]["count"]] = [product]
        for f in fields:
            if f["kind"] == "records" and (f["nested"] not in self.types or depth >= MAX_DEPTH):
                assert fixed[f["count"]] == [0], "an array of records left empty shares its count"
        return fixed

    def number(self, letter):
        return bytes(self.rng.getrandbits(8) for _ in range(struct.calcsize(INLINE[letter])))


def main():
    types = read_lists(sys.argv[1])
    rng = random.Random(int(sys.argv[2]))
    per_type = int(sys.argv[3])
    writer = Writer(types, rng)
    for name in sorted(types, key=lambda n: n.encode()):
        for _ in range(per_type):
            encoded = writer.record(name, 0)
            print(name, encoded.hex() if encoded else "-")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes the recognizer's record structs and its container registry from the field lists.

Reads Source/Recognizer/Runtime/container_types.txt (the 260 field lists in their compact notation) and
Source/Recognizer/Runtime/container_field_names.txt (the names that the recognizer's code reads a record and its
fields by), and writes:
  Source/Recognizer/Runtime/ContainerTypes.h   one struct per type with fields, in declaration order;
  Source/Recognizer/Runtime/RegistryTable.cpp  the 260 registry rows in byte order of their names, every offset,
                                                stride and record size taken from the structs by the compiler.

A field that no code names yet is called f<index>. The in-memory layout is the compiler's natural one; only the
stored form (order, types, count links, nesting) is fixed by the lists, and the codecs walk the rows, so a layout
change needs no change here beyond rerunning. Output is deterministic. Rerun after any change:
/usr/bin/python3 tools/gen_container_types.py
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RUNTIME = os.path.join(ROOT, "Source", "Recognizer", "Runtime")
TYPES_FILE = os.path.join(RUNTIME, "container_types.txt")
NAMES_FILE = os.path.join(RUNTIME, "container_field_names.txt")
HEADER_FILE = os.path.join(RUNTIME, "ContainerTypes.h")
TABLE_FILE = os.path.join(RUNTIME, "RegistryTable.cpp")

# Field type codes of the registry.
CHAR, CHAR_ARRAY, SHORT, SHORT_ARRAY, INT, INT_ARRAY, FLOAT, FLOAT_ARRAY = 0, 1, 2, 3, 4, 5, 6, 7
DOUBLE, DOUBLE_ARRAY, NDIM, STRUCT, STRUCT_ARRAY, NEURAL_NET, INT64, INT64_ARRAY, STREAM = range(8, 17)

# Letter of the notation: (inline code, array code, C element type, stored bytes per element).
SCALARS = {
    "c": (CHAR, CHAR_ARRAY, "char", 1),
    "s": (SHORT, SHORT_ARRAY, "int16_t", 2),
    "i": (INT, INT_ARRAY, "int32_t", 4),
    "f": (FLOAT, FLOAT_ARRAY, "float", 4),
    "d": (DOUBLE, DOUBLE_ARRAY, "double", 8),
    "l": (INT64, INT64_ARRAY, "int64_t", 8),
    "b": (None, STREAM, "uint8_t", 1),
}
COUNT_CODES = (CHAR, SHORT, INT)
LINE_LIMIT = 120
ARRAY_CODES = (CHAR_ARRAY, SHORT_ARRAY, INT_ARRAY, FLOAT_ARRAY, DOUBLE_ARRAY, INT64_ARRAY, STREAM, STRUCT_ARRAY)
# Codes whose aux1 names another field of the record: its element count or its dimensions.
LINKED_BY_AUX1 = ARRAY_CODES + (NDIM,)
UNSIGNED = {"char": "uint8_t", "int16_t": "uint16_t", "int32_t": "uint32_t"}
CODE_NAMES = ["FIELD_CHAR", "FIELD_CHAR_ARRAY", "FIELD_SHORT", "FIELD_SHORT_ARRAY", "FIELD_INT", "FIELD_INT_ARRAY",
              "FIELD_FLOAT", "FIELD_FLOAT_ARRAY", "FIELD_DOUBLE", "FIELD_DOUBLE_ARRAY", "FIELD_NDIM", "FIELD_STRUCT",
              "FIELD_STRUCT_ARRAY", "FIELD_NEURAL_NET", "FIELD_INT64", "FIELD_INT64_ARRAY", "FIELD_STREAM"]

# Record sizes of the types without fields: "objfile" keeps a 4-byte record, every other tag none.
FIELDLESS_SIZES = {"objfile": 4}

# Type name -> the type whose struct it shares (itself when none comes before it with the same list).
SHARED = {}

TOKEN = re.compile(
    r"^(?:(?P<letter>[csifdlb])(?:×(?P<n>\d+)|\[(?P<k>\d+)\])?"
    r"|\{(?P<nested>[^}]+)\}(?:×(?P<sn>\d+)|\[(?P<sk>\d+)\])?"
    r"|nd\((?P<dk>\d+),(?P<dm>\d+),(?P<de>\d+)\))$")
IDENTIFIER = re.compile(r"^[A-Za-z_][A-Za-z0-9_]*$")


class Field:
    def __init__(self, code, aux1=0, aux2=0, aux3=0, nested=None, letter=None):
        self.code, self.aux1, self.aux2, self.aux3 = code, aux1, aux2, aux3
        self.nested, self.letter = nested, letter
        self.name = None


def fail(message):
    sys.exit("gen_container_types: " + message)


def parse_field(token, where):
    match = TOKEN.match(token)
    if not match:
        fail(f"{where}: cannot read field '{token}'")
    if match["letter"]:
        inline, array, _, _ = SCALARS[match["letter"]]
        if match["k"] is not None:
            return Field(array, aux1=int(match["k"]), letter=match["letter"])
        if inline is None:
            fail(f"{where}: a stream needs its count field")
        return Field(inline, aux1=int(match["n"] or 1), letter=match["letter"])
    if match["nested"]:
        if match["sk"] is not None:
            return Field(STRUCT_ARRAY, aux1=int(match["sk"]), nested=match["nested"])
        return Field(STRUCT, aux1=int(match["sn"] or 1), nested=match["nested"])
    return Field(NDIM, aux1=int(match["dk"]), aux2=int(match["dm"]), aux3=int(match["de"]))


def data_lines(path):
    """(place for messages, type name, rest of the entry) of each entry; an indented line continues the one before."""
    entries = []
    with open(path, encoding="utf-8") as source:
        for number, line in enumerate(source, 1):
            if not line.strip() or line.startswith("#"):
                continue
            if line[0].isspace() and entries:
                entries[-1][2] += " " + line.strip()
                continue
            name, _, body = line.strip().partition(":")
            entries.append([f"{path}:{number} {name}", name, body.strip()])
    return [tuple(entry) for entry in entries]


def read_types():
    types = {}
    for where, name, body in data_lines(TYPES_FILE):
        if name in types:
            fail(f"{where}: listed twice")
        types[name] = [] if body == "(no fields)" else [parse_field(t, where) for t in body.split()]
    names = list(types)
    if names != sorted(names, key=lambda n: n.encode()):
        fail("types are not in byte order of their names")
    return types


def read_names(types):
    """Record and field names that the recognizer's code uses; '-' keeps a field's generic name."""
    record_names = {}
    for where, name, body in data_lines(NAMES_FILE):
        words = body.split()
        if name not in types:
            fail(f"{where}: not a registered type")
        fields = types[name]
        if len(words) != len(fields) + 1:
            fail(f"{where}: {len(words) - 1} field names for {len(fields)} fields")
        record_names[name] = words[0]
        for field, word in zip(fields, words[1:]):
            if word != "-":
                field.name = word
    for fields in types.values():
        for index, field in enumerate(fields):
            field.name = field.name or f"f{index}"
    return record_names


def check(types):
    for name, fields in types.items():
        seen = set()
        for index, field in enumerate(fields):
            where = f"{name} field {index}"
            if not IDENTIFIER.match(field.name) or field.name in seen:
                fail(f"{where}: bad or repeated name {field.name}")
            seen.add(field.name)
            links = []
            if field.code in ARRAY_CODES:
                links = [field.aux1]
            elif field.code == NDIM:
                links = [field.aux1, field.aux2]
            for link in links:
                if not 0 <= link < len(fields) or link == index:
                    fail(f"{where}: links to field {link}")
            if field.code != NDIM and links:
                count = fields[field.aux1]
                if count.code not in COUNT_CODES or count.aux1 != 1:
                    fail(f"{where}: count field {field.aux1} is not a single char, short or int")
            if field.code == NDIM:
                data = fields[field.aux2]
                if data.letter is None or data.code == SCALARS[data.letter][0]:
                    fail(f"{where}: data field {field.aux2} is not an array")
                if SCALARS[data.letter][3] != field.aux3:
                    fail(f"{where}: element size {field.aux3} differs from the data field's")


def identifier(type_name, record_names):
    return record_names.get(type_name) or re.sub(r"[/.]", "_", type_name)


def shared_structs(types, record_names):
    """For each type with fields, the first type of its area (in registry order, named records first) whose list
    and field names are the same: versions of one record that did not change share one struct, so that their
    readers can take either; a version that its readers name lends that name to the struct."""
    def generic(name):
        return identifier(name, record_names) == identifier(name, {})

    first, shared = {}, {}
    for name, fields in sorted(types.items(), key=lambda item: generic(item[0])):
        if fields:
            area = name.split("/")[0] if "/" in name else ""
            signature = (area,) + tuple((f.code, f.aux1, f.aux2, f.aux3, f.nested, f.letter, f.name) for f in fields)
            shared[name] = first.setdefault(signature, name)
    return shared


def struct_tag(type_name, record_names):
    return identifier(SHARED.get(type_name, type_name), record_names)


def has_struct(types, type_name):
    return bool(types.get(type_name))


def member(index, fields, types, record_names):
    """The C declaration of one field; nested records spelled with "struct", as a field may share its type's name."""
    field = fields[index]
    if field.code == NDIM:
        # A two-dimensional table is rows of the data's element type; deeper tables are walked as raw pointers.
        dims = fields[field.aux1]
        data = fields[field.aux2]
        if dims.code == INT and dims.aux1 == 2:
            return f"{SCALARS[data.letter][2]} **{field.name};"
        return f"void *{field.name};"
    if field.code in (STRUCT, STRUCT_ARRAY):
        c_type = struct_tag(field.nested, record_names)
        if field.code == STRUCT_ARRAY:
            if has_struct(types, field.nested):
                return f"struct {c_type} *{field.name};"
            return f"void *{field.name};"
        if not has_struct(types, field.nested):
            fail(f"inline record {field.nested} has no fields")
        suffix = f"[{field.aux1}]" if field.aux1 != 1 else ""
        return f"struct {c_type} {field.name}{suffix};"
    inline, _, c_type, _ = SCALARS[field.letter]
    if field.code == inline:
        if any(other.aux1 == index for other in fields if other.code in LINKED_BY_AUX1):
            # Counts and dimensions are read as unsigned numbers, so the record holds them so.
            c_type = UNSIGNED[c_type]
        suffix = f"[{field.aux1}]" if field.aux1 != 1 else ""
        return f"{c_type} {field.name}{suffix};"
    return f"{c_type} *{field.name};"


def struct_order(types):
    """Types with fields, each after the types it holds in place, otherwise in registry order."""
    order, placed = [], set()

    def place(name, path):
        if name in placed:
            return
        if name in path:
            fail(f"{name} holds itself in place")
        for field in types[name]:
            if field.code == STRUCT:
                place(SHARED[field.nested], path + [name])
        placed.add(name)
        order.append(name)

    for name, fields in types.items():
        if fields:
            place(name, [])
    return order


def write_header(types, record_names):
    lines = [
        "// Generated by tools/gen_container_types.py from container_types.txt and container_field_names.txt;",
        "// do not edit. The recognizer's persistent records, one struct per registered type with fields, fields in",
        "// their stored order. Arrays are blocks from dbMalloc whose element count is the field named in the",
        "// type's list (counts and dimensions are unsigned, as the codecs read them); two-dimensional tables are",
        "// row pointers into their data field.",
        "#pragma once",
        "",
        "#include <stdint.h>",
        "",
    ]
    # Every name first, so that a record may point at one defined after it.
    order = struct_order(types)
    lines += [f"typedef struct {struct_tag(name, record_names)} {identifier(name, record_names)};" for name in order]
    lines.append("")
    for name in order:
        if SHARED[name] != name:
            continue
        fields = types[name]
        sharing = [f"\"{other}\"" for other in order if SHARED[other] == name]
        lines.append(f"// {', '.join(sharing)}")
        lines.append(f"struct {identifier(name, record_names)} {{")
        for index in range(len(fields)):
            lines.append("    " + member(index, fields, types, record_names))
        lines.append("};")
        lines.append("")
    return "\n".join(lines)


def write_table(types, record_names):
    lines = [
        "// Generated by tools/gen_container_types.py from container_types.txt and container_field_names.txt;",
        "// do not edit. The registry: every registered type's fields with their places in the record, in byte",
        "// order of the type names, which the lookup's binary search relies on.",
        "#include <stddef.h>",
        "",
        "#include \"kve/kve_recognizer_runtime.h\"",
        "#include \"Recognizer/Runtime/ContainerTypes.h\"",
        "",
        "namespace {",
        "",
    ]
    for name, fields in types.items():
        if not fields:
            continue
        c_name = identifier(name, record_names)
        lines.append(f"// \"{name}\"")
        lines.append(f"const fieldDescriptor fields_{re.sub(r'[/.]', '_', name)}[] = {{")
        for field in fields:
            aux2 = field.aux2
            if field.code in (STRUCT, STRUCT_ARRAY):
                aux2 = stride(field.nested, types, record_names)
            nested = f"\"{field.nested}\"" if field.nested else "nullptr"
            head = f"    {{{CODE_NAMES[field.code]}, 0, offsetof({c_name}, {field.name}),"
            tail = f"{field.aux1}, {aux2}, {field.aux3}, {nested}}},"
            if len(head) + 1 + len(tail) <= LINE_LIMIT:
                lines.append(f"{head} {tail}")
            else:
                lines += [head, f"        {tail}"]
        lines.append("};")
        lines.append("")
    lines.append("} // namespace")
    lines.append("")
    lines.append("extern \"C\" const containerDescriptor containerRegistryTable[] = {")
    for name, fields in types.items():
        if fields:
            size = f"sizeof({identifier(name, record_names)})"
            table = f"fields_{re.sub(r'[/.]', '_', name)}"
        else:
            size, table = str(FIELDLESS_SIZES.get(name, 0)), "nullptr"
        row = f"    {{\"{name}\", {size}, {len(fields)}, {table}}},"
        if len(row) <= LINE_LIMIT:
            lines.append(row)
        else:
            lines += [f"    {{\"{name}\", {size},", f"        {len(fields)}, {table}}},"]
    lines.append("};")
    lines.append("")
    lines.append(f"extern \"C\" const uint32_t containerRegistryTableCount = {len(types)};")
    lines.append("")
    return "\n".join(lines)


def stride(nested, types, record_names):
    """Bytes per element of a nested record; a type without fields, or one not registered, takes none."""
    if has_struct(types, nested):
        return f"sizeof({identifier(nested, record_names)})"
    return str(FIELDLESS_SIZES.get(nested, 0))


def main():
    types = read_types()
    record_names = read_names(types)
    check(types)
    SHARED.update(shared_structs(types, record_names))
    for path, text in ((HEADER_FILE, write_header(types, record_names)),
                       (TABLE_FILE, write_table(types, record_names))):
        with open(path, "w", encoding="utf-8") as out:
            out.write(text)


if __name__ == "__main__":
    main()

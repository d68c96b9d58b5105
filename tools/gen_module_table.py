#!/usr/bin/env python3
"""Writes the body of the class table (Source/Engine/ModuleTable.cpp).

The table holds every installed class that is built so far, in the fixed installed order
(tests/Engine/InstalledClasses.h). A class is built when some module source defines its record
`kve_mod<Name>Class`. Classes exported but not installed are absent from the installed order and so
never enter the table. Rerunning it on an unchanged tree leaves the file as it is.
"""
import pathlib
import re
import sys

root = pathlib.Path(__file__).resolve().parent.parent
order = re.findall(r'\{"(\w+)", 0x[0-9A-Fa-f]+u\}', (root / "tests/Engine/InstalledClasses.h").read_text())
defined = set()
for source in (root / "Source/Modules").rglob("*.cpp"):
    defined.update(re.findall(r"\bkve_mod(\w+)Class\s*=", source.read_text()))

table = root / "Source/Engine/ModuleTable.cpp"
text = table.read_text()
head, sep, rest = text.partition("g_module_descriptor_table[] = {\n")
_, end, tail = rest.partition("    nullptr,\n};")
if not sep or not end:
    sys.exit("ModuleTable.cpp: table body not found")
body = "".join(f"    &kve_mod{name}Class.record,\n" for name in order if name in defined)
table.write_text(head + sep + body + end + tail)
print(f"{sum(1 for name in order if name in defined)} classes in the table")

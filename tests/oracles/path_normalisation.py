"""Reference for the path normaliser: reads one path a line on standard input and prints its normal form a line.

posixpath.normpath does the work; around it the host utilities' own conventions: "\\" separates like "/", a drive
prefix such as D: before a separator is kept as the root "D:/", a leading "//" is one root, a path that normalises
to nothing is "" (not "."), and a rooted path that climbs above its root is "" (not clamped to the root).
"""
import posixpath
import sys

ANCHOR = "/__anchor__"


def normal_form(path):
    path = path.replace("\\", "/")
    drive = ""
    if len(path) >= 3 and path[1] == ":" and path[2] == "/":
        drive, path = path[:2], path[2:]
    if path.startswith("/"):
        anchored = posixpath.normpath(ANCHOR + "/" + path.lstrip("/"))
        if anchored != ANCHOR and not anchored.startswith(ANCHOR + "/"):
            return ""
        return drive + "/" + anchored[len(ANCHOR):].lstrip("/")
    normal = posixpath.normpath(path) if path else "."
    return "" if normal == "." else normal


for line in sys.stdin.read().split("\n")[:-1]:
    print(normal_form(line))

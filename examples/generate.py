#!/usr/bin/env python3
"""Writes the bundled example files: two LAY-Y lays and a marker definition file with its styles folder.

Run from anywhere: python3 examples/generate.py [OUTPUT_FOLDER]   (default: the folder of this script)
The files are committed; a test checks that this script still reproduces them byte for byte.
"""
import os
import struct
import sys


def i8(v):
    return struct.pack(">b", v)


def i16(v):
    return struct.pack(">h", v)


def i32(v):
    return struct.pack(">i", v)


def f32(v):
    return struct.pack(">f", v)


def text(s):
    return s.encode("latin-1") + b"\0"


def record(tag, content):
    """A record: big-endian length of tag plus content, the tag, the content."""
    return i16(len(content) + 1) + tag.encode("latin-1") + content


def placement(model, piece, angle, x, y, turned=False, flipped=False, ordinal=1):
    """One 44-byte placement entry."""
    return (i32(model) + i32(piece) + i8(1 if turned else 0) + i8(ordinal) + b"\0" + i8(1 if flipped else 0)
            + f32(angle) + f32(x) + f32(y) + i16(ordinal) + b"\0\0" + b"\0\0\0\0" + i32(0) + b"\0\0"
            + i16(ordinal) + b"\0\0" + b"\0\0")


def names(pieces, models):
    content = i32(len(pieces)) + b"".join(text(p) for p in pieces)
    content += i32(len(models)) + b"".join(text(m) for m in models)
    return record("O", content)


def placements(tag, entries):
    return record(tag, i32(len(entries)) + b"".join(entries))


def width(millimetres, length):
    return record("W", f32(millimetres) + f32(length) + b"\0" * 16)


def lay_w12():
    """Two sizes S and M of a shirt on a 1600 mm lay: S holds FRONT twice and BACK once, M holds FRONT twice."""
    return b"".join([
        record("Y", i32(1)),
        width(1600.0, 4200.0),
        names(["FRONT", "BACK"], ["S", "M"]),
        placements("P", [
            placement(0, 0, 0.0, 10.0, 20.0),
            placement(1, 0, 90.0, 512.5, 20.0, turned=True),
            placement(0, 1, 180.0, 1020.25, 35.5, flipped=True),
        ]),
        placements("T", [
            placement(0, 0, 270.0, 10.0, 640.0, turned=True, flipped=True),
            placement(1, 0, 45.5, 800.0, 640.0),
        ]),
    ])


def lay_skip():
    """A lay with records the reader passes over: unsupported tags, a record with content left over, an 'B'
    record with content, an '=' record, and a name table in two 'O' records."""
    return b"".join([
        record("Y", i32(7)),
        record("A", b"unsupported record content"),
        record("\x90", b"\x01\x02\x03"),
        width(2540.0, 1000.0),
        record("B", b"\x00\x0d\x0a\x00"),
        record("=", b"ignored"),
        names(["SLEEVE.L"], ["38"]),
        names(["SLEEVE.R", "COLLAR#2"], []),
        record("t", i32(1) + i32(2) + b"left over"),
        record("|", i32(1) + i32(5) + i32(6)),
        placements("P", [
            placement(0, 0, -90.0, 0.00001, 999999.9),
            placement(0, 1, 359.5, 123.4567, 45.5, turned=True),
            placement(0, 2, 0.0, 0.0, 0.0),
        ]),
        record("s", b""),
    ])


def lines(values):
    return "".join(f"{v}\r\n" for v in values).encode("latin-1")


def marker_m1():
    """A version 19 marker, 65 inches wide, with two styles that share sizes 38 and 40. In size 40 both
    styles give the same size value and count, so their common pieces add up; in size 38 the counts differ
    and the pieces of the two styles stand apart."""
    head = ["%19", 1, 1.0, 1.0, 0, 0, 0, 0, 50800000, 1651000, 0, "%",
            80, 1, 0, 2.5, "spring collection", "plaid", "notes", 3, 0, 0, 0, 0]
    slots = [
        ["shirt.sty", 3, 38, 40, 42, 1.0, 1.0, 1.0, 1, 1, 1, 0, 0],
        ["trousers.sty", 2, 38, 40, 1.0, 1.0, 2, 1, 0, 0],
    ]
    body = head[:]
    for slot in slots:
        body += slot
    for _ in range(40 - len(slots)):
        body += ["", 0]
    return lines(body)


def style(version, name, pieces):
    out = [f"%{version}", 4, "created by the pattern room", "cotton", name]
    if version >= 13:
        out.append("grading rule 7")
    for piece_name, description, quantity, extra in pieces:
        out += ["+", piece_name, description, f"PC {quantity} {extra} cut-with-care", 0, "", "", 0,
                "", "", "", "", ""]
    out.append("")
    return lines(out)


FILES = {
    "lays/W12.LAY": lay_w12,
    "lays/SKIP-01.LAY": lay_skip,
    "markers/m1.mkr": marker_m1,
    "styles/shirt.sty": lambda: style(16, "shirt", [("front", "body front", 1, 0), ("back", "body back", 1, 0),
                                                     ("sleeve", "long sleeve", 2, 0), ("collar", "two ply", 1, 1)]),
    "styles/trousers.sty": lambda: style(12, "trousers", [("front", "leg front", 2, 0), ("back", "leg back", 2, 0),
                                                           ("waistband", "", 1, 0)]),
}


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for relative, make in FILES.items():
        path = os.path.join(root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(make())


if __name__ == "__main__":
    main()

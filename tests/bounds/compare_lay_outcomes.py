#!/usr/bin/env python3
"""Compares the converter's answers on a corpus of mutated lays with those of a reference converter.

    compare_lay_outcomes.py --reference OLD/quorix-import --converter NEW/quorix-import
                            [--seeds DIR] [--cases N] [--seed S] [--scratch DIR]

For each lay both converters run with -v: the exit status, standard output, standard error (the lay
reader's diagnostic lines with their offsets, its verdict and failure, the marker reader's) and every file
written must be the same. The corpus is made from the lays in --seeds (count and length fields changed,
bytes flipped, inserted or cut off, CR and LF bytes added) and from lays made here: records whose counts
run past their declared length or past the end of the file, by a little or by far, and records that sit
across the 64 KiB edge of the reader's buffer with contents of NUL, CR, LF and letters. The same arguments
give the same corpus. Lays that disagree are kept in the scratch folder; the exit status is 1 if any do.

A reference converter of an older revision is built as bench/README.md describes (git archive REV ...).
"""
import argparse
import collections
import os
import random
import shutil
import struct
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

TAGS = b"<F>rYm=Bbs@CcGHIKkLMOPSTWX^giltp|A"
# The smallest entry of each counted record, in bytes.
ENTRY_BYTES = {b"P": 44, b"T": 44, b"C": 36, b"K": 17, b"S": 16, b"g": 6, b"M": 5, b"O": 1, b"|": 8}


def record(tag, content, length=None):
    return struct.pack(">h", len(content) + 1 if length is None else length) + tag + content


def i32(value):
    return struct.pack(">I", value & 0xFFFFFFFF)


Y = record(b"Y", i32(1))
W = record(b"W", i32(0x40000000) + i32(0) * 5)


def fill(r, alphabet, count):
    return bytes(r.choice(alphabet) for _ in range(count))


def counted(r):
    """One counted record, its count anything from 0 to 2^31, its length field anything."""
    content = bytearray(i32(r.choice([0, 1, 2, 3, 5, 100, 700, 746, 2**31 - 1, 2**31, -1, r.randrange(5000)])))
    unit = r.choice([b"\0", b"\1", b"a", b"\r\n", b"\r", b"\n", b"ab\0", b"\r\0"])
    content += unit * r.randrange(20000 // len(unit))
    length = r.choice([len(content) + 1, r.randrange(1, 32768), 32767, r.randrange(1, 200)])
    lay = Y + record(bytes([r.choice(TAGS)]), bytes(content), length)
    lay += W * r.randrange(2)
    return lay + r.choice([b"\0", b"\r\n", b"x\0"]) * r.randrange(0, 100000, 7)


def near_fit(r):
    """A count that runs just past the declared length, by 0 to 10 entries; the file may hold the rest."""
    tag = r.choice(list(ENTRY_BYTES))
    length = r.choice([r.randrange(5, 2000), r.randrange(30000, 32767)])
    count = (length - 5) // ENTRY_BYTES[tag] + r.choice([0, 1, 2, 3, 10]) + (tag == b"C")
    alphabet = r.choice([b"\0", b"\1", b"\0\r\n", b"\r\n\1\1", b"\0\0\0\r"])
    lay = Y + record(tag, i32(count) + fill(r, alphabet, length - 5), length)
    lay += fill(r, alphabet, r.randrange(4) * ENTRY_BYTES[tag] * r.randrange(1, 50))
    return lay + W * r.randrange(3)


def buffer_edge(r):
    """Records just before the 64 KiB (or 128 KiB) edge of the buffer, contents of NUL, CR, LF, letters."""
    lay = bytearray(Y)
    edge = r.choice([65536, 131072]) - r.randrange(300)
    while len(lay) < edge - 40000:
        lay += record(b"A", b"z" * 30000)
    gap = min(edge - len(lay) - 3, 32766)
    if gap > 0:
        lay += record(b"A", b"z" * gap)
    alphabet = r.choice([b"\0\r\na", b"\r\r\n\0", b"\r\0", b"\r\n", b"\0\0\0\r", b"a\r"])
    for _ in range(r.randrange(1, 4)):
        count = r.choice([1, 2, 3, 10, 1000, 2**31 - 1, r.randrange(100)])
        content = i32(count) + fill(r, alphabet, r.randrange(600))
        lay += record(bytes([r.choice(b"OM@HXILlpKCPSg|")]), content, r.choice([len(content) + 1, r.randrange(1, 700)]))
    return bytes(lay) + fill(r, alphabet, r.randrange(3000))


def record_starts(lay):
    starts, at = [], 0
    while at + 3 <= len(lay):
        length = struct.unpack(">h", lay[at : at + 2])[0]
        starts.append((at, length))
        if length < 1:
            break
        at += 2 + length
    return starts


def mutated(r, seed):
    lay = bytearray(seed)
    for _ in range(r.randrange(1, 4)):
        starts = record_starts(bytes(lay))
        kind = r.randrange(9)
        if kind == 0 and starts:  # a count
            at = r.choice(starts)[0]
            if at + 7 <= len(lay):
                lay[at + 3 : at + 7] = i32(r.choice([0, 1, 2, 5, 50, 1000, 2**31 - 1, -1, r.randrange(100000)]))
        elif kind == 1 and starts:  # a length field
            at, length = r.choice(starts)
            change = r.choice([-3, -2, -1, 1, 2, 5, 100, -100, 30000])
            lay[at : at + 2] = struct.pack(">h", max(-32768, min(32767, length + change)))
        elif kind == 2 and lay:
            del lay[r.randrange(len(lay)) :]
        elif kind == 3:
            lay += r.choice([b"\0", b"\r\n", b"\r", b"a", b"\1\0"]) * r.randrange(1, 60000)
        elif kind == 4 and lay:
            at = r.randrange(len(lay))
            lay[at:at] = r.choice([b"\r\n", b"\r", b"\n", b"\r\r\n"])
        elif kind == 5 and lay:
            for _ in range(r.randrange(1, 8)):
                lay[r.randrange(len(lay))] = r.randrange(256)
        elif kind == 6 and starts:  # a tag
            at = r.choice(starts[1:] or starts)[0]
            if at + 2 < len(lay):
                lay[at + 2] = r.choice(TAGS)
        elif kind == 7 and lay:
            at = r.randrange(len(lay))
            lay[at:at] = fill(r, range(256), r.randrange(1, 50))
        elif kind == 8:
            lay += record(bytes([r.choice(TAGS)]), fill(r, range(256), r.randrange(60)))
    return bytes(lay)


def run(converter, path, out):
    os.makedirs(out)
    done = subprocess.run([converter, "-v", "-o", out, path], capture_output=True, check=False)
    written = {name: open(os.path.join(out, name), "rb").read() for name in sorted(os.listdir(out))}
    return done.returncode, done.stdout, done.stderr.replace(path.encode(), b"LAY"), written


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--reference", required=True)
    parser.add_argument("--converter", required=True)
    parser.add_argument("--seeds", default=os.path.join(os.path.dirname(__file__), "../../fuzz/corpus/LayYFuzzer"))
    parser.add_argument("--cases", type=int, default=5000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--scratch", default="lay-outcomes")
    args = parser.parse_args()
    seeds = [open(os.path.join(args.seeds, name), "rb").read() for name in sorted(os.listdir(args.seeds))]
    shutil.rmtree(args.scratch, ignore_errors=True)
    os.makedirs(args.scratch)

    def compare(case):
        r = random.Random(args.seed * 1000003 + case)
        pick = r.random()
        lay = counted(r) if pick < 0.2 else buffer_edge(r) if pick < 0.4 else near_fit(r) if pick < 0.7 else None
        lay = lay if lay is not None else mutated(r, r.choice(seeds))
        base = os.path.join(args.scratch, "case-%05d" % case)
        with open(base + ".lay", "wb") as file:
            file.write(lay)
        expected = run(args.reference, base + ".lay", base + "-reference")
        same = run(args.converter, base + ".lay", base + "-converter") == expected
        if same:
            os.remove(base + ".lay")
        shutil.rmtree(base + "-reference")
        shutil.rmtree(base + "-converter")
        verdicts = [line for line in expected[2].split(b"\n") if b"lay reader: " in line]
        verdict = verdicts[-1].split(b"lay reader: ")[-1] if verdicts else b"?"
        return case, same, verdict.split(b" (")[0].decode(errors="replace")

    verdicts = collections.Counter()
    differing = []
    with ThreadPoolExecutor(os.cpu_count() or 1) as pool:
        for case, same, verdict in pool.map(compare, range(args.cases)):
            verdicts[verdict] += 1
            if not same:
                differing.append(case)
    for verdict, count in verdicts.most_common():
        print("%6d  %s" % (count, verdict))
    if differing:
        print("%d of %d lays differ, kept in %s: %s" % (len(differing), args.cases, args.scratch, differing[:20]))
        return 1
    print("all %d lays answered alike" % args.cases)
    return 0


if __name__ == "__main__":
    sys.exit(main())

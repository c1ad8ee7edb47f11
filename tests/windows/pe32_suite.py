#!/usr/bin/python3
"""The shipped 32-bit DLL, run on the emulated CPU by pe32host.py, against the Linux library built from the
same sources: for every case, at the DLL's own image base and at another one, the result, the 24-byte name
buffer, the host-log calls, both import files (and nothing else in their folder) and .\\Log.txt must be what
the Linux library gives for the same input; ESP must be balanced and every import implemented. Each case
also asserts what it is there for (an exception, a report, the work in parts), so that it cannot pass by
both sides going wrong alike.

  pe32_suite.py --dll DLL [--symbols FILE] --reference LIBRARY --reference-folder FOLDER [--scratch DIR]
                [--jobs N]

LIBRARY is a Linux build of the module that writes its import files to FOLDER. Prints one line per run and
"pe32: N passed, M failed"; exit status 0 when all passed.
"""
import argparse
import concurrent.futures
import glob
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "examples"))
import generate as lay  # noqa: E402  (the examples' record writers)

HOST = os.path.join(ROOT, "tests", "windows", "pe32host.py")
PYTHON = "/usr/bin/python3"  # the interpreter the Debian packages of the emulator and the PE parser serve
BASES = (None, 0x10000000)  # the DLL's own image base, and one that makes the loader relocate it
OUTPUTS = ("csvimprt.txt", "posimport.txt")
EARLIER = b"left by an earlier import\r\n"  # what each import file holds before every run
ABORTED = -signal.SIGABRT
# Placements of the lay written in parts: just above the least that the position matcher cuts into two
# parts (two parts of 65536) when the machine has two or more processors; the position writer cuts the same
# lay into four (parts of at least 32768 lines). Larger only costs emulation time.
PARTS_PLACEMENTS = 2 * 65536 + 64

# The Linux library in a process of its own (its diagnostic log lives as long as the process): the name
# buffer is a shared mapping of a file, so that it can be read even after an exception ended the process.
REFERENCE_RUN = r"""
import ctypes, mmap, os, sys
library, path, buffer_file = sys.argv[1], os.fsencode(sys.argv[2]), sys.argv[3]
with open(buffer_file, "r+b") as f:
    buffer = mmap.mmap(f.fileno(), 24)
imported = ctypes.CDLL(library).ImportQuorixFile
imported.argtypes, imported.restype = [ctypes.c_char_p, ctypes.c_void_p], ctypes.c_int
print(imported(path, ctypes.addressof(ctypes.c_char.from_buffer(buffer))), flush=True)
"""
# A call of the stand-in host log the Linux library is linked with, one line each on standard error.
VQLOG_LINE = re.compile(rb"^vqlog: level (-?\d+) code (-?\d+): (.*?)(?: \[(.*)\])?$")


class Case:
    def __init__(self, name, path, expect, relative_copy=None, import_folder=True):
        self.name, self.path, self.expect, self.relative_copy = name, path, expect, relative_copy
        self.import_folder = import_folder  # whether c:\workbase\temp exists

    def windows_path(self):
        """The same file for the DLL: an absolute path on Z:, a relative one with backslashes."""
        return ("Z:" if self.path.startswith("/") else "") + self.path.replace("/", "\\")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    return path


def lay_in_parts():
    entries = [lay.placement(i * 7 % 3, i * 5 % 4, float(i % 360), (i % 20000) / 8.0, (i // 20000) * 100.0,
                             turned=i % 2 == 1, flipped=i % 4 > 1) for i in range(PARTS_PLACEMENTS + 200)]
    entries = [e for e in entries if b"\r\n" not in e][:PARTS_PLACEMENTS]  # a CR LF pair reads as a line feed
    records = [lay.record("Y", lay.i32(1)), lay.width(1600.0, 50000.0),
               lay.names(["FRONT", "BACK", "SLEEVE", "CUFF"], ["S", "M", "L"])]
    records += [lay.placements("P", entries[k:k + 500]) for k in range(0, len(entries), 500)]
    return b"".join(records)


def cases(scratch):
    """The table: name, input, and what the case is for (checked on the Linux library's outcome too)."""
    inputs = os.path.join(scratch, "inputs")
    examples = os.path.join(ROOT, "examples")
    rows = [Case("example " + name, os.path.join(examples, name), {"result": 1, "calls": 0, "exception": False})
            for name in ("lays/W12.LAY", "lays/SKIP-01.LAY", "markers/m1.mkr")]
    # The lay and marker inputs of the test suite as files: the fuzz targets' seeds (byte-identical seeds once).
    seen = set()
    for corpus in ("LayYFuzzer", "ImportFuzzer", "MarkerFuzzer"):
        for seed in sorted(glob.glob(os.path.join(ROOT, "fuzz", "corpus", corpus, "seed-*"))):
            with open(seed, "rb") as f:
                data = f.read()
            if data not in seen:
                seen.add(data)
                rows.append(Case("%s/%s" % (corpus, os.path.basename(seed)), seed, {}))
    # Two 'S' models of one piece, each with one placement: the position writer finds no position for the
    # second, and its exception leaves the module after the definition file was written.
    position_error = lay.record("Y", lay.i32(1)) + lay.names(["FRONT"], ["S", "S"]) + lay.placements(
        "P", [lay.placement(0, 0, 0.0, 1.0, 2.0), lay.placement(1, 0, 0.0, 3.0, 4.0)])
    with open(os.path.join(examples, "markers", "m1.mkr"), "rb") as f:
        marker = f.read()
    with open(os.path.join(examples, "styles", "shirt.sty"), "rb") as f:
        shirt = f.read()
    write(os.path.join(inputs, "missing-style", "styles", "shirt.sty"), shirt)  # trousers.sty is not there
    os.makedirs(os.path.join(inputs, "folder.LAY"), exist_ok=True)
    with open(os.path.join(examples, "lays", "W12.LAY"), "rb") as f:
        w12 = f.read()
    name21 = "W12-twenty-one-ch.LAY"
    rows += [
        Case("position error", write(os.path.join(inputs, "dup.lay"), position_error),
             {"result": None, "exception": True, "calls": 0}),
        Case("missing style", write(os.path.join(inputs, "missing-style", "markers", "m1.mkr"), marker),
             {"result": 0, "calls": 1}),
        Case("neither format", write(os.path.join(inputs, "notes.txt"), b"plain text\r\nsecond line\r\n"),
             {"result": 0, "calls": 1}),
        Case("unsupported marker version", write(os.path.join(inputs, "old.mkr"), b"%11\r\n0\r\n"),
             {"result": 0, "calls": 2}),
        Case("unreadable path: a folder", os.path.join(inputs, "folder.LAY"), {"result": 0, "calls": 1}),
        Case("unreadable path: no such file", os.path.join(inputs, "missing.LAY"), {"result": 0, "calls": 1}),
        Case("unreadable path: no such drive", "q:\\nowhere\\x.lay", {"result": 0, "calls": 1}),
        Case("empty path", "", {"result": 0, "calls": 1}),
        # Relative, so in the current folder on both sides; its order name is cut to 20 characters.
        Case("21-character name", name21, {"result": 1, "buffer": b"W12-twenty-one-ch-LA\0"},
             relative_copy=w12),
        Case("no import folder", os.path.join(examples, "lays", "W12.LAY"), {"result": 1, "calls": 0},
             import_folder=False),
        Case("lay in parts", write(os.path.join(inputs, "parts.lay"), lay_in_parts()),
             {"result": 1, "calls": 0, "threads": True}),
    ]
    return rows


# Small DLLs that do wrong what the shipped one must do right, each with what pe32host must then report: the
# proof that its checks can fail.
SELF_CHECKS = [
    ("an export that removes its own arguments (stdcall)",
     "__declspec(dllexport) int __stdcall ImportQuorixFile(const char* p, char* n) { return p != n; }",
     lambda status, report: status == 0 and report["result"] == 1 and report["esp_ok"] is False),
    ("an export that changes EBX and does not restore it",
     "__declspec(dllexport) int ImportQuorixFile(const char* p, char* n) {\n"
     "    __asm__ volatile(\"movl $0, %%ebx\" ::: \"memory\");\n    return p != n;\n}",
     lambda status, report: status == 2 and "callee-saved" in report["error"]),
    ("an import that the host does not implement",
     "#include <windows.h>\n"
     "__declspec(dllexport) int ImportQuorixFile(const char* p, char* n) { return GetTickCount() > 0 && p != n; }",
     lambda status, report: status == 2 and report["unimplemented"] == ["KERNEL32.dll!GetTickCount"]
     and "GetTickCount" in report["error"]),
]


def self_check(name, source, work):
    """pe32host's report of a DLL built from source: (exit status, report)."""
    os.makedirs(os.path.join(work, "temp"))
    write(os.path.join(work, "wrong.c"), source.encode())
    subprocess.run(["i686-w64-mingw32-gcc", "-shared", "-O1", "-Wl,--kill-at", "-o",
                    os.path.join(work, "wrong.dll"), os.path.join(work, "wrong.c")], check=True, capture_output=True)
    run = subprocess.run([PYTHON, HOST, os.path.join(work, "wrong.dll"), "Z:\\x", "--temp",
                          os.path.join(work, "temp"), "--cwd", work], capture_output=True, timeout=60)
    return run.returncode, json.loads(run.stdout)


def seed_folder(case, folder):
    """The import folder as each run finds it: both files from an earlier import, or no folder."""
    shutil.rmtree(folder, ignore_errors=True)
    if case.import_folder:
        for name in OUTPUTS:
            write(os.path.join(folder, name), EARLIER)


def folder_files(folder):
    if not os.path.isdir(folder):
        return None
    files = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            files[name] = f.read()
    return files


def log_file(cwd):
    path = os.path.join(cwd, "Log.txt")
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read()


def prepare_cwd(case, cwd):
    os.makedirs(cwd)
    if case.relative_copy is not None:
        write(os.path.join(cwd, case.path), case.relative_copy)


def reference(case, library, folder, work):
    """The Linux library's outcome, in the form of pe32host's report."""
    cwd = os.path.join(work, "cwd")
    prepare_cwd(case, cwd)
    buffer_file = write(os.path.join(work, "buffer"), b"\xAA" * 24)
    seed_folder(case, folder)
    run = subprocess.run([PYTHON, "-c", REFERENCE_RUN, library, case.path, buffer_file], cwd=cwd,
                         capture_output=True, timeout=600)
    if run.returncode not in (0, ABORTED):
        raise RuntimeError("the Linux library's run failed (%d): %s" % (run.returncode, run.stderr.decode()))
    calls = []
    for line in run.stderr.split(b"\n"):
        match = VQLOG_LINE.match(line)
        if match:
            text = match.group(3).replace(os.fsencode(case.path), os.fsencode(case.windows_path()))
            calls.append([int(match.group(1)), int(match.group(2)), text.hex(),
                          None if match.group(4) is None else match.group(4).hex()])
    with open(buffer_file, "rb") as f:
        buffer = f.read()
    return {"result": int(run.stdout) if run.returncode == 0 else None, "buffer": buffer.hex(), "vqlog": calls,
            "exception": run.returncode == ABORTED, "files": folder_files(folder), "log": log_file(cwd)}


def emulated(case, options, base, work):
    cwd, temp = os.path.join(work, "cwd"), os.path.join(work, "temp")
    prepare_cwd(case, cwd)
    seed_folder(case, temp)
    command = [PYTHON, HOST, options.dll, case.windows_path(), "--temp", temp, "--cwd", cwd]
    if options.symbols:
        command += ["--symbols", options.symbols]
    if base is not None:
        command += ["--base", "%x" % base]
    started = time.monotonic()
    run = subprocess.run(command, capture_output=True, timeout=900)
    seconds = time.monotonic() - started
    try:
        report = json.loads(run.stdout)
    except ValueError:
        report = {"error": "no report (exit status %d): %s" % (run.returncode, run.stderr.decode()[-2000:])}
    report.update(status=run.returncode, seconds=seconds, files=folder_files(temp), log=log_file(cwd))
    return report


def differences(case, want, got):
    """What the emulated run got wrong, as lines; none when it passed."""
    wrong = []
    if got["status"] != 0 or "error" in got:
        return ["the emulation failed (exit status %d): %s" % (got["status"], got.get("error"))]
    for key in ("result", "buffer", "vqlog", "exception", "files", "log"):
        if got[key] != want[key]:
            wrong.append("%s: %s, the Linux library's %s" % (key, show(got[key]), show(want[key])))
    if got["esp_ok"] is not True and not want["exception"]:
        wrong.append("ESP after ImportQuorixFile returned is not 8 below its value before the arguments")
    if got["unimplemented"]:
        wrong.append("imports without an implementation: %s" % ", ".join(got["unimplemented"]))
    # What the case is for, on both sides.
    for side, outcome in (("Linux library", want), ("emulated DLL", got)):
        expect = case.expect
        if "result" in expect and outcome["result"] != expect["result"]:
            wrong.append("%s: result %s, the case is there for %s" % (side, outcome["result"], expect["result"]))
        if "exception" in expect and outcome["exception"] != expect["exception"]:
            wrong.append("%s: exception %s" % (side, outcome["exception"]))
        if "calls" in expect and len(outcome["vqlog"]) != expect["calls"]:
            wrong.append("%s: %d host-log calls, the case is there for %d" % (side, len(outcome["vqlog"]),
                                                                             expect["calls"]))
        if "buffer" in expect and not bytes.fromhex(outcome["buffer"]).startswith(expect["buffer"] + b"\xAA"):
            wrong.append("%s: name buffer %s" % (side, outcome["buffer"]))
    if bool(got["threads"]) != bool(case.expect.get("threads")):
        wrong.append("%d threads started; the case is there for %s" % (
            got["threads"], "the work in parts" if case.expect.get("threads") else "work in one part"))
    return wrong


def show(value):
    text = repr(value)
    return text if len(text) < 300 else text[:300] + "..."


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--dll", required=True)
    parser.add_argument("--symbols", help="the DLL before it was stripped, for pe32host's fault reports")
    parser.add_argument("--reference", required=True, help="the Linux build of the module")
    parser.add_argument("--reference-folder", required=True, help="where LIBRARY writes its import files")
    parser.add_argument("--scratch", help="work folder (default: a new temporary one, removed afterwards)")
    parser.add_argument("--jobs", type=int, default=int(os.environ.get("QUORIX_JOBS", "2")))
    options = parser.parse_args()
    for name in ("dll", "symbols", "reference", "reference_folder", "scratch"):
        if getattr(options, name):
            setattr(options, name, os.path.abspath(getattr(options, name)))
    scratch = options.scratch or tempfile.mkdtemp(prefix="quorix-pe32.")
    started = time.monotonic()
    try:
        rows = cases(scratch)
        # The Linux library writes to its one folder: one run at a time.
        references = [reference(case, options.reference, options.reference_folder,
                                os.path.join(scratch, "reference", str(i))) for i, case in enumerate(rows)]
        runs = [(i, base) for base in BASES for i in range(len(rows))]
        runs.sort(key=lambda run: rows[run[0]].name != "lay in parts")  # the longest first
        with concurrent.futures.ThreadPoolExecutor(max(1, options.jobs)) as pool:
            futures = {pool.submit(emulated, rows[i], options, base,
                                   os.path.join(scratch, "pe32-%s" % ("own" if base is None else "%x" % base),
                                                str(i))): (i, base) for i, base in runs}
            outcomes = {futures[f]: f.result() for f in concurrent.futures.as_completed(futures)}
        passed = failed = 0
        for i, (name, source, right) in enumerate(SELF_CHECKS):
            status, report = self_check(name, source, os.path.join(scratch, "self-check", str(i)))
            ok = right(status, report)
            print("%s - pe32host reports %s (exit status %d%s)" % (
                "ok  " if ok else "FAIL", name, status, ": " + report["error"] if "error" in report else ""))
            failed, passed = failed + (not ok), passed + ok
        for base in BASES:
            for i, case in enumerate(rows):
                got = outcomes[(i, base)]
                wrong = differences(case, references[i], got)
                print("%s - %s at image base %s: %s instructions, %.1f s%s" % (
                    "FAIL" if wrong else "ok  ", case.name, "0x%x" % got["base"] if "base" in got else base,
                    got.get("instructions"), got["seconds"],
                    ", %d threads" % got["threads"] if got.get("threads") else ""))
                for line in wrong:
                    print("       " + line)
                failed, passed = failed + bool(wrong), passed + (not wrong)
        print("pe32: %d cases at %d image bases in %.0f s" % (len(rows), len(BASES), time.monotonic() - started))
        print("pe32: %d passed, %d failed" % (passed, failed))
        return 0 if failed == 0 else 1
    finally:
        if not options.scratch:
            shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Runs the examples of the documentation as written and compares what they print, and checks that every
relative link of a page leads to a file, and to a heading of it where the link names one.

    run_doc_examples.py --source DIR --cmake CMAKE --build DIR SCRATCH PAGE...

In a page, a fenced block whose info string is "console" is a session: each line starting with "$ " is a
command, run with sh from SCRATCH, and the lines after it up to the next command are what it prints on
standard output and standard error together. A command followed by no lines may print anything. A last
line "[exit N]" gives the exit status expected, 0 without it. A fenced block right after the line
"<!-- file: NAME -->" is written to SCRATCH/NAME before the sessions of its page run.

The build is installed into SCRATCH/prefix first, and the commands use what is installed there, as a user
would: PATH starts with its bin folder, pkg-config finds the module there, and programs built against it
find the library. Each page runs in a folder of its own below SCRATCH, holding a link "examples" to the
bundled examples, so commands read as from the repository's top folder.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

FENCE = re.compile(r"^```(\S*)\s*$")
FILE_MARK = re.compile(r"^<!-- file: (\S+) -->\s*$")
LINK = re.compile(r"\]\(([^)\s]+)\)")


def anchor(heading):
    """The anchor a heading gets where the pages are read: lower case, punctuation dropped, spaces as '-'."""
    text = re.sub(r"[^\w\- ]", "", heading.strip().lower())
    return text.replace(" ", "-")


def broken_links(page):
    """The relative links of a page whose file or heading is missing."""
    with open(page, encoding="utf-8") as f:
        text = f.read()
    broken = []
    for target in LINK.findall(text):
        if re.match(r"^[a-z]+:", target):
            continue  # a link to a site: not checked here
        path, _, fragment = target.partition("#")
        full = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
        if not os.path.exists(full):
            broken.append(f"{page}: link {target}: no file {full}")
        elif fragment:
            with open(full, encoding="utf-8") as f:
                headings = [anchor(line.lstrip("#")) for line in f if line.startswith("#")]
            if fragment not in headings:
                broken.append(f"{page}: link {target}: no heading #{fragment} in {full}")
    return broken


def blocks(text):
    """Yields (kind, name, lines, line number) for every fenced block: kind is its info string, name the
    file name of a preceding file mark, or None."""
    lines = text.split("\n")
    i = 0
    while i < len(lines):
        fence = FENCE.match(lines[i])
        if not fence:
            i += 1
            continue
        name = None
        if i > 0:
            mark = FILE_MARK.match(lines[i - 1])
            name = mark.group(1) if mark else None
        start = i + 1
        end = start
        while end < len(lines) and not lines[end].startswith("```"):
            end += 1
        yield fence.group(1), name, lines[start:end], start
        i = end + 1


def sessions(lines):
    """Yields (command, expected lines, expected status) from a console block."""
    command, output = None, []
    for line in lines + ["$ "]:
        if line.startswith("$ ") or line == "$":
            if command:
                status = 0
                if output and re.fullmatch(r"\[exit \d+\]", output[-1]):
                    status = int(output.pop()[6:-1])
                yield command, output, status
            command, output = line[2:], []
        elif command is not None:
            output.append(line)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--cmake", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("scratch")
    parser.add_argument("pages", nargs="+")
    args = parser.parse_args()

    shutil.rmtree(args.scratch, ignore_errors=True)
    prefix = os.path.join(args.scratch, "prefix")
    subprocess.run([args.cmake, "--install", args.build, "--prefix", prefix], check=True,
                   stdout=subprocess.DEVNULL)
    env = dict(os.environ)
    env["PATH"] = os.path.join(prefix, "bin") + os.pathsep + env.get("PATH", "")
    env["LC_ALL"] = "C"
    env["PKG_CONFIG_PATH"] = os.path.join(prefix, "lib", "pkgconfig")
    env["LD_LIBRARY_PATH"] = os.path.join(prefix, "lib")
    failures, commands = [], 0
    for page in args.pages:
        links = broken_links(page)
        commands += len(LINK.findall(open(page, encoding="utf-8").read()))
        failures += links
        # Each page starts from a folder of its own, so that no page depends on what another left.
        scratch = os.path.join(args.scratch, os.path.basename(page))
        os.makedirs(scratch)
        os.symlink(os.path.join(args.source, "examples"), os.path.join(scratch, "examples"))
        with open(page, encoding="utf-8") as f:
            found = list(blocks(f.read()))
        for kind, name, lines, _ in found:
            if name:
                with open(os.path.join(scratch, name), "w", encoding="utf-8") as f:
                    f.write("\n".join(lines) + "\n")
        for kind, _, lines, at in found:
            if kind != "console":
                continue
            for command, expected, status in sessions(lines):
                commands += 1
                run = subprocess.run(["sh", "-c", command], cwd=scratch, env=env, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, timeout=120)
                printed = run.stdout.decode("utf-8", "replace").rstrip("\n").split("\n")
                if printed == [""]:
                    printed = []
                where = f"{os.path.relpath(page, args.source)}:{at}: $ {command}"
                if run.returncode != status:
                    failures.append(f"{where}\n  exit {run.returncode}, expected {status}\n  " +
                                    "\n  ".join(printed))
                elif expected and printed != expected:
                    failures.append(f"{where}\n  printed:\n    " + "\n    ".join(printed) +
                                    "\n  the page shows:\n    " + "\n    ".join(expected))
    for failure in failures:
        print(failure, file=sys.stderr)
    print(f"docs: {commands - len(failures)} passed, {len(failures)} failed (commands and links)")
    return 1 if failures or commands == 0 else 0


if __name__ == "__main__":
    sys.exit(main())

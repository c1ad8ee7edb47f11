#!/usr/bin/env python3
"""Mutation test of the module's sources with the project's mutant list.

The mutation driver and its mutant list live beside the repository (../shared/mutation, read-only). Code moves, and
a mutant whose text is no longer found is reported as "gone" and tests nothing. The files ci/mutants-*.py therefore
keep the list up to date with the code, each holding any of:

    MOVED_FILES = {"old/path.cpp": "new/path.cpp"}      # files moved or renamed
    RETARGETED = {"ID": {"file": ..., "old": ..., "new": ...}}  # the same fault where its code went
    ADDED = [dict(id=..., file=..., old=..., new=..., kind=...)]  # new code worth mutating

This script builds that list and runs the driver with it; its arguments are the driver's (see its header):

    ci/mutation.py [--only ID,ID] [--build DIR] [--fresh]
    ci/mutation.py --check     # only reports mutants that no longer apply
"""
import glob
import os
import runpy
import sys
import types

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
DRIVER = os.environ.get("QUORIX_MUTATION_DRIVER", os.path.join(REPO, "..", "shared", "mutation"))


def overlays():
    for path in sorted(glob.glob(os.path.join(HERE, "mutants-*.py"))):
        scope = {}
        exec(compile(open(path).read(), path, "exec"), scope)
        yield path, scope


def mutants():
    sys.path.insert(0, DRIVER)
    import mutants as shared  # noqa: E402  (the driver's list)
    sys.path.pop(0)
    by_id = {m["id"]: dict(m) for m in shared.M}
    retargeted_in = {}
    for path, scope in overlays():
        moved = scope.get("MOVED_FILES", {})
        for m in by_id.values():
            m["file"] = moved.get(m["file"], m["file"])
        for mid, change in scope.get("RETARGETED", {}).items():
            if mid not in by_id:
                sys.exit("%s: re-targets %s, which is not in the list" % (path, mid))
            if mid in retargeted_in:
                sys.exit("%s: re-targets %s, which %s re-targets already" % (path, mid, retargeted_in[mid]))
            retargeted_in[mid] = path
            by_id[mid].update(change)
            by_id[mid].setdefault("nth", None)
        for m in scope.get("ADDED", []):
            if m["id"] in by_id:
                sys.exit("%s: adds %s, which is already in the list" % (path, m["id"]))
            by_id[m["id"]] = dict(dict(nth=None, note=None), **m)
    return list(by_id.values())


def applies(m):
    path = os.path.join(REPO, m["file"])
    if not os.path.exists(path):
        return False
    count = open(path).read().count(m["old"])
    return count == 1 if m["nth"] is None else m["nth"] < count


def main():
    listed = mutants()
    if "--check" in sys.argv[1:]:
        stale = [m for m in listed if not applies(m)]
        for m in stale:
            print("%s %s: %r not found as listed" % (m["id"], m["file"], m["old"][:60]))
        print("%d mutants, %d no longer apply" % (len(listed), len(stale)))
        return 1 if stale else 0
    module = types.ModuleType("mutants")
    module.M = listed
    sys.modules["mutants"] = module  # the driver's `from mutants import M` takes this list
    sys.argv = [os.path.join(DRIVER, "mutate.py")] + sys.argv[1:]
    if "--repo" not in sys.argv:
        sys.argv += ["--repo", REPO]
    runpy.run_path(sys.argv[0], run_name="__main__")
    return 0


if __name__ == "__main__":
    sys.exit(main())

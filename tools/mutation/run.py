#!/usr/bin/env python3
"""Runs the hand-made mutants listed in tools/mutation/*.txt against the test suite.

Each mutant changes one place of the program; it is killed when the build
fails or one of its tests fails. A list file holds blocks of this form:

    ## writing-direction: the direction threshold at -0.2
    file: rules/strokecheck.cpp
    tests: writing_check
    <<<
    exact original text (it must occur once in the file)
    ===
    the replacement
    >>>

Usage: tools/mutation/run.py [--build DIR] [--only ID-PREFIX] [LIST ...]
The program's files are restored after each mutant, also on Ctrl+C.
"""
import argparse
import pathlib
import re
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]
BLOCK = re.compile(
    r"^## (?P<id>[^:\n]+):(?P<what>[^\n]*)\nfile: (?P<file>[^\n]+)\ntests: (?P<tests>[^\n]+)\n"
    r"<<<\n(?P<old>.*?)\n===\n(?P<new>.*?)\n?>>>$",
    re.S | re.M)


def mutants(lists):
    for path in lists:
        text = path.read_text(encoding="utf-8")
        for m in BLOCK.finditer(text):
            yield path.stem, m


def run(cmd, **kw):
    return subprocess.run(cmd, cwd=ROOT, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw).returncode


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build")
    ap.add_argument("--only", default="")
    ap.add_argument("lists", nargs="*", type=pathlib.Path)
    args = ap.parse_args()
    lists = args.lists or sorted((ROOT / "tools" / "mutation").glob("*.txt"))
    killed = survived = broken = 0
    env = {"QT_QPA_PLATFORM": "offscreen"}
    import os
    env = {**os.environ, **env}
    for area, m in mutants(lists):
        if not m["id"].startswith(args.only):
            continue
        target = ROOT / m["file"]
        if not target.is_file():
            print(f"?? {m['id']}: {m['file']} is not in this tree")
            broken += 1
            continue
        original = target.read_bytes()
        text = original.decode("utf-8")
        if text.count(m["old"]) != 1:
            print(f"?? {m['id']}: its original text occurs {text.count(m['old'])} times in {m['file']}")
            broken += 1
            continue
        try:
            target.write_bytes(text.replace(m["old"], m["new"]).encode("utf-8"))
            names = [t.strip() for t in m["tests"].split(",")]
            tests = "|".join(names)
            # Only the tests that judge the mutant are built: the rest of the program waits.
            dead = run(["cmake", "--build", args.build, "--target", *names]) != 0 or run(
                ["ctest", "--test-dir", args.build, "-R", f"^({tests})$", "--timeout", "600"], env=env) != 0
        finally:
            target.write_bytes(original)
        killed += dead
        survived += not dead
        print(f"{'killed  ' if dead else 'SURVIVED'} {area}/{m['id']}:{m['what']}", flush=True)
    run(["cmake", "--build", args.build])
    total = killed + survived
    print(f"{killed} of {total} killed ({100 * killed / max(total, 1):.0f} %)"
          + (f", {broken} not applicable" if broken else ""))
    return 0 if broken == 0 else 1


if __name__ == "__main__":
    sys.exit(main())

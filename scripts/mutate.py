#!/usr/bin/env python3
"""A small mutation run over the code that matters most.

Each mutant is one single-operator change to one line of src/ (== to !=, < to
<=, a dropped !, && to ||, a returned value flipped, a constant off by one).
The list is fixed and kept in scripts/mutants.txt, so the same mutants can be
run against the suite before and after a change to the tests.

  scripts/mutate.py run [--only ID,...] [--source DIR]
      copies the source tree (DIR, default this checkout) to build/mutate/tree,
      builds the test programs once, checks they pass, then for each mutant
      changes the copy, rebuilds only the targets of its subsystem and runs
      only that subsystem's test programs (stopping at the first failure, with
      a timeout). A mutant is killed when a test fails or times out, survives
      when every test passes. Results: build/mutate/results.tsv.
  scripts/mutate.py generate [--seed N] > scripts/mutants.txt
      draws a new list from the files and counts below (seeded, so the same
      seed on the same sources gives the same list).
  scripts/mutate.py show ID
      prints the line of a mutant before and after.

A mutant is found by its file and the whole text of its line (the line number
is where it was when the list was made), so the list survives edits elsewhere
in the file; a mutant whose line is gone is reported stale and not counted.
"""

import argparse
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LIST = os.path.join(ROOT, "scripts", "mutants.txt")
WORK = os.path.join(ROOT, "build", "mutate")

# The files mutated and how many mutants each gets.
QUOTAS = [
    ("src/platform/profile/ProfileFile.cpp", 5),
    ("src/platform/profile/Profile.cpp", 4),
    ("src/platform/posix/AtomicFiles.cpp", 2),
    ("src/platform/Text.cpp", 4),
    ("src/platform/CRuntime.cpp", 2),
    ("src/ini/CTqIni.cpp", 4),
    ("src/envini/CTqEnvIniSave.cpp", 3),
    ("src/envini/ReadRecord.cpp", 3),
    ("src/json/JsonGrammar.h", 4),
    ("src/json/JsonParser.cpp", 3),
    ("src/json/JsonWriter.cpp", 3),
    ("src/envmgr/CTqEnvMgrRegistry.cpp", 3),
    ("src/envmgr/Seeding.cpp", 2),
]

# The test programs of a subsystem: (target, arguments). Arguments naming a
# corpus are relative to the copied tree. Programs run in this order and the
# first failure ends the mutant's run, so the quick ones come first.
RUNS = {
    "platform": [("platform_tests", [])],
    "profile": [("fuzz_profile", ["fuzz/profile/corpus"]), ("profile_tests", [])],
    "ini": [("fuzz_ini_arrays", ["fuzz/ini_arrays/corpus"]), ("ini_tests", [])],
    "envini": [
        ("envini_redirect_tests", []),
        ("envini_tests", []),
        ("reliability_tests", ["--gtest_filter=Faults.*:NoLostUpdate.*"]),
    ],
    "json": [("fuzz_json", ["fuzz/json/corpus"]), ("json_tests", [])],
    "envjson": [("fuzz_envjson_split", ["fuzz/envjson_split/corpus"]), ("envjson_tests", [])],
    "envmgr": [
        ("envmgr_tests", []),
        ("reliability_tests", ["--gtest_filter=Faults.*:Seeding.*:-Seeding.RandomKills*"]),
    ],
}

# Which subsystems' programs run for a changed file (the first matching prefix).
SUBSYSTEMS = [
    ("src/platform/profile/", ["profile"]),
    ("src/platform/posix/AtomicFiles.cpp", ["platform", "profile"]),
    ("src/platform/Text.cpp", ["platform", "profile"]),
    ("src/platform/CRuntime.cpp", ["platform", "ini"]),
    ("src/platform/", ["platform"]),
    ("src/ini/", ["ini"]),
    ("src/envini/", ["envini"]),
    ("src/json/", ["json"]),
    ("src/jsonlint/", ["json"]),
    ("src/envjson/", ["envjson"]),
    ("src/envmgr/", ["envmgr"]),
]


def runs_for(path):
    for prefix, names in SUBSYSTEMS:
        if path.startswith(prefix):
            runs = []
            for name in names:
                runs += [r for r in RUNS[name] if r not in runs]
            return runs
    sys.exit("no test programs are known for " + path)


# ---------------------------------------------------------------- the list

class Mutant:
    def __init__(self, ident, path, line, col, old, new, text):
        self.id, self.path, self.line, self.col = ident, path, line, col
        self.old, self.new, self.text = old, new, text

    def row(self):
        return "\t".join([self.id, "%s:%d" % (self.path, self.line), str(self.col), self.old, self.new or "-",
                          self.text])

    def describe(self):
        return "%s:%d '%s' -> '%s'" % (self.path, self.line, self.old, self.new or "")


def read_list(path):
    mutants = []
    for raw in open(path, encoding="utf-8"):
        raw = raw.rstrip("\n")
        if not raw or raw.startswith("#"):
            continue
        ident, where, col, old, new, text = raw.split("\t", 5)
        file, line = where.rsplit(":", 1)
        mutants.append(Mutant(ident, file, int(line), int(col), old, "" if new == "-" else new, text))
    return mutants


def locate(mutant, lines):
    """The index of the mutant's line in lines, or None when it is gone."""
    hint = mutant.line - 1
    if 0 <= hint < len(lines) and lines[hint] == mutant.text:
        return hint
    matches = [i for i, l in enumerate(lines) if l == mutant.text]
    return min(matches, key=lambda i: abs(i - hint)) if matches else None


def apply(mutant, source):
    """The source with the mutant applied, or None when its line is stale."""
    lines = source.split("\n")
    at = locate(mutant, lines)
    if at is None or lines[at][mutant.col:mutant.col + len(mutant.old)] != mutant.old:
        return None
    line = lines[at]
    lines[at] = line[:mutant.col] + mutant.new + line[mutant.col + len(mutant.old):]
    return "\n".join(lines)


# ---------------------------------------------------------------- generating

def masked_lines(source):
    """The lines with comments and the insides of string and character
    literals blanked, so operators are only found in code."""
    out, in_block = [], False
    for line in source.split("\n"):
        chars, i, quote = list(line), 0, None
        while i < len(chars):
            c = chars[i]
            if in_block:
                if line.startswith("*/", i):
                    chars[i] = chars[i + 1] = " "
                    in_block = False
                    i += 2
                    continue
                chars[i] = " "
            elif quote:
                if c == "\\":
                    chars[i] = " "
                    if i + 1 < len(chars):
                        chars[i + 1] = " "
                    i += 2
                    continue
                if c == quote:
                    quote = None
                else:
                    chars[i] = " "
            elif line.startswith("//", i):
                chars[i:] = " " * (len(chars) - i)
                break
            elif line.startswith("/*", i):
                chars[i] = chars[i + 1] = " "
                in_block = True
                i += 2
                continue
            elif c in "\"'" and not (c == "'" and i > 0 and chars[i - 1].isdigit()):
                quote = c
            i += 1
        out.append("".join(chars))
    return out


SKIP_LINE = re.compile(r"^\s*(#|static_assert|assert\()|reserve\(")
FLIP_RETURN = {"true": "false", "false": "true", "TRUE": "FALSE", "FALSE": "TRUE", "0": "1", "1": "0", "-1": "0"}


def candidates(masked):
    """(kind, col, old, new) for every place of one line a mutant could go."""
    found = []
    for m in re.finditer(r" (==|!=) ", masked):
        found.append(("equality", m.start(1), m.group(1), "!=" if m.group(1) == "==" else "=="))
    for m in re.finditer(r" (<=|>=|<|>) ", masked):
        old = m.group(1)
        found.append(("relation", m.start(1), old, {"<": "<=", "<=": "<", ">": ">=", ">=": ">"}[old]))
    for m in re.finditer(r" (&&|\|\|) ", masked):
        found.append(("logic", m.start(1), m.group(1), "||" if m.group(1) == "&&" else "&&"))
    for m in re.finditer(r"(?<![!=<>])!(?=[\w(*])", masked):
        found.append(("negation", m.start(), "!", ""))
    for m in re.finditer(r"\breturn (true|false|TRUE|FALSE|-1|0|1);", masked):
        found.append(("return", m.start(1), m.group(1), FLIP_RETURN[m.group(1)]))
    for m in re.finditer(r"(?<![\w.])(0[xX][0-9A-Fa-f]+|\d+)(?![\w.])", masked):
        found.append(("constant", m.start(1), m.group(1), None))
    return found


def off_by_one(literal, rng):
    if literal.lower().startswith("0x"):
        value = int(literal, 16)
        value += 1 if value == 0 or rng.random() < 0.5 else -1
        digits = "%0*X" % (len(literal) - 2, value)
        return literal[:2] + (digits if literal[2:].isupper() or literal[2:].isdigit() else digits.lower())
    value = int(literal)
    return str(value + 1 if value == 0 or rng.random() < 0.5 else value - 1)


def generate(seed, root):
    rng = random.Random(seed)
    chosen = []
    for path, count in QUOTAS:
        lines = open(os.path.join(root, path), encoding="utf-8").read().split("\n")
        by_kind = {}
        for number, masked in enumerate(masked_lines("\n".join(lines))):
            if SKIP_LINE.search(lines[number]) or not masked.strip():
                continue
            for kind, col, old, new in candidates(masked):
                by_kind.setdefault(kind, []).append((number, col, old, new))
        used_lines = set()
        picked = []
        while len(picked) < count and by_kind:
            kind = rng.choice(sorted(by_kind))
            number, col, old, new = by_kind[kind].pop(rng.randrange(len(by_kind[kind])))
            if not by_kind[kind]:
                del by_kind[kind]
            if number in used_lines:
                continue
            used_lines.add(number)
            if new is None:
                new = off_by_one(old, rng)
            picked.append((path, number, col, old, new, lines[number]))
        chosen += sorted(picked, key=lambda p: p[1])
    return [Mutant("m%02d" % (i + 1), p, n + 1, c, o, w, t) for i, (p, n, c, o, w, t) in enumerate(chosen)]


# ---------------------------------------------------------------- running

def sync_tree(source, tree):
    """Makes tree a copy of source's files (without build output or git),
    touching only files that differ, so the build stays incremental."""
    skip = {".git", "build"}
    seen = set()
    for folder, dirs, files in os.walk(source):
        rel = os.path.relpath(folder, source)
        dirs[:] = [d for d in dirs if not (rel == "." and (d in skip or d.startswith("build-")))]
        os.makedirs(os.path.join(tree, rel), exist_ok=True)
        for name in files:
            src, dst = os.path.join(folder, name), os.path.join(tree, rel, name)
            seen.add(os.path.normpath(dst))
            if os.path.islink(src):
                continue
            if not os.path.exists(dst) or open(src, "rb").read() != open(dst, "rb").read():
                shutil.copy2(src, dst)
    for folder, dirs, files in os.walk(tree):
        for name in files:
            path = os.path.normpath(os.path.join(folder, name))
            if path not in seen:
                os.remove(path)


def configure(tree, build):
    if os.path.exists(os.path.join(build, "build.ninja")):
        return
    launcher = []
    if shutil.which("ccache"):
        launcher = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
    # -O1 without debug information: the quickest build whose tests still run
    # at a useful speed.
    subprocess.run(["cmake", "-S", tree, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                    "-DCMAKE_CXX_FLAGS_RELEASE=-O1", "-DZV_BUILD_TESTS=ON"] + launcher,
                   check=True, stdout=subprocess.DEVNULL)


def build_targets(build, targets, jobs):
    # The validator module is loaded by name, so no test program depends on it
    # at link time; the programs that copy it into application roots need it.
    targets = list(targets) + ["JSONLint"]
    result = subprocess.run(["cmake", "--build", build, "-j", str(jobs), "--target"] + sorted(set(targets)),
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return result.returncode == 0, result.stdout


def run_program(build, tree, target, args, timeout):
    """(passed, seconds, what failed): runs one test program in its own
    process group, killed whole when the time is up."""
    bin_dir = os.path.join(build, "bin")
    argv = [os.path.join(bin_dir, target)]
    for a in args:
        argv.append(os.path.join(tree, a) if not a.startswith("-") else a)
    if not target.startswith("fuzz_"):
        argv += ["--gtest_brief=1", "--gtest_fail_fast"]
    start = time.monotonic()
    proc = subprocess.Popen(argv, cwd=bin_dir, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            start_new_session=True)
    try:
        out, _ = proc.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.communicate()
        return False, time.monotonic() - start, "%s: timed out after %d s" % (target, timeout)
    seconds = time.monotonic() - start
    if proc.returncode == 0:
        return True, seconds, ""
    failed = re.search(rb"^\[  FAILED  \] (\S+)", out, re.M)
    why = failed.group(1).decode() if failed else "exit status %d" % proc.returncode
    return False, seconds, "%s: %s" % (target, why)


def run(args):
    source = os.path.abspath(args.source)
    mutants = read_list(args.list)
    if args.only:
        wanted = set(args.only.split(","))
        mutants = [m for m in mutants if m.id in wanted]
    tree, build = os.path.join(WORK, "tree"), os.path.join(WORK, "build")
    os.makedirs(WORK, exist_ok=True)
    print("copying %s to %s" % (source, tree), flush=True)
    sync_tree(source, tree)
    configure(tree, build)

    all_runs = []
    for m in mutants:
        all_runs += [r for r in runs_for(m.path) if r not in all_runs]
    print("building %s" % " ".join(sorted({t for t, _ in all_runs})), flush=True)
    ok, out = build_targets(build, [t for t, _ in all_runs], args.jobs)
    if not ok:
        sys.exit(out[-3000:] + "\nthe unchanged tree does not build")
    baseline = {}
    for target, targs in all_runs:
        passed, seconds, why = run_program(build, tree, target, targs, 1800)
        if not passed:
            sys.exit("the unchanged tree fails its tests (%s): nothing to measure" % why)
        baseline[(target, tuple(targs))] = seconds
        print("  %-22s %s passes in %.1f s" % (target, " ".join(targs), seconds), flush=True)

    results, started = [], time.monotonic()
    for m in sorted(mutants, key=lambda m: (m.path, m.line)):
        path = os.path.join(tree, m.path)
        original = open(path, encoding="utf-8").read()
        changed = apply(m, original)
        began = time.monotonic()
        if changed is None:
            status, why = "stale", "its line is no longer in the file"
        else:
            try:
                with open(path, "w", encoding="utf-8") as f:
                    f.write(changed)
                runs = runs_for(m.path)
                ok, out = build_targets(build, [t for t, _ in runs], args.jobs)
                if not ok:
                    status, why = "unbuilt", "does not compile"
                else:
                    status, why = "survived", ""
                    for target, targs in runs:
                        limit = int(max(60, 4 * baseline[(target, tuple(targs))] + 30))
                        passed, _, why = run_program(build, tree, target, targs, limit)
                        if not passed:
                            status = "killed"
                            break
            finally:
                with open(path, "w", encoding="utf-8") as f:
                    f.write(original)
        results.append((m, status, why))
        print("%-4s %-8s %-60s %s (%.0f s)" % (m.id, status, m.describe(), why, time.monotonic() - began),
              flush=True)

    counted = [r for r in results if r[1] in ("killed", "survived")]
    killed = sum(1 for r in counted if r[1] == "killed")
    with open(os.path.join(WORK, "results.tsv"), "w", encoding="utf-8") as f:
        for m, status, why in results:
            f.write("\t".join([m.id, status, m.describe(), why]) + "\n")
    print()
    by_file = {}
    for m, status, _ in counted:
        k, n = by_file.get(m.path, (0, 0))
        by_file[m.path] = (k + (status == "killed"), n + 1)
    for path, (k, n) in by_file.items():
        print("  %-40s %d of %d killed" % (path, k, n))
    others = len(results) - len(counted)
    print("%d of %d mutants killed, %d survived%s, in %.0f s" %
          (killed, len(counted), len(counted) - killed,
           ", %d not counted (stale or not compiling)" % others if others else "", time.monotonic() - started))


def main():
    parser = argparse.ArgumentParser(description="A small mutation run over the code that matters most.")
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("run", help="run the mutants of the list")
    p.add_argument("--list", default=LIST)
    p.add_argument("--only", help="comma-separated ids")
    p.add_argument("--source", default=ROOT, help="the tree to copy and mutate (default: this checkout)")
    p.add_argument("--jobs", type=int, default=2)
    p = sub.add_parser("generate", help="print a new list")
    p.add_argument("--seed", type=int, default=21)
    p = sub.add_parser("show", help="print a mutant's line before and after")
    p.add_argument("id")
    p.add_argument("--list", default=LIST)
    args = parser.parse_args()

    if args.command == "generate":
        print("# Mutants of scripts/mutate.py: id, file:line (where the line was), column, the operator or")
        print("# constant, what replaces it (- for nothing), the line's text. Made by")
        print("# `scripts/mutate.py generate --seed %d`; keep it fixed between runs that are compared." % args.seed)
        for m in generate(args.seed, ROOT):
            print(m.row())
    elif args.command == "show":
        m = next((m for m in read_list(args.list) if m.id == args.id), None)
        if not m:
            sys.exit("no mutant " + args.id)
        source = open(os.path.join(ROOT, m.path), encoding="utf-8").read()
        changed = apply(m, source)
        if changed is None:
            sys.exit(m.id + " is stale: its line is no longer in " + m.path)
        at = locate(m, source.split("\n"))
        print("%s:%d\n- %s\n+ %s" % (m.path, at + 1, m.text, changed.split("\n")[at]))
    else:
        run(args)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Turns the figures of scripts/perf.sh into docs/performance.md and plots.

report.py <results folder> <markdown out> <plot folder> [reading.md]
"""
import glob
import json
import math
import os
import subprocess
import sys

OPS = {
    "ini": [
        ("read_all", "Read every key once", "whole run"),
        ("read_one", "Read one key many times", "per call"),
        ("change_all_save", "Change every key and save", "whole run"),
        ("add_save", "Add 100 keys and save", "whole run"),
        ("add_new", "Add every key to a new file and save", "whole run"),
    ],
    "inivalue": [
        ("read", "Read one long value from a fresh file", "whole run"),
    ],
    "host": [
        ("json_list", "`zvenv json list` of an object of n members", "whole command"),
    ],
    "json": [
        ("load", "Load", "whole run"),
        ("read_all", "Read all values", "whole run"),
        ("load_read_all", "Load and read all values", "whole run"),
        ("read_one", "Read one value", "per call"),
        ("change", "Change one value in every record", "whole run"),
        ("save", "Save, written as a temporary file, synced and renamed", "whole run"),
        ("save_plain", "Save, written in place without a sync", "whole run"),
    ],
}
OURS = {"ini": ["CTqIni", "CTqEnvIni"], "inivalue": ["CTqIni", "CTqEnvIni"], "json": ["CTqEnvJson", "engine"],
        "host": ["zvenv"]}
PEERS = {"ini": ["Wine kernel32", "SimpleIni"], "inivalue": ["SimpleIni"], "json": ["jsoncpp", "nlohmann-json"],
         "host": []}
X_LABEL = {"ini": "keys", "inivalue": "characters of the value", "json": "MB of JSON text", "host": "members"}


def size_label(group, size):
    if group == "ini":
        return f"{size:,} keys"
    if group == "inivalue":
        return f"{size:,} characters"
    if group == "host":
        return f"{size:,} members"
    mib = size / 1048576
    return f"{mib:.3g} MB"


def fmt_time(seconds):
    if seconds is None:
        return "—"
    for unit, scale in (("s", 1), ("ms", 1e-3), ("µs", 1e-6), ("ns", 1e-9)):
        if seconds >= scale:
            value = seconds / scale
            return f"{value:.3g} {unit}" if value < 1000 else f"{value:,.0f} {unit}"
    return f"{seconds * 1e9:.2g} ns"


def fmt_ratio(ratio):
    if ratio is None:
        return "—"
    if ratio >= 100:
        return f"{ratio:,.0f}×"
    if ratio >= 10:
        return f"{ratio:.0f}×"
    if ratio < 0.01:
        return f"1/{1 / ratio:,.0f}×"
    return f"{ratio:.2g}×"


def growth(points):
    """Slope of log(time) over log(size) between the smallest and largest size."""
    if len(points) < 2:
        return None
    (s0, t0), (s1, t1) = points[0], points[-1]
    if t0 <= 0 or t1 <= 0 or s1 == s0:
        return None
    return math.log(t1 / t0) / math.log(s1 / s0)


def load_results(folder):
    figures = {}
    notes = {}
    cpu = {}
    user = {}
    path = os.path.join(folder, "peers.jsonl")
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            for line in f:
                line = line.strip()
                if not line:
                    continue
                r = json.loads(line)
                key = (r["group"], r["op"], r["impl"], r["size"])
                figures[key] = r["seconds"]
                if "cpu_seconds" in r:
                    cpu[key] = r["cpu_seconds"]
                if "user_seconds" in r:
                    user[key] = r["user_seconds"]
                if r.get("note"):
                    notes[key] = r["note"]
    # Load and read all, as one program that opens a document and reads it
    # would pay: the sum of the two steps' medians.
    for (group, op, impl, size), t in list(figures.items()):
        if group != "json" or op != "load":
            continue
        read = (group, "read_all", impl, size)
        both = (group, "load_read_all", impl, size)
        if read in figures:
            figures[both] = t + figures[read]
            for table in (cpu, user):
                if (group, op, impl, size) in table and read in table:
                    table[both] = table[(group, op, impl, size)] + table[read]
    return figures, notes, cpu, user


def read_text(path):
    try:
        with open(path, encoding="utf-8") as f:
            return f.read().strip()
    except OSError:
        return ""


def machine_info(folder):
    info = {}
    for line in read_text(os.path.join(folder, "machine.txt")).splitlines():
        if "=" in line:
            k, v = line.split("=", 1)
            info[k] = v
    return info


def plot(group, op, title, unit, impls, sizes, figures, plot_dir, work_dir):
    data = os.path.join(work_dir, f"{group}_{op}.dat")
    with open(data, "w", encoding="utf-8") as f:
        for impl in impls:
            f.write(f'"{impl}"\n')
            for s in sizes:
                t = figures.get((group, op, impl, s))
                if t:
                    x = s / 1048576 if group == "json" else s
                    f.write(f"{x} {t * 1e3}\n")
            f.write("\n\n")
    png = os.path.join(plot_dir, f"{group}_{op}.png")
    xlabel = X_LABEL[group]
    ylabel = "ms per call" if unit == "per call" else "ms"
    lines = []
    for index, impl in enumerate(impls):
        # Ours solid, peers dashed.
        dash = 1 if impl in OURS[group] else 2
        lines.append(f"'{data}' index {index} using 1:2 with linespoints lw 2 dt {dash} pt 7 title columnheader(1)")
    script = "\n".join(
        [
            "set terminal pngcairo size 720,440 font 'DejaVu Sans,10'"
            if has_pngcairo()
            else "set terminal png size 720,440",
            f"set output '{png}'",
            f"set title '{group.upper()}: {title} ({unit}; log-log; lower is better)'",
            "set logscale xy",
            "set format y '10^{%L}'",
            "set format x '%g'" if group == "json" else "set format x '10^{%L}'",
            f"set xlabel '{xlabel}'",
            f"set ylabel '{ylabel}'",
            "set key left top",
            "set grid",
            "plot " + ", ".join(lines),
        ]
    )
    script_path = os.path.join(work_dir, f"{group}_{op}.gp")
    with open(script_path, "w", encoding="utf-8") as f:
        f.write(script + "\n")
    subprocess.run(["gnuplot", script_path], check=True)
    return os.path.basename(png)


_PNGCAIRO = None


def has_pngcairo():
    global _PNGCAIRO
    if _PNGCAIRO is None:
        out = subprocess.run(["gnuplot", "-e", "set terminal"], capture_output=True, text=True)
        _PNGCAIRO = "pngcairo" in (out.stdout + out.stderr)
    return _PNGCAIRO


def group_section(group, figures, notes, cpu, user, plot_dir, work_dir, plot_rel):
    sizes = sorted({k[3] for k in figures if k[0] == group})
    if not sizes:
        return [f"No {group.upper()} figures were measured.", ""]
    present = {k[2] for k in figures if k[0] == group}
    impls = [i for i in OURS[group] + PEERS[group] if i in present]
    out = []
    all_impls = impls
    for op, title, unit in OPS[group]:
        # Only what was measured for this operation.
        impls = [i for i in all_impls if any((group, op, i, s) in figures for s in sizes)]
        if not impls:
            continue
        out.append(f"### {title} ({unit})")
        out.append("")
        out.append(f"![{title}]({plot_rel}/{plot(group, op, title, unit, impls, sizes, figures, plot_dir, work_dir)})")
        out.append("")
        out.append("| | " + " | ".join(size_label(group, s) for s in sizes) + " | growth |")
        out.append("|---|" + "---:|" * (len(sizes) + 1))
        used_notes = []
        for impl in impls:
            cells = []
            points = []
            for s in sizes:
                t = figures.get((group, op, impl, s))
                cell = fmt_time(t)
                c = cpu.get((group, op, impl, s))
                if t and c is not None:
                    cell += f" (CPU {fmt_time(c)})" if c > 0 else " (CPU 0)"
                note = notes.get((group, op, impl, s))
                if note:
                    if note not in used_notes:
                        used_notes.append(note)
                    cell += " " + "¹²³⁴⁵⁶⁷⁸⁹"[used_notes.index(note)]
                cells.append(cell)
                if t:
                    points.append((s, t))
            g = growth(points)
            cells.append("—" if g is None else f"{g:.2f}")
            out.append(f"| {impl} | " + " | ".join(cells) + " |")
        for ours in OURS[group]:
            for peer in PEERS[group]:
                if ours not in impls or peer not in impls:
                    continue
                cells = []
                for s in sizes:
                    a = figures.get((group, op, ours, s))
                    b = figures.get((group, op, peer, s))
                    cell = fmt_ratio(a / b) if a and b else "—"
                    # The processor time, and the part of it outside the
                    # kernel (a sync to disk is the kernel's work).
                    ca, cb = cpu.get((group, op, ours, s)), cpu.get((group, op, peer, s))
                    ua, ub = user.get((group, op, ours, s)), user.get((group, op, peer, s))
                    if a and b and ca and cb:
                        cell += f" (CPU {fmt_ratio(ca / cb)}"
                        cell += f", user {fmt_ratio(ua / ub)})" if ua and ub else ")"
                    cells.append(cell)
                out.append(f"| {ours} ÷ {peer} | " + " | ".join(cells) + " | |")
        out.append("")
        for i, note in enumerate(used_notes):
            out.append(f"{'¹²³⁴⁵⁶⁷⁸⁹'[i]} {note}.  ")
        if used_notes:
            out.append("")
    return out


STARTUP_PARTS = [
    ("total", "from the spawn to the end of the process"),
    ("process_start", "the spawn, the loading of the program and its libraries, up to main"),
    ("manager", "fnTqEnvMgr: the root, system/html.ini into the memory INI, the validator module"),
    ("ini_documents", "GetEnvIni of trade.ini (the user's copy) and of system/html.ini"),
    ("json_document", "GetJson of layout.json: read, validated, parsed"),
    ("reads", "50 values read (20 and 20 INI, 10 JSON; some keys missing)"),
    ("exit", "from the end of main to the end of the process"),
]


def startup_section(figures, notes):
    rows = [(op, what) for op, what in STARTUP_PARTS if ("startup", op, "host", 0) in figures]
    if not rows:
        return []
    out = [
        "## A host's start",
        "",
        "`bench/peers/StartupProbe.cpp` stands in a copy of `examples/approot` with the libraries",
        "beside it in `bin/`, as a host is installed; it is spawned again and again after one",
        "run that seeds the user's copies. The probe reads the monotonic clock at the start of",
        "`main` and after each part; the spawning program knows when it started the probe and",
        "when it ended. The *empty program* is the same program returning at the start of `main`:",
        "the libraries are linked, so they are loaded all the same. Medians, and the range over",
        "the runs.",
        "",
        "| part | host | empty program |",
        "|---|---:|---:|",
    ]
    for op, what in rows:
        cells = []
        for impl in ("host", "empty program"):
            t = figures.get(("startup", op, impl, 0))
            note = notes.get(("startup", op, impl, 0), "")
            cells.append(f"{fmt_time(t)} ({note.replace(' us', ' µs')})" if t else "")
        out.append(f"| {op.replace('_', ' ')}: {what} | " + " | ".join(cells) + " |")
    out.append("")
    return out


MEMORY_OPS = [
    ("memory_peak", "peak, from before the load to the end of the reads"),
    ("memory_loaded", "held after the load"),
    ("memory_read", "held after reading every value"),
]


def memory_section(figures):
    sizes = sorted({k[3] for k in figures if k[0] == "jsonmem"})
    if not sizes:
        return []
    impls = [i for i in OURS["json"] + PEERS["json"] if any(k[0] == "jsonmem" and k[2] == i for k in figures)]
    out = [
        "### Memory (resident bytes)",
        "",
        "Each implementation loads the file and reads every value in a process of its own",
        "(`peers_bench jsonmem`); the figures are the growth of the resident set (`VmRSS`, and",
        "`VmHWM` reset before the load) over what the process held before the load. Ratios are",
        "ours over nlohmann-json.",
        "",
        "| | " + " | ".join(f"{size_label('json', s)}" for s in sizes) + " |",
        "|---|" + "---:|" * len(sizes),
    ]
    for op, what in MEMORY_OPS:
        for impl in impls:
            cells = []
            for s in sizes:
                b = figures.get(("jsonmem", op, impl, s))
                peer = figures.get(("jsonmem", op, "nlohmann-json", s))
                cell = "—" if b is None else f"{b / 1048576:.1f} MiB"
                if b is not None and peer and impl in OURS["json"]:
                    cell += f" ({fmt_ratio(b / peer)})"
                cells.append(cell)
            out.append(f"| {impl}: {what} | " + " | ".join(cells) + " |")
    out.append("")
    return out


def own_benchmarks(folder):
    out = []
    for path in sorted(glob.glob(os.path.join(folder, "bench-*.json"))):
        name = os.path.basename(path)[len("bench-"):-len(".json")]
        try:
            with open(path, encoding="utf-8") as f:
                data = json.load(f)
        except (OSError, ValueError):
            out += [f"### {name}", "", "The program's output could not be read.", ""]
            continue
        out += [f"### {name}", "", "| benchmark | time | CPU | iterations | counters |", "|---|---:|---:|---:|---|"]
        for b in data.get("benchmarks", []):
            if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
                continue
            unit = b.get("time_unit", "ns")
            scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1}[unit]
            if "error_message" in b:
                out.append(f"| {b['name']} | skipped: {b['error_message']} | | | |")
                continue
            counters = []
            skip = {
                "name", "run_name", "run_type", "repetitions", "repetition_index", "threads", "iterations",
                "real_time", "cpu_time", "time_unit", "family_index", "per_family_instance_index",
                "aggregate_name", "aggregate_unit", "error_occurred", "error_message",
            }
            for k, v in b.items():
                if k in skip or not isinstance(v, (int, float)):
                    continue
                if k == "bytes_per_second":
                    counters.append(f"{v / 1048576:.1f} MB/s")
                elif k == "items_per_second":
                    counters.append(f"{v:,.0f} items/s")
                else:
                    counters.append(f"{k} {v:,.4g}")
            out.append(
                f"| {b['name']} | {fmt_time(b['real_time'] * scale)} | {fmt_time(b['cpu_time'] * scale)} "
                f"| {b.get('iterations', '')} | {', '.join(counters)} |"
            )
        out.append("")
    failures = read_text(os.path.join(folder, "bench-failures.txt"))
    if failures:
        out += ["Programs that failed: " + ", ".join(failures.splitlines()) + ".", ""]
    return out


def main():
    if len(sys.argv) < 4:
        sys.exit("usage: report.py <results> <markdown out> <plot folder> [reading.md]")
    results, md_path, plot_dir = sys.argv[1:4]
    reading = sys.argv[4] if len(sys.argv) > 4 else ""
    os.makedirs(plot_dir, exist_ok=True)
    work_dir = os.path.join(results, "plots")
    os.makedirs(work_dir, exist_ok=True)
    figures, notes, cpu, user = load_results(results)
    info = machine_info(results)
    wine_version = read_text(os.path.join(results, "wine-version.txt"))
    mingw_version = read_text(os.path.join(results, "mingw-version.txt"))
    wine_note = read_text(os.path.join(results, "wine-note.txt"))
    plot_rel = os.path.relpath(plot_dir, os.path.dirname(os.path.abspath(md_path)))

    out = [
        "# Performance against the peers",
        "",
        "Generated by `scripts/perf.sh` from the figures it measured; the closing reading was written",
        "after looking at them. Reproduce with:",
        "",
        "```sh",
        "scripts/perf.sh",
        "```",
        "",
        "## Machine and build",
        "",
        f"- Run: {info.get('date', '?')}" + (f"; {info['duration']}" if "duration" in info else ""),
        f"- CPU: {info.get('cpu', '?')}, `nproc` = {info.get('nproc', '?')}, memory {info.get('memory', '?')},"
        f" {info.get('kernel', '?')}",
        f"- Load average (1, 5, 15 minutes): {info.get('load', '?')}; with more runnable work than"
        " cores, wall-clock times carry noise, ratios within one run less so",
        f"- Compiler: {info.get('compiler', '?')}; CMake Release build, flags `{info.get('flags', '?')}`"
        " (the library's own `-Wall -Wextra` added)",
        f"- Windows side: {mingw_version or 'not built'}, `-std=c++17 -static -O2`; run by"
        f" {wine_version or 'wine (not run)'} with `WINEDEBUG=-all` and its own prefix under the build folder",
    ]
    if wine_note:
        out.append(f"- **Wine part missing:** {wine_note}; every other figure was measured.")
    out += [
        "",
        "## What is measured",
        "",
        "Every figure is the median of repeated runs (INI: 3 to 11 runs, fewer once about two seconds",
        "of timed work are spent; per-key writes 1 to 5 runs within about three seconds; JSON: 7 runs",
        "at 1 MB, 5 at 10 MB, 3 at 50 MB). Before every run the work file is",
        "replaced by a fresh copy of the original (a new file with a new time stamp), so no",
        "implementation gets a parsed copy of a previous run for free; that copy is not timed. All",
        "implementations read and write the same UTF-16LE files (mark FF FE, CR LF line ends), the",
        "format of this library's documents.",
        "",
        "**INI.** A file of *N* keys, 100 keys to a section (`[Section<n>]`, `Key<k>=value <i> of the",
        "settings`), *N* = " + ", ".join(f"{int(s):,}" for s in info.get("ini_sizes", "").split()) + ".",
        "",
        "- *CTqIni*: one profile-file call per key, straight on the file, as its users call it.",
        "- *CTqEnvIni*: the cached document from the manager (`GetEnvIni`); reads fill the cache,",
        "  changes stay in memory and `Save` writes them in one batch.",
        "- *Wine kernel32*: `GetPrivateProfileStringW` / `WritePrivateProfileStringW` called by a",
        "  static mingw program under wine, timed with `QueryPerformanceCounter` (the file is reached",
        "  through `Z:\\`).",
        "- *SimpleIni*: `CSimpleIniA` (`SI_NO_CONVERSION`, Unicode on) over UTF-8. It cannot read",
        "  UTF-16LE, so its load reads the file whole, converts UTF-16LE to UTF-8 with a small loop in the",
        "  benchmark and hands the text to `LoadData`; its save is `Save` to a string, converted back",
        "  to UTF-16LE with FF FE and written in place. Both conversions are inside the timed work.",
        "",
        "*Read every key once* starts from the fresh file (SimpleIni's load is inside the timing).",
        "*Read one key many times* reads the file's last key, once untimed and then 1,000 times",
        "(200 under wine); the figure is per call. *Change every key and save* gives every key a new",
        "value of the same length and saves. *Add 100 keys and save* adds `Added<j>` keys to sections",
        "spread over the file. Where the cost of one call grows with the file, only part of the",
        "calls is timed and the time scaled to the full count (an even spread over the file, marked",
        "under each table): per-key writes (20 writes, each rewriting the file) and reads under",
        "wine beyond 1,000 keys (each call is a round trip to the wine server). Everything else is",
        "done whole at every size.",
        "",
        "Saves differ in safety: this library replaces the file atomically and syncs it to disk",
        "(`fsync`) before renaming, on every write. SimpleIni is saved by a plain rewrite in place",
        "without a sync, as a program using it usually does. The JSON peers are saved both ways:",
        "*Save, written as a temporary file, synced and renamed* puts their text through the same",
        "write as `CTqEnvJson::Save` (`zv::os::WriteFileAtomic`), the like-for-like row; *Save,",
        "written in place without a sync* truncates and rewrites the file, as such a program",
        "usually does (the engine is shown both ways too; `CTqEnvJson` has only the first).",
        "",
        "**JSON.** A document of records (`\"record<n>\": {name, id, scale, visible, rect, columns[3],",
        "font{face, size}}`) grown until its text reaches the size (1 MB = 1,048,576 characters; the",
        "file holds twice that in UTF-16LE). Each run goes load, read all, read one, change, save on",
        "a fresh file.",
        "",
        "- *CTqEnvJson*: the document from the manager (`GetJson` of a document not yet loaded: the",
        "  file is decoded, checked by the validator module, then read by the engine); values through",
        "  `GetString`/`GetInt`/`GetDouble`/`GetArray` with the record as parent; `SetInt`; `Save`",
        "  (the writers' lock, one `stat` showing that no other program changed the file, the text",
        "  formatted, checked by the validator, encoded and written as below).",
        "- *engine*: the JSON engine under it used directly: the file decoded, `JsonParse` (no",
        "  validator), `JsonFindChild`/`JsonGetString`, `JsonSetInt`, `JsonWriteFormatted` encoded",
        "  as `Save` encodes (no check of the written text by the validator, no merge test).",
        "- *jsoncpp* and *nlohmann-json*: the file converted to UTF-8 and parsed; typed reads",
        "  (`asString`/`asInt`, `get<>`); saved tab-indented (`writeString`, `dump`), converted to",
        "  UTF-16LE with FF FE and written (both saves include the dump and the conversion).",
        "",
        "*Read all values* reads the ten values of every record (members by name, array items in order);",
        "the engine reads a container's text when it is first reached, so *Load and read all values*",
        "(the sum of the two medians) is the fair comparison with a parser that builds the whole tree.",
        "*Read one value* looks up the middle record by name and reads its `id`, 1,000 times untimed",
        "and then 1,000 times timed; the figure is per call (the engine's first search of an object",
        "builds its index of members: `EngineFirstSearch` of `json_bench` below gives its cost).",
        "*Change* sets `id` in every record. The implementations' read totals are compared at the",
        "end of each size and the program fails if they differ.",
        "",
        "The tables give wall-clock medians, with the median CPU time of the Linux programs in",
        "brackets (the wine program's work is largely done by the wine server, another process, so",
        "it has none); then the ratio of the wall-clock medians of ours to each peer in the same run",
        "(below 1× ours is faster). Waiting for the disk (`fsync`) is wall time but not CPU time.",
        "*growth* is the slope of log(time) over log(size) from the",
        "smallest to the largest size: about 1 is linear, 2 quadratic, 0 constant per call.",
        "",
        "## INI",
        "",
    ]
    out += group_section("ini", figures, notes, cpu, user, plot_dir, work_dir, plot_rel)
    out += group_section("inivalue", figures, notes, cpu, user, plot_dir, work_dir, plot_rel)
    out += ["## JSON", ""]
    out += group_section("json", figures, notes, cpu, user, plot_dir, work_dir, plot_rel)
    out += memory_section(figures)
    out += startup_section(figures, notes)
    if any(k[0] == "host" for k in figures):
        out += ["## The host", ""]
        out += group_section("host", figures, notes, cpu, user, plot_dir, work_dir, plot_rel)
    own = own_benchmarks(results)
    if own:
        out += [
            "## The library's own benchmarks",
            "",
            "The Google Benchmark programs under `bench/`, run by the same command in the same build.",
            "",
        ]
        out += own
    text = read_text(reading) if reading else ""
    if text:
        out += [text, ""]
    with open(md_path, "w", encoding="utf-8") as f:
        f.write("\n".join(out).rstrip() + "\n")


if __name__ == "__main__":
    main()

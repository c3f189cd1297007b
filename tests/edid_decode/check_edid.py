#!/usr/bin/env python3
"""Runs edid-decode --check on one built-in EDID table and compares its findings with the
accepted ones.

Fails (exit 1) on a warning or failure that accepted_findings.txt does not list for the item,
and on an accepted finding that edid-decode no longer reports for it. Exit 77 (skipped) when
edid-decode is not installed.
"""

import argparse
import pathlib
import shutil
import subprocess
import sys
from dataclasses import dataclass

SKIP = 77


@dataclass(frozen=True)
class Finding:
    level: str  # "warning" or "failure"
    text: str  # "<block heading>: <message>"
    details: tuple = ()  # continuation lines


@dataclass
class Accepted:
    items: set
    finding: Finding
    cause: str
    line: int


def parse_items(text, where):
    items = set()
    for part in text.split(","):
        first, _, last = part.strip().partition("-")
        try:
            lo, hi = int(first), int(last or first)
        except ValueError:
            raise SystemExit(f"{where}: bad item list {text!r}")
        items.update(range(lo, hi + 1))
    return items


def load_accepted(path):
    """Records separated by blank lines: 'items:', 'warning:' or 'failure:' (continuation lines
    indented by four blanks), 'cause:'. Lines starting with '#' are comments."""
    records, current = [], {}

    def close():
        if not current:
            return
        where = f"{path}:{current['line']}"
        for key in ("items", "level", "cause"):
            if not current.get(key):
                raise SystemExit(f"{where}: record without {key}")
        finding = Finding(current["level"], current["text"], tuple(current["details"]))
        records.append(Accepted(parse_items(current["items"], where), finding, current["cause"],
                                current["line"]))
        current.clear()

    for number, raw in enumerate(path.read_text().splitlines(), 1):
        line = raw.rstrip()
        if line.startswith("#"):
            continue
        if not line:
            close()
            continue
        current.setdefault("line", number)
        current.setdefault("details", [])
        if line.startswith("    "):
            current["details"].append(line.strip())
            continue
        key, _, value = line.partition(":")
        if key in ("warning", "failure"):
            current["level"], current["text"] = key, value.strip()
        elif key in ("items", "cause"):
            current[key] = value.strip()
        else:
            raise SystemExit(f"{path}:{number}: unknown line {line!r}")
    close()
    return records


def parse_findings(output):
    """The warnings and failures that edid-decode --check lists after its SHA line."""
    lines = output.splitlines()
    start = next((i for i, l in enumerate(lines) if l.startswith("edid-decode SHA")), None)
    if start is None or not any(l.startswith("EDID conformity:") for l in lines):
        raise SystemExit("edid-decode output has no conformity summary:\n" + output)
    findings, level, block, current = [], None, None, None
    for line in lines[start + 1:]:
        if line.startswith("EDID conformity:"):
            break
        if line in ("Warnings:", "Failures:"):
            level = "warning" if line == "Warnings:" else "failure"
            continue
        if not line.strip():
            continue
        if not line.startswith(" "):
            block = line.rstrip(":")
        elif line.startswith("    ") and current is not None:
            current["details"].append(line.strip())
        else:
            current = {"level": level, "text": f"{block}: {line.strip()}", "details": []}
            findings.append(current)
    return {Finding(f["level"], f["text"], tuple(f["details"])) for f in findings}


def describe(f):
    return "\n".join([f"  {f.level}: {f.text}"] + [f"      {d}" for d in f.details])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--item", type=int, required=True)
    parser.add_argument("--dumper", required=True, help="brimel_edid_dump executable")
    parser.add_argument("--edid-decode", default="edid-decode")
    parser.add_argument("--accepted", type=pathlib.Path, required=True)
    parser.add_argument("--work-dir", type=pathlib.Path, required=True)
    args = parser.parse_args()

    decoder = shutil.which(args.edid_decode) if args.edid_decode else None
    if not decoder:
        print("edid-decode is not installed; skipping")
        return SKIP

    args.work_dir.mkdir(parents=True, exist_ok=True)
    binary = args.work_dir / f"item{args.item:02d}.bin"
    subprocess.run([args.dumper, str(args.item), str(binary)], check=True)
    if binary.stat().st_size != 256:
        print(f"{binary}: {binary.stat().st_size} bytes, expected 256")
        return 1

    run = subprocess.run([decoder, "--check", str(binary)], capture_output=True, text=True)
    (args.work_dir / f"item{args.item:02d}.txt").write_text(run.stdout + run.stderr)
    reported = parse_findings(run.stdout)

    accepted = [a for a in load_accepted(args.accepted) if args.item in a.items]
    accepted_findings = {a.finding for a in accepted}
    unaccepted = sorted(reported - accepted_findings, key=lambda f: (f.level, f.text))
    stale = [a for a in accepted if a.finding not in reported]

    for f in unaccepted:
        print(f"item {args.item}: finding not accepted:\n{describe(f)}")
    for a in stale:
        print(f"item {args.item}: accepted at {args.accepted.name}:{a.line} but not reported:\n"
              f"{describe(a.finding)}")
    for a in accepted:
        if a.finding in reported:
            print(f"item {args.item}: accepted {a.finding.level}: {a.finding.text}\n"
                  f"      cause: {a.cause}")
    if unaccepted or stale:
        print(f"full edid-decode output: {args.work_dir / f'item{args.item:02d}.txt'}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Checks the layering: the Qt-free folders include no Qt, form or window header, and
the given programs need no Qt library at run time.

  check_layers.py --source-dir DIR [--binary FILE ...]
"""
import argparse
import pathlib
import re
import subprocess
import sys

# Folders whose code must build and run without Qt.
QT_FREE = ["device", "status", "settings", "infoframes", "edid", "session", "emulator", "cli"]
FORBIDDEN = re.compile(r'^\s*#\s*include\s*[<"](Q[A-Za-z]|qt|ui_|app/)', re.MULTILINE)


def check_sources(root):
    problems = []
    for folder in QT_FREE:
        for path in sorted((root / folder).glob("**/*")):
            if path.suffix not in {".h", ".cpp"}:
                continue
            text = path.read_text(errors="replace")
            for m in FORBIDDEN.finditer(text):
                line = text[: m.start()].count("\n") + 1
                problems.append(f"{path.relative_to(root)}:{line}: {text.splitlines()[line - 1].strip()}")
    return problems


def needed(binary):
    out = subprocess.run(["readelf", "-d", binary], check=True, capture_output=True, text=True)
    return re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", out.stdout)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--source-dir", required=True, type=pathlib.Path)
    ap.add_argument("--binary", action="append", default=[])
    args = ap.parse_args()
    problems = check_sources(args.source_dir)
    for binary in args.binary:
        libs = needed(binary)
        if not libs:
            problems.append(f"{binary}: no NEEDED entries read")
        problems += [f"{binary} needs {lib}" for lib in libs if lib.startswith("libQt")]
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

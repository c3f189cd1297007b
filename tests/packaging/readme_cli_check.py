#!/usr/bin/env python3
"""The README's command-line section against the built brimelctl. Every brimelctl
command its code blocks show runs, in the order shown, on the emulated Brimel (--demo,
with a fresh state in a scratch folder) and ends with exit code 0; where a block shows
a session ('$ ' lines), the output is exactly what the block shows; the exit-code table
is the one of the program's help.

  readme_cli_check.py README BRIMELCTL
"""
import os
import pathlib
import re
import shlex
import subprocess
import sys
import tempfile

# brimelctl and its arguments, wherever a block shows it run: at a line's start, after
# '$ ', after 'command: ' or 'ExecStart=/usr/bin/'.
INVOCATION = re.compile(r"(?:^|[\s=/])brimelctl((?: +[^\s#\"']+)*)")


def main():
    readme, brimelctl = sys.argv[1], os.path.abspath(sys.argv[2])
    text = pathlib.Path(readme).read_text()
    found = re.search(r"^## Command line.*?(?=^## )", text, re.S | re.M)
    if not found:
        print("the README has no 'Command line' section")
        return 1
    section = found.group(0)
    problems = []
    runs = 0
    with tempfile.TemporaryDirectory() as tmp:
        env = dict(os.environ, BRIMELCTL_DEMO_STATE=f"{tmp}/demo.json", BRIMELCTL_DEMO_LATENCY_MS="0")

        def run(args):
            nonlocal runs
            runs += 1
            words = shlex.split(args)
            if "--demo" not in words:
                words.insert(0, "--demo")
            out = subprocess.run([brimelctl, *words], cwd=tmp, env=env, capture_output=True,
                                 text=True, timeout=60, check=False)
            if out.returncode != 0:
                problems.append(f"'brimelctl{args}' ended with {out.returncode}: {out.stderr.strip()}")
            return out.stdout

        for lang, body in re.findall(r"^```(\w*)\n(.*?)^```", section, re.S | re.M):
            if lang == "console":
                # '$ brimelctl ...' lines, each followed by exactly what it prints.
                for session in re.split(r"^\$ ", body, flags=re.M)[1:]:
                    command, _, shown = session.partition("\n")
                    if not command.startswith("brimelctl"):
                        problems.append(f"a session runs something else: {command}")
                        continue
                    printed = run(command[len("brimelctl"):])
                    if printed != shown:
                        problems.append(f"'{command}' printed:\n{printed}instead of:\n{shown}")
            else:
                for line in body.splitlines():
                    for match in INVOCATION.finditer(line):
                        run(match.group(1))

    table = re.search(r"^### Exit codes\n(.*?)(?=^#|\Z)", section, re.S | re.M)
    readme_codes = re.findall(r"^\| (\d+) \| (.+?) \|$", table.group(1), re.M) if table else []
    help_text = subprocess.run([brimelctl, "--help"], capture_output=True, text=True, check=True).stdout
    help_table = re.search(r"^Exit status:\n(.*?)(?:\n\n|\Z)", help_text, re.S | re.M)
    help_codes = re.findall(r"^  (\d+) +(.+)$", help_table.group(1), re.M) if help_table else []
    if not help_codes or readme_codes != help_codes:
        problems.append(f"the README's exit codes {readme_codes} are not the help's {help_codes}")

    for p in problems:
        print(p)
    if not problems:
        print(f"README: {runs} brimelctl commands run as shown, the exit codes are the program's")
    return 1 if problems or runs == 0 else 0


if __name__ == "__main__":
    sys.exit(main())

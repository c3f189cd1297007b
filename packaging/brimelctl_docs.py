#!/usr/bin/env python3
"""Makes brimelctl's manual page and its bash completion from the built program, so
neither can drift from it: every command's help (found by following the command lists
of the help texts) and the setting list of 'brimelctl --demo --json settings describe'.

  brimelctl_docs.py man --brimelctl BIN --demo-state FILE --include H2M --output brimelctl.1.gz
  brimelctl_docs.py completion --brimelctl BIN --demo-state FILE --template IN --output FILE

The manual page is help2man's rendering of the top-level help with two sections made
from the program's own texts: COMMANDS (each command's help without the common footer)
and EXIT STATUS (the footer's exit-code table).
"""
import argparse
import gzip
import json
import os
import pathlib
import re
import shlex
import subprocess
import sys
import tempfile

# The section headings CLI11 prints; any other headed block after them is the footer.
SECTIONS = ("Positionals", "Options", "Subcommands")
# A word list is offered for a whole-number range only when it is this short.
MAX_RANGE = 100


class HelpError(Exception):
    pass


def run(brimelctl, *args):
    out = subprocess.run([brimelctl, *args], capture_output=True, text=True, check=False)
    if out.returncode != 0:
        raise HelpError(f"'brimelctl {' '.join(args)}' ended with {out.returncode}: {out.stderr}")
    return out.stdout


def entries(lines):
    """The entries of a help section: (head, description) per entry; an entry starts at
    a line indented by two spaces, more deeply indented lines continue it."""
    out = []
    for line in lines:
        if re.match(r"^  \S", line):
            head, _, desc = line.strip().partition("  ")
            out.append([head, desc.strip()])
        elif out:
            out[-1][1] = (out[-1][1] + " " + line.strip()).strip()
        else:
            raise HelpError(f"help line outside an entry: {line!r}")
    return [tuple(e) for e in out]


def parse_help(text):
    """Splits a help text into its description, usage, sections (raw lines per
    heading) and footer blocks."""
    blocks = re.split(r"\n[ \t]*\n", text.strip("\n"))
    first = blocks[0].split("\n")
    usage_at = next((i for i, line in enumerate(first) if line.startswith("Usage: ")), None)
    if usage_at is None:
        raise HelpError(f"no 'Usage:' line in:\n{text}")
    help_ = {
        "description": " ".join(line.strip() for line in first[:usage_at]).strip(),
        "usage": first[usage_at][len("Usage: "):].strip(),
        "sections": {},
        "footer": [],
    }
    for block in blocks[1:]:
        heading, _, rest = block.partition("\n")
        if heading.endswith(":") and heading[:-1] in SECTIONS and not help_["footer"]:
            help_["sections"][heading[:-1]] = rest.split("\n")
        else:
            help_["footer"].append(block)
    return help_


def command_tree(brimelctl, path=(), tree=None):
    """Every command path with its parsed help, each command before its own commands,
    the top level (the empty path) first."""
    tree = {} if tree is None else tree
    help_ = parse_help(run(brimelctl, *path, "--help"))
    tree[path] = help_
    for name, _ in entries(help_["sections"].get("Subcommands", [])):
        command_tree(brimelctl, path + (name,), tree)
    return tree


# ---------------------------------------------------------------- the manual page


def man_help_text(tree):
    """The top-level help rearranged for help2man: the options as they are, then a
    *Commands* section (each command's usage as a sub-heading, its description,
    positionals and options) and an *Exit status* section, both from the program."""
    top = tree[()]
    footer = top["footer"]
    headed = [b for b in footer if b.split("\n", 1)[0].endswith(":")]
    plain = [b for b in footer if b not in headed]
    exit_blocks = [b for b in headed if b.split("\n", 1)[0] == "Exit status:"]
    if len(exit_blocks) != 1:
        raise HelpError("the top-level help has no 'Exit status:' table")
    other = [b for b in headed if b not in exit_blocks]
    if other:
        raise HelpError(f"unexpected footer sections: {other}")

    out = [top["description"], "Usage: " + top["usage"], ""]
    for name in SECTIONS:
        if name in top["sections"] and name != "Subcommands":
            out += [name + ":", *top["sections"][name], ""]
    out += ["*Commands*", *plain, ""]
    for path, help_ in tree.items():
        if not path:
            continue
        out.append(help_["usage"] + ":")
        out += ["  " + help_["description"], ""]
        for name in ("Positionals", "Options"):
            for line in help_["sections"].get(name, []):
                if not re.match(r"^  -h,--help\b", line):
                    out.append(line)
        for block in help_["footer"]:
            if block not in footer:
                out += ["", *("  " + line.strip() for line in block.split("\n"))]
        out.append("")
    out += ["*Exit status*", *exit_blocks[0].split("\n")[1:], ""]
    return "\n".join(out)


def make_man(args):
    tree = command_tree(args.brimelctl)
    with tempfile.TemporaryDirectory() as tmp:
        help_file = pathlib.Path(tmp, "help.txt")
        help_file.write_text(man_help_text(tree))
        # help2man runs a program: this one answers --help with the rearranged text and
        # --version with brimelctl's own.
        stand_in = pathlib.Path(tmp, "brimelctl")
        stand_in.write_text(
            "#!/bin/sh\n"
            f'if [ "$1" = --version ]; then exec {shlex.quote(str(args.brimelctl))} --version; fi\n'
            f"cat {shlex.quote(str(help_file))}\n")
        stand_in.chmod(0o755)
        page = pathlib.Path(tmp, "brimelctl.1")
        env = dict(os.environ, LC_ALL="C.UTF-8")
        subprocess.run([args.help2man, "--no-info", "--section=1", "--include", args.include,
                        "--output", str(page), str(stand_in)], check=True, env=env)
        text = page.read_text()
    # A command's sub-heading is its usage line; help2man keeps the colon that marked it.
    text = re.sub(r'^(\.SS "brimelctl .*):"$', r'\1"', text, flags=re.MULTILINE)
    for path in tree:
        if path and f'.SS "{tree[path]["usage"]}"' not in text:
            raise HelpError(f"the page has no heading for {' '.join(path)}")
    for section in ("COMMANDS", '"EXIT STATUS"'):
        if f"\n.SH {section}\n" not in text:
            raise HelpError(f"the page has no {section} section")
    with open(args.output, "wb") as raw:
        # No name and time in the gzip header: the same page gives the same file.
        with gzip.GzipFile(filename="", mode="wb", compresslevel=9, fileobj=raw, mtime=0) as gz:
            gz.write(text.encode())


# ---------------------------------------------------------------- the completion


def value_kind(kind_text, name, description):
    """What to offer for an option's value or a positional, from its help entry: the
    type's choices or short range, files, setting names or NAME=VALUE assignments,
    or '-' (nothing to offer)."""
    choices = re.search(r"\{([^}]*)\}", kind_text)
    if choices:
        return "words " + " ".join(c.strip() for c in choices.group(1).split(","))
    span = re.search(r"\bINT\b.*\[(-?\d+) - (-?\d+)\]", kind_text)
    if span and 0 <= int(span.group(2)) - int(span.group(1)) < MAX_RANGE:
        return "words " + " ".join(str(n) for n in range(int(span.group(1)), int(span.group(2)) + 1))
    if name == "NAME=VALUE":
        return "assignments"
    if name == "NAME":
        return "names"
    if name == "FILE" or re.search(r"\bfile\b", description, re.IGNORECASE):
        return "files"
    return "-"


def bash_word(text):
    return shlex.quote(text)


def completion_data(tree, settings):
    subs, opts, args, repeat = {}, {}, {}, set()
    for path, help_ in tree.items():
        key = " ".join(("brimelctl",) + path)
        names = [n for n, _ in entries(help_["sections"].get("Subcommands", []))]
        if names:
            subs[key] = " ".join(names)
        own = []
        for head, desc in entries(help_["sections"].get("Options", [])):
            spelled, _, kind_text = head.partition(" ")
            forms = spelled.split(",")
            own += forms
            if kind_text:  # the option takes a value
                kind = value_kind(kind_text, "", desc)
                for form in forms:
                    args[f"{key}|{form}"] = kind
        # An option a parent has too (--help) is offered once, from the parent.
        inherited = {o for n in range(len(path)) for o in opts.get(" ".join(("brimelctl",) + path[:n]), "").split()}
        own = [o for o in own if o not in inherited]
        if own:
            opts[key] = " ".join(own)
        positionals = entries(help_["sections"].get("Positionals", []))
        if positionals:
            head, desc = positionals[0]
            name, _, kind_text = head.partition(" ")
            args[f"{key}|#"] = value_kind(kind_text, name, desc)
            if re.search(r"(^|\s)\.\.\.(\s|$)", kind_text):
                repeat.add(key)

    def assoc(name, mapping):
        lines = [f"declare -gA {name}=("]
        lines += [f"    [{bash_word(k)}]={bash_word(v)}" for k, v in mapping.items()]
        return "\n".join(lines + [")"])

    every = [s for s in settings["settings"]]
    writable = [s["name"] for s in every if s.get("writable")]
    values = {s["name"]: " ".join(v["name"] for v in s["values"]) for s in every}
    return "\n".join([
        "# The commands under each command.",
        assoc("_brimelctl_subs", subs),
        "# Each command's own options (a parent's options are valid below it too).",
        assoc("_brimelctl_opts", opts),
        "# What a value is, per 'command|option' ('command|#': its positionals): 'words ...',",
        "# 'files', 'names' (settings), 'assignments' (NAME=VALUE) or '-' (anything).",
        assoc("_brimelctl_args", args),
        "# Commands whose positional may repeat.",
        assoc("_brimelctl_repeat", {k: "1" for k in sorted(repeat)}),
        "# Every setting, the writable ones, and each setting's values.",
        f"declare -g _brimelctl_settings={bash_word(' '.join(s['name'] for s in every))}",
        f"declare -g _brimelctl_writable={bash_word(' '.join(writable))}",
        assoc("_brimelctl_values", values),
    ])


def make_completion(args):
    tree = command_tree(args.brimelctl)
    settings = json.loads(run(args.brimelctl, "--demo", "--json", "settings", "describe"))
    version = run(args.brimelctl, "--version").strip()
    template = pathlib.Path(args.template).read_text()
    if template.count("@DATA@") != 1 or template.count("@VERSION@") != 1:
        raise HelpError("the template needs one @DATA@ and one @VERSION@")
    text = template.replace("@VERSION@", version).replace("@DATA@", completion_data(tree, settings))
    pathlib.Path(args.output).write_text(text)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("what", choices=["man", "completion"])
    ap.add_argument("--brimelctl", required=True)
    ap.add_argument("--demo-state", required=True,
                    help="the demo's state file for --demo (kept in the build tree)")
    ap.add_argument("--include", help="help2man include file (man)")
    ap.add_argument("--help2man", default="help2man")
    ap.add_argument("--template", help="the completion script with @DATA@ and @VERSION@")
    ap.add_argument("--output", required=True)
    args = ap.parse_args()
    # --demo locks and keeps a state file: never the user's own.
    os.environ["BRIMELCTL_DEMO_STATE"] = args.demo_state
    try:
        (make_man if args.what == "man" else make_completion)(args)
    except (HelpError, subprocess.CalledProcessError) as e:
        print(f"brimelctl_docs.py: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

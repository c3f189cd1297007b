#!/usr/bin/env bash
# brimelctl's generated manual page: man renders it without a warning, its sections
# come in the usual order, every command the program has (found through its help) has
# its usage line as a heading, and every exit code of the program's help is explained.
#   man_check.sh PAGE BRIMELCTL
set -uo pipefail
page=$1
brimelctl=$2
command -v man >/dev/null || { echo "skipped: man is not installed"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0

MANWIDTH=200 man --warnings -l "$page" >"$tmp/page.txt" 2>"$tmp/warnings.txt" || { echo "man failed"; status=1; }
if [ -s "$tmp/warnings.txt" ]; then echo "man warns:"; cat "$tmp/warnings.txt"; status=1; fi

sections=$(zcat "$page" | sed -n 's/^\.SH "\{0,1\}\([^"]*\)"\{0,1\}$/\1/p' | paste -sd,)
want="NAME,SYNOPSIS,DESCRIPTION,OPTIONS,COMMANDS,EXIT STATUS,ENVIRONMENT,FILES,EXAMPLES,SEE ALSO"
[ "$sections" = "$want" ] || { echo "sections: $sections; expected: $want"; status=1; }

# Every command, its own commands after it, as the help lists them.
commands=("")
count=0
while ((${#commands[@]})); do
    path=${commands[0]}
    commands=("${commands[@]:1}")
    # shellcheck disable=SC2086 # the path is words
    help=$("$brimelctl" $path --help)
    if [ -n "$path" ]; then
        usage=$(sed -n 's/^Usage: //p' <<<"$help")
        grep -qxF "   $usage" "$tmp/page.txt" || { echo "no heading for: $usage"; status=1; }
        count=$((count + 1))
    fi
    for sub in $(sed -n '/^Subcommands:$/,/^$/s/^  \([a-z0-9-]*\) .*/\1/p' <<<"$help"); do
        commands+=("${path:+$path }$sub")
    done
done
((count >= 11)) || { echo "only $count commands found in the help"; status=1; }

# The exit codes: each line of the help's table is a tagged line of EXIT STATUS.
codes=$("$brimelctl" --help | sed -n '/^Exit status:$/,/^$/s/^  \([0-9]*\) *\(.*\)/\1 \2/p')
[ -n "$codes" ] || { echo "the help lists no exit codes"; status=1; }
exit_section=$(sed -n '/^EXIT STATUS$/,/^ENVIRONMENT$/p' "$tmp/page.txt" | sed -E 's/^ +//; s/ +/ /g')
while read -r code text; do
    grep -qxF "$code $text" <<<"$exit_section" || { echo "EXIT STATUS lacks: $code $text"; status=1; }
done <<<"$codes"

[ "$status" -eq 0 ] && echo "brimelctl(1): renders cleanly, $count commands, every exit code"
exit "$status"

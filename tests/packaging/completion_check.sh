#!/usr/bin/env bash
# brimelctl's generated bash completion, loaded as bash-completion loads it: what a TAB
# offers after a few command lines, the words split at '=' as bash splits them, and the
# values of a setting checked against the built program's own setting list.
#   completion_check.sh COMPLETION BRIMELCTL
set -uo pipefail
completion=$1
brimelctl=$2
framework=/usr/share/bash-completion/bash_completion
[ -f "$framework" ] || { echo "skipped: bash-completion is not installed"; exit 77; }
# shellcheck source=/dev/null
source "$framework"
# shellcheck source=/dev/null
source "$completion"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0

# Outside a real TAB, compopt only notes that no space is to follow the completion.
compopt() { [ "$*" = "-o nospace" ] && echo nospace >"$tmp/compopt"; }

# What the completion offers at the end of LINE, space-separated ("+nospace" after it
# when no space is to follow).
offers() {
    COMP_LINE=$1
    COMP_POINT=${#COMP_LINE}
    # bash breaks words at spaces and, by COMP_WORDBREAKS, at '='.
    read -ra COMP_WORDS <<<"${COMP_LINE//=/ = }"
    [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    rm -f "$tmp/compopt"
    _brimelctl brimelctl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    echo "${COMPREPLY[*]}$([ -f "$tmp/compopt" ] && echo " +nospace")"
}

expect() {
    local line=$1 want=$2 got
    got=$(offers "$line")
    if [ "$got" != "$want" ]; then
        echo "'$line<TAB>' offers '$got', expected '$want'"
        status=1
        return 1
    fi
}

expect "brimelctl " "list doctor status watch get set settings edid infoframe matrix reset"
expect "brimelctl set csc" "csc-out= csc-out-downscaled= +nospace"
expect "brimelctl set csc-out=ycbcr4" "ycbcr444 ycbcr422 ycbcr420"
expect "brimelctl --demo set deep-color=8bit act" "active-input= +nospace"
expect "brimelctl set edid-l" ""
expect "brimelctl get edid-l" "edid-lock"
expect "brimelctl --wait 30 edid " "read upload builtin decode check mode"
expect "brimelctl edid mode c" "custom"
expect "brimelctl edid mode custom " ""
expect "brimelctl edid read --format " "bin hex"
expect "brimelctl edid read --format=h" "hex"
expect "brimelctl edid builtin 2" "2 20 21 22 23 24 25"
expect "brimelctl status -" "--infoframes -h --help --version --json --device --demo --wait"
(cd "$tmp" && touch living-room.json && expect "brimelctl settings load liv" "living-room.json") || status=1

# Every value of csc-out, as the program lists them.
values=$(BRIMELCTL_DEMO_STATE=$tmp/demo.json "$brimelctl" --demo --json settings describe |
         python3 -c 'import json, sys
print(" ".join(v["name"] for s in json.load(sys.stdin)["settings"] if s["name"] == "csc-out" for v in s["values"]))')
[ -n "$values" ] || { echo "brimelctl lists no values of csc-out"; status=1; }
expect "brimelctl set csc-out=" "$values"

[ "$status" -eq 0 ] && echo "completion: every line offers what brimelctl takes"
exit "$status"

#!/usr/bin/env bash
# brimelctl's start-up against /bin/true, and `--demo status`, `get` and `set` with 1 ms of
# device latency per transaction against their transaction floor, measured side by side
# with hyperfine (Debian package hyperfine). Prints each command's mean and what it costs
# above its floor plus the program's own start-up.
#   bench/cli_bench.sh [build folder]      (default: build/)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$here/build}
ctl=$build/cli/brimelctl
command -v hyperfine >/dev/null || { echo "hyperfine is not installed (apt install hyperfine)" >&2; exit 2; }
[ -x "$ctl" ] || { echo "no $ctl: build the brimelctl target first" >&2; exit 2; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export BRIMELCTL_DEMO_STATE=$scratch/demo.json BRIMELCTL_DEMO_LATENCY_MS=1
"$ctl" --demo set htpc=off >/dev/null

# Transactions per command (the floor is one latency each):
#   get: the settings-block read.
#   status: the settings-block read, the firmware read, the status record, the bracket,
#           six infoframes, the display name, the bracket: 12.
#   set htpc=on from off: the block read, the register write, the block read back: 3.
hyperfine -N --warmup 10 --runs 200 --export-json "$scratch/start.json" \
    true "$ctl --version" >/dev/null
hyperfine -N --warmup 5 --runs 100 --export-json "$scratch/cmds.json" \
    "$ctl --demo get" "$ctl --demo status" >/dev/null
hyperfine -N --warmup 5 --runs 100 --export-json "$scratch/set.json" \
    --prepare "$ctl --demo set htpc=off" "$ctl --demo set htpc=on" >/dev/null

python3 - "$scratch" <<'PY'
import json, sys, pathlib
d = pathlib.Path(sys.argv[1])
def means(name):
    return {r["command"]: (r["mean"] * 1000, r["stddev"] * 1000, r["median"] * 1000)
            for r in json.loads((d / name).read_text())["results"]}
start = means("start.json")
cmds = {**means("cmds.json"), **means("set.json")}
true_ms = start["true"][0]
version = next(v for k, v in start.items() if k.endswith("--version"))
startup = version[0]
print(f"start-up: /bin/true {true_ms:.2f} ms, brimelctl --version {startup:.2f} ms "
      f"(+{startup - true_ms:.2f} ms over true; goal: under 10 ms)")
floors = {"get": 1, "status": 12, "set htpc=on": 3}
for cmd, (mean, sd, median) in cmds.items():
    key = next(k for k in floors if cmd.endswith(k))
    floor = floors[key]
    budget = 1.3 * floor + startup
    print(f"--demo {key}: mean {mean:.2f} ± {sd:.2f} ms, median {median:.2f} ms; floor {floor} ms "
          f"({floor} transactions); {mean / (floor + startup):.2f} x (floor + start-up); "
          f"goal 1.3 x floor + start-up = {budget:.2f} ms: {'met' if mean <= budget else 'NOT met'}")
PY

#!/usr/bin/env bash
# Saves a picture of the window, against the simulated instrument, without a display:
#   scripts/screenshot.sh OUT.png [PAGE]     (PAGE: Setup, Screens, "User Program", ...)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-halvern.png}
page=${2:-}
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac

scripts/bootstrap.sh >&2
cmake --preset default >/dev/null
cmake --build --preset default --target halvern >&2

args=(--simulate --screenshot "$out")
[ -n "$page" ] && args+=(--page "$page")
# A private settings folder, so a screenshot never moves the user's window.
export XDG_CONFIG_HOME="$(mktemp -d)"
trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT
xvfb-run -a -s "-screen 0 1024x768x24" build/default/src/halvern "${args[@]}"
echo "$out"

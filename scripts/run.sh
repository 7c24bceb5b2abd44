#!/usr/bin/env bash
# Installs what is missing, builds, and runs Halvern.
#  - With a display: the window, against the instrument when its bridge is attached (or
#    HALVERN_PORT names a device), otherwise against the simulated instrument.
#  - Without a display: a short demo of halvern-cli against the simulated instrument (the
#    setup, the screens and the program read into files, a screen drawn to a PNG).
# Extra arguments go to the program started.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh >&2
cmake --preset default >/dev/null
cmake --build --preset default --target halvern halvern-cli halvern-sim >&2

bin=build/default/src
instrument_attached() {
  [ -n "${HALVERN_PORT:-}" ] || "$bin/halvern-cli" ports 2>/dev/null | grep -qE '^\*|/dev/zelka40100-'
}

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  if instrument_attached; then
    exec "$bin/halvern" "$@"
  fi
  echo "No instrument attached: using the simulated instrument." >&2
  exec "$bin/halvern" --simulate "$@"
fi

echo "No display: a demo of halvern-cli against the simulated instrument." >&2
if [ $# -gt 0 ]; then
  exec "$bin/halvern-cli" --simulate "$@"
fi
cli="$bin/halvern-cli"
out=$(mktemp -d)
set -x
"$cli" --simulate line CMD225 --read 5
"$cli" --simulate get setup "$out/demo.set"
"$cli" --simulate get screens "$out/demo.scr"
"$cli" screens render "$out/demo.scr" "$out/screen1.png" --screen 1
"$cli" --simulate get program "$out/demo.pgm"
"$cli" program show "$out/demo.pgm"
{ set +x; } 2>/dev/null
echo "The demo's files are in $out" >&2

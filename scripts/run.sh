#!/usr/bin/env bash
# Installs what is missing, builds, and runs Halvern: against the instrument when its bridge is
# attached (or HALVERN_PORT names a device), otherwise against the simulated instrument.
# Extra arguments go to halvern-cli (default: the demo).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh >&2
cmake --preset default >/dev/null
cmake --build --preset default --target halvern-cli halvern-sim >&2

cli=build/default/src/halvern-cli
args=("$@")
[ ${#args[@]} -eq 0 ] && args=(demo)

if [ -n "${HALVERN_PORT:-}" ] || "$cli" ports | grep -q '^\*'; then
  exec "$cli" "${args[@]}"
fi
echo "No instrument attached: using the simulated instrument." >&2
exec "$cli" --simulate "${args[@]}"

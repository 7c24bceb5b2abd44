#!/usr/bin/env bash
# Builds the Debian package: configures and builds the release preset, runs CPack's DEB
# generator in it and prints the package's path.
#   scripts/package.sh            then: sudo apt install ./build/release/halvern_3.0_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh >&2

cmake --preset release >&2
cmake --build --preset release -j "${HALVERN_JOBS:-2}" >&2

cd build/release
rm -f halvern_*.deb
cpack -G DEB >&2
shopt -s nullglob
debs=(halvern_*.deb)
if [ ${#debs[@]} -ne 1 ]; then
  echo "package.sh: cpack made ${#debs[@]} packages, not one" >&2
  exit 1
fi
echo "$PWD/${debs[0]}"

#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the fuzzing harnesses and the screenshots
# need, and the Debian package (dpkg-dev): the report's face (fonts-liberation2), the PDF readers
# its tests use (poppler-utils), the S-record writer of the firmware tests (binutils), the CSV
# reader the records tests check their CSV with (python3). `locales`
# gives the locale sources from which the tests make a decimal-comma locale
# (scripts/comma-locale.sh).
# Does nothing when they are all present already.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  clang-14 libclang-rt-14-dev
  qt6-base-dev qt6-serialport-dev libgl-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  xvfb xauth fonts-dejavu-core fonts-dejavu-extra
  qt6-svg-dev desktop-file-utils appstream groff-base bash-completion dpkg-dev locales
  fonts-liberation2 poppler-utils binutils python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "bootstrap: installing ${missing[*]}" >&2
sudo=()
if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"

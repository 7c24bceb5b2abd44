#!/usr/bin/env bash
# Makes a locale whose numbers have a decimal comma (German, de_DE.UTF-8) for the tests that run
# Halvern under one, compiled with localedef into DIR (default build/comma-locale) without root
# and without touching the system's locales:
#
#   scripts/comma-locale.sh [DIR]     then   LOCPATH=DIR LC_ALL=de_DE.UTF-8 ...
#
# Does nothing when DIR holds it already (a few seconds the first time). Prints DIR on success;
# exits 1 with the reason when the locale cannot be made (localedef comes with libc-bin, the
# locale sources with the Debian package `locales`, which scripts/bootstrap.sh installs).
set -euo pipefail

name=de_DE.UTF-8
dir=${1:-"$(dirname "$0")/../build/comma-locale"}

if [ ! -f "$dir/$name/LC_NUMERIC" ]; then
  i18n=${I18NPATH:-/usr/share/i18n}
  command -v localedef >/dev/null ||
    { echo "comma-locale: localedef is missing (Debian package libc-bin)" >&2; exit 1; }
  [ -f "$i18n/locales/de_DE" ] ||
    { echo "comma-locale: $i18n/locales/de_DE is missing (Debian package locales)" >&2; exit 1; }
  ls "$i18n/charmaps/UTF-8"* >/dev/null 2>&1 ||
    { echo "comma-locale: $i18n/charmaps/UTF-8 is missing (Debian package locales)" >&2; exit 1; }
  mkdir -p "$dir"
  # Made aside and moved in whole, so that runs at the same time never see half a locale.
  work=$(mktemp -d "$dir/.making.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  if ! out=$(localedef -i de_DE -f UTF-8 "$work/$name" 2>&1); then
    echo "comma-locale: localedef -i de_DE -f UTF-8 failed: $out" >&2
    exit 1
  fi
  mv -T "$work/$name" "$dir/$name" 2>/dev/null || true  # another run was quicker: keep its
  [ -f "$dir/$name/LC_NUMERIC" ] ||
    { echo "comma-locale: $dir/$name was not made" >&2; exit 1; }
fi
echo "$dir"

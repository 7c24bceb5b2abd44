#!/usr/bin/env bash
# Installs what is missing, checks every C++ file's format, builds, and runs the whole test
# suite: everything under the debug build, the end-to-end and window tests once more on a
# desktop whose language writes a decimal comma, then the core and simulator tests again under
# AddressSanitizer and UBSan, then each fuzzing harness briefly.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh

# Every C++ file as .clang-format writes it.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

cmake --preset default >/dev/null
cmake --build --preset default
QT_QPA_PLATFORM=offscreen ctest --preset default -j2

# halvern-cli and the window as a German desktop starts them (Qt sets the locale from LANG, LC_ALL
# and LC_NUMERIC at start): the numbers on the wire and in the files keep their point. The locale
# is made into the build folder when the system has none.
comma_locales=$(scripts/comma-locale.sh "$PWD/build/default/comma-locale")
LOCPATH=$comma_locales LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 LC_NUMERIC=de_DE.UTF-8 \
  QT_QPA_PLATFORM=offscreen ctest --preset default -j2 -L '^(e2e|widget)$'

cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2

# Every fuzzing harness for a few seconds over its seeds (clang, libFuzzer, ASan and UBSan).
scripts/fuzz.sh 3

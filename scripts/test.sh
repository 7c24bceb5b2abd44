#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: everything under the debug
# build, then the core and simulator tests again under AddressSanitizer and UBSan, then each
# fuzzing harness briefly.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh

cmake --preset default >/dev/null
cmake --build --preset default
QT_QPA_PLATFORM=offscreen ctest --preset default -j2

cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2

# Every fuzzing harness for a few seconds over its seeds (clang, libFuzzer, ASan and UBSan).
scripts/fuzz.sh 3

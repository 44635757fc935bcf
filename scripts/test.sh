#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: the suite as built (with the
# end-to-end and install checks), the Debian package check, the suite again under
# AddressSanitizer + UndefinedBehaviorSanitizer, and a short fuzzing run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j 2 --timeout 600)

packaging/check-deb.sh build >/dev/null

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPIANO_SANITIZE=ON >/dev/null
cmake --build build-sanitize -j "$jobs"
(cd build-sanitize && ASAN_OPTIONS=abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --output-on-failure -j 2 --timeout 900 -E '^(e2e|packaging)')

fuzz/run.sh "${FUZZ_SECONDS:-20}"

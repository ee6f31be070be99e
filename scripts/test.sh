#!/usr/bin/env bash
# Builds everything and runs the whole test suite headless: the optimised build, then the unit
# tests with leak checks, and the GUI and end-to-end tests, again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and last the fuzzers for a minute each. Exits non-zero on any
# failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

scripts/build.sh build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
scripts/build.sh build/asan -DCMAKE_BUILD_TYPE=Debug -DQARVELLE_SANITIZE=ON

# Loopback test servers must be reached directly.
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

status=0
echo "== tests (optimised build)"
(cd build/release && ctest --output-on-failure -j "$(nproc)") || status=1
echo "== unit tests (AddressSanitizer with leak checks, UndefinedBehaviorSanitizer)"
(cd build/asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    ctest -L unit --output-on-failure -j "$(nproc)") || status=1
# GTK and WebKit keep process-wide allocations until exit, so leaks are not checked here.
echo "== GUI and end-to-end tests (AddressSanitizer, UndefinedBehaviorSanitizer)"
(cd build/asan && ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 \
    ctest -L 'gui|e2e' --output-on-failure -j "$(nproc)") || status=1
echo "== fuzzing (libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer, 60 s a target)"
scripts/fuzz.sh 60 || status=1
exit $status

#!/usr/bin/env bash
# Builds what the benchmarks need (build/bench: the program and bench/ with the same flags),
# runs every benchmark on this machine and prints one table; the table is also written to
# build/bench/results.md. Options go to bench.py (--rounds N, --sizes 64,512).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build/bench -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQARVELLE_BUILD_TESTS=OFF \
    -DQARVELLE_BUILD_BENCH=ON
exec python3 bench/bench.py build/bench --markdown build/bench/results.md "$@"

#!/usr/bin/env bash
# Builds the program and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
exec build/release/qarvelle-login

#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# each for SECONDS (default 60), starting from the committed seeds; every kept regression input
# under fuzz/regressions/TARGET/ is run first. A crash leaves its input in build/fuzz/artifacts/
# and makes the command fail. Prints the executions of each target.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(login_text bridge command_line document_view)

CC=clang CXX=clang++ scripts/build.sh build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQARVELLE_FUZZ=ON -DQARVELLE_BUILD_TESTS=OFF

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
work=$(mktemp -d /tmp/qarvelle-fuzz.XXXXXX)
trap 'rm -rf "$work"' EXIT

run_target() {
    local target=$1 binary=build/fuzz/fuzz/fuzz_$1 log=$work/$1.log
    local artifacts=$PWD/build/fuzz/artifacts/$1/
    mkdir -p "$artifacts" "$work/$1-corpus"
    if compgen -G "fuzz/regressions/$target/*" >/dev/null; then
        "$binary" -runs=1 "$PWD"/fuzz/regressions/"$target"/* >"$log" 2>&1 ||
            { echo "FAIL $target: a kept regression input fails again"; tail -30 "$log"; return 1; }
    fi
    if ! "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
        -artifact_prefix="$artifacts" "$work/$1-corpus" "$PWD/fuzz/corpus/$target" >"$log" 2>&1; then
        echo "FAIL $target:"
        grep -E "ERROR|SUMMARY|artifact" "$log" | head -20
        return 1
    fi
    echo "$target: $(grep -Eo 'Done [0-9]+ runs in [0-9]+ second' "$log" | tail -1)," \
        "corpus $(ls "$work/$1-corpus" | wc -l) new inputs"
}

status=0
pids=()
jobs=$(nproc)
for target in "${targets[@]}"; do
    run_target "$target" &
    pids+=($!)
    if [[ ${#pids[@]} -ge $jobs ]]; then
        wait "${pids[0]}" || status=1
        pids=("${pids[@]:1}")
    fi
done
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
exit $status

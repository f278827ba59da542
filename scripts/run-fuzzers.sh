#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for a bounded time.
# Usage: scripts/run-fuzzers.sh [seconds per target, default 30]
set -eu
cd "$(dirname "$0")/.."
SECONDS_EACH="${1:-30}"
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DFLEETWARDEN_BUILD_FUZZ=ON -DFLEETWARDEN_BUILD_GUI=OFF -DFLEETWARDEN_BUILD_TESTS=OFF \
    -DFLEETWARDEN_BUILD_TOOLS=OFF -DFLEETWARDEN_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz
for fuzzer in build-fuzz/bin/*Fuzz; do
    name=$(basename "$fuzzer")
    corpus="build-fuzz/corpus/$name"
    mkdir -p "$corpus"
    [ -d "fuzz/corpus/$name" ] && cp -n fuzz/corpus/"$name"/* "$corpus"/ 2>/dev/null || true
    echo "== $name for ${SECONDS_EACH}s"
    log="build-fuzz/$name.log"
    if ! "$fuzzer" -max_total_time="$SECONDS_EACH" "$corpus" >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "$name found a failure (input saved as crash-* in $(pwd))" >&2
        exit 1
    fi
    tail -n 1 "$log"
done

#!/bin/sh
# The longer fuzz run: builds the fuzz targets, runs each for SECONDS (default
# 600), then merges what it found into the committed corpus with libFuzzer's
# -merge=1, so the corpus keeps only inputs that add coverage. Commit the
# corpus afterwards. Prints each target's executions.
#   tools/fuzz-long.sh [SECONDS]
set -e
cd "$(dirname "$0")/.."
seconds="${1:-600}"
tools/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
for fuzzer in build/fuzz/bin/*_fuzzer*; do
    name=$(basename "$fuzzer")
    corpus="tests/fuzz/corpus/$name"
    found="build/fuzz/fuzz-long/$name"
    echo "== $name, $seconds s =="
    tests/fuzz/run-fuzzer.sh "$fuzzer" "$seconds" "$found" "$corpus"
    mkdir -p "$corpus"
    "$fuzzer" -merge=1 "$corpus" "$found" >/dev/null 2>&1
    echo "corpus: $(ls "$corpus" | wc -l) inputs"
done

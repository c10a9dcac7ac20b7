#!/bin/sh
# Builds and runs every test: the native core under AddressSanitizer with UBSan
# and under ThreadSanitizer, a short run of every fuzz target, then the Windows
# tests, the DLL table checks and the end-to-end tests under Wine. Exits
# nonzero when any test failed.
cd "$(dirname "$0")/.." || exit 2
tools/install-deps.sh || exit 2

failed=""
for preset in native-asan native-tsan fuzz windows; do
    echo "== $preset =="
    if cmake --preset "$preset" >/dev/null &&
        cmake --build --preset "$preset" &&
        ctest --preset "$preset"; then
        :
    else
        failed="$failed $preset"
    fi
done

if [ -n "$failed" ]; then
    echo "FAILED:$failed"
    exit 1
fi
echo "all tests passed (native-asan, native-tsan, fuzz, windows)"

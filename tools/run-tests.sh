#!/bin/sh
# Builds and runs every test: the native core under AddressSanitizer with UBSan
# and under ThreadSanitizer, a short run of every fuzz target, the Windows
# tests, the DLL table checks and the end-to-end tests under Wine; then the DLLs
# and every Windows test built again with clang and lld, their table checks and
# the end-to-end tests against the clang-built DLLs, clang-tidy over the
# product code, and the formatting of every C and C++ file. Exits nonzero when
# any test failed.
cd "$(dirname "$0")/.." || exit 2
tools/install-deps.sh || exit 2

failed=""
for preset in native-asan native-tsan fuzz windows windows-clang; do
    echo "== $preset =="
    if cmake --preset "$preset" >/dev/null &&
        cmake --build --preset "$preset" &&
        ctest --preset "$preset"; then
        :
    else
        failed="$failed $preset"
    fi
done

echo "== clang-tidy =="
tools/clang-tidy.sh build/windows-clang || failed="$failed clang-tidy"

echo "== format =="
tools/check-format.sh || failed="$failed format"

if [ -n "$failed" ]; then
    echo "FAILED:$failed"
    exit 1
fi
echo "all tests passed (native-asan, native-tsan, fuzz, windows, windows-clang, clang-tidy, format)"

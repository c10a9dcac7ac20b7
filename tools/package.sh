#!/bin/sh
# Builds the release package: dist/kolmar-keypad-drivers-<version>.zip with both
# DLLs, the host simulator, the installation section of the README, the C
# header, import libraries and example host, and the SHA-256 sums of those
# files, plus the ZIP's own sum beside it.
set -e
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target Kolmar32Keys Kolmar15Keys host_simulator

version=$(sed -n 's/^project(KolmarKeypadDrivers VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name="kolmar-keypad-drivers-$version"
stage="build/package/$name"
rm -rf build/package
mkdir -p "$stage" dist

cp build/windows/bin/Kolmar32Keys.dll build/windows/bin/Kolmar15Keys.dll \
    build/windows/bin/host_simulator.exe "$stage/"
# The README's installation section, up to the next section of the same level.
awk '/^## Installing the DLLs in a host/ { keep = 1 }
     keep && /^## / && !/^## Installing/ { exit }
     keep { print }' README.md > "$stage/INSTALL.md"
(cd "$stage" && sha256sum Kolmar32Keys.dll Kolmar15Keys.dll host_simulator.exe INSTALL.md > SHA256SUMS)

# For host engineers: the C header, both import libraries of each DLL (MinGW
# and Microsoft linker), the example host and the calling contract it follows.
cmake --build --preset windows --target import_libraries
mkdir -p "$stage/include" "$stage/lib" "$stage/examples" "$stage/docs"
cp include/qp240_remote.h "$stage/include/"
cp build/windows/import-libraries/libKolmar32Keys.dll.a build/windows/import-libraries/Kolmar32Keys.lib \
    build/windows/import-libraries/libKolmar15Keys.dll.a build/windows/import-libraries/Kolmar15Keys.lib \
    "$stage/lib/"
cp examples/minimal_host.c "$stage/examples/"
cp docs/host-contract.md "$stage/docs/"
(cd "$stage" && sha256sum include/* lib/* examples/* docs/* >> SHA256SUMS)

rm -f "dist/$name.zip"
(cd build/package && cmake -E tar cf "../../dist/$name.zip" --format=zip "$name")
(cd dist && sha256sum "$name.zip" > "$name.zip.sha256")
echo "dist/$name.zip"
cat "$stage/SHA256SUMS"

#!/bin/sh
# Builds the release package: dist/kolmar-keypad-drivers-<version>.zip with both
# DLLs and the host simulator (stripped, each with its debug information in a
# .debug file beside it, linked by name and checksum), the install guide, the
# key maps and configuration box pictures it shows, the changelog, for host
# engineers the C header, the import libraries, the example host and the calling
# contract, and the SHA-256 sums of every file; the ZIP's own sum beside it. Then unpacks the ZIP
# and checks what a user gets before it reports success.
set -e
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target Kolmar32Keys Kolmar15Keys host_simulator

# The project's version and tools, as the build configured them.
cache=build/windows/CMakeCache.txt
cached() { sed -n "s/^$1:[A-Z]*=//p" "$cache"; }
version=$(cached CMAKE_PROJECT_VERSION)
objcopy=$(cached CMAKE_OBJCOPY)
objdump=$(cached CMAKE_OBJDUMP)
name="kolmar-keypad-drivers-$version"
stage="build/package/$name"

fail() {
    echo "package.sh: $*" >&2
    exit 1
}

grep -q "^## $version " CHANGELOG.md || fail "CHANGELOG.md has no entry for $version"

programs="Kolmar32Keys.dll Kolmar15Keys.dll host_simulator.exe"
documents="INSTALL.md CHANGELOG.md docs/key-maps.md docs/config-box-32keys.png docs/config-box-15keys.png"
rm -rf build/package
mkdir -p "$stage/docs" dist

# objcopy writes a PE time stamp unless told the build's time; 0 is what the
# linker writes too, so one commit gives one set of files.
export SOURCE_DATE_EPOCH=0
# Debug information goes to NAME.debug; the program keeps only a link to it
# (file name and CRC), which debuggers follow when the two sit side by side.
for program in $programs; do
    "$objcopy" --only-keep-debug "build/windows/bin/$program" "$stage/$program.debug"
    "$objcopy" --strip-all "build/windows/bin/$program" "$stage/$program"
    (cd "$stage" && "$objcopy" --add-gnu-debuglink="$program.debug" "$program")
done
for document in $documents; do
    cp "$document" "$stage/$document"
done

# For host engineers: the C header, both import libraries of each DLL (MinGW
# and Microsoft linker), the example hosts and the calling contract they follow.
cmake --build --preset windows --target import_libraries
mkdir -p "$stage/include" "$stage/lib" "$stage/examples"
cp include/qp240_remote.h "$stage/include/"
libraries=""
for deliverable in Kolmar32Keys Kolmar15Keys; do
    for library in lib$deliverable.dll.a $deliverable.lib; do
        cp "build/windows/import-libraries/$library" "$stage/lib/"
        libraries="$libraries lib/$library"
    done
done
cp examples/keypad_host.c examples/minimal_host.c "$stage/examples/"
cp docs/host-contract.md "$stage/docs/"

files=""
for program in $programs; do
    files="$files $program $program.debug"
done
files="$files $documents include/qp240_remote.h$libraries examples/keypad_host.c examples/minimal_host.c"
files="$files docs/host-contract.md"
# shellcheck disable=SC2086 # the file names hold no spaces
(cd "$stage" && sha256sum $files > SHA256SUMS)

# The commit's time on every entry and a fixed order, so that one commit
# gives one ZIP.
stamp=$(git log -1 --format=%cd --date=format-local:'%Y-%m-%d %H:%M:%S' 2>/dev/null ||
    echo "2000-01-01 00:00:00")
rm -f "dist/$name.zip" "dist/$name.zip.sha256"
# shellcheck disable=SC2086
(cd build/package && TZ=UTC cmake -E tar cf "../../dist/$name.zip" --format=zip \
    --mtime="$stamp UTC" $(for file in $files SHA256SUMS; do echo "$name/$file"; done))
(cd dist && sha256sum "$name.zip" > "$name.zip.sha256")

# What a user unpacks: every file there and nothing else, the programs
# stripped and linked to their debug files, no build time stamp in them, and
# every sum right.
check="build/package/check"
rm -rf "$check"
mkdir -p "$check"
(cd "$check" && cmake -E tar xf "../../../dist/$name.zip")
expected=$(for file in $files SHA256SUMS; do echo "$name/$file"; done | sort)
unpacked=$(cd "$check" && find . -type f | sed 's|^\./||' | sort)
if [ "$expected" != "$unpacked" ]; then
    echo "$expected" > "$check.expected"
    echo "$unpacked" | diff "$check.expected" - >&2 || true
    fail "the ZIP holds other files than planned"
fi
for program in $programs; do
    file="$check/$name/$program"
    headers=$("$objdump" -h "$file")
    if echo "$headers" | grep -q '\.debug_'; then fail "$program still carries debug information"; fi
    echo "$headers" | grep -q '\.gnu_debuglink' || fail "$program has no link to its debug file"
    "$objdump" -h "$file.debug" | grep -q '\.debug_info' || fail "$program.debug holds no debug information"
    # The COFF header's TimeDateStamp: 8 bytes past the offset stored at 0x3C.
    header=$(od -An -tu4 -j60 -N4 "$file" | tr -d ' ')
    [ "$(od -An -tu4 -j$((header + 8)) -N4 "$file" | tr -d ' ')" = 0 ] ||
        fail "$program carries a build time stamp"
done
(cd "$check/$name" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"
(cd dist && sha256sum --quiet -c "$name.zip.sha256") || fail "the ZIP's own sum does not match"

echo "dist/$name.zip"
cat "$stage/SHA256SUMS"

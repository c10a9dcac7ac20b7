#!/bin/sh
# The release package's CMake package, used as a host engineer uses it:
# host_project/ (the package's example hosts) configured against the unpacked
# ZIP with find_package(QP240Remote <major> CONFIG)
# - by MinGW GCC: built, the minimal host run against both DLLs under Wine,
#   and each keypad host, linked through its DLL's imported target, started
#   beside the DLL copied there: it answers a bad argument only after the
#   loader has bound its imports, so an import library that names another
#   file fails here (the build copies each DLL's PDB beside it, from where
#   QP240REMOTE_PDB_FILE says);
# - by the other kinds of toolchain, configured only (no Microsoft C runtime
#   here to link against): each links the import library that fits it;
# - asking for another major version fails, for the version's sake.
#
# usage: find_package.sh <unpacked package> <version> <work folder>
# (WINEPREFIX set).
package=$(cd "$1" && pwd)
version="$2"
work="$3"
here=$(cd "$(dirname "$0")" && pwd)
toolchains="$here/../../cmake"
major=${version%%.*}
failures=0
export WINEDEBUG=-all

fail() {
    echo "FAIL find_package: $*"
    failures=$((failures + 1))
}

rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)

# configure BUILD REQUEST ARGS...: the host project against the package.
configure() {
    build="$work/$1"
    request="$2"
    shift 2
    cmake -S "$here/host_project" -B "$build" -G Ninja -DCMAKE_PREFIX_PATH="$package" \
        -DEXAMPLES="$package/examples" -DQP240REMOTE_REQUEST="$request" "$@" \
        > "$build.log" 2>&1
}

clang_cl=$(command -v clang-cl || command -v clang-cl-14)
msvc_like="-DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER_WORKS=ON -DCMAKE_LINKER=lld-link"
# Each toolchain, the import library it must link (<driver> for the DLL's
# name), and how CMake is told of it.
while read -r name library arguments; do
    # shellcheck disable=SC2086 # the arguments are words
    if ! configure "$name" "$major" $arguments; then
        fail "$name: the package is not found: $(cat "$work/$name.log")"
        continue
    fi
    for driver in Kolmar32Keys Kolmar15Keys; do
        expected=lib/$(echo "$library" | sed "s/<driver>/$driver/")
        linked=$(grep -oE "lib/(lib)?$driver\.(dll\.a|lib)" "$work/$name/build.ninja" | sort -u)
        [ "$linked" = "$expected" ] || fail "$name links \"$linked\", not $expected alone"
    done
done <<TOOLCHAINS
mingw-gcc lib<driver>.dll.a -DCMAKE_TOOLCHAIN_FILE=$toolchains/mingw-w64-x86_64.cmake
mingw-clang lib<driver>.dll.a -DCMAKE_TOOLCHAIN_FILE=$toolchains/clang-mingw-w64-x86_64.cmake
clang-cl <driver>.lib $msvc_like -DCMAKE_C_COMPILER=$clang_cl
clang-msvc <driver>.lib $msvc_like -DCMAKE_C_COMPILER=clang -DCMAKE_C_COMPILER_TARGET=x86_64-pc-windows-msvc
TOOLCHAINS

build="$work/mingw-gcc"
if ! cmake --build "$build" > "$build.build.log" 2>&1; then
    fail "the example hosts do not build against the package: $(cat "$build.build.log")"
else
    (cd "$build" && wine minimal_host.exe Kolmar32Keys.dll Kolmar15Keys.dll < /dev/null) \
        > "$build.minimal.log" 2>&1 ||
        fail "the minimal host fails against the package's DLLs: $(cat "$build.minimal.log")"
    for driver in Kolmar32Keys Kolmar15Keys; do
        output=$(cd "$build" && wine "keypad_host_$driver.exe" 0 < /dev/null 2>&1)
        status=$?
        if [ $status != 2 ] || [ "${output#*usage:}" = "$output" ]; then
            fail "keypad_host_$driver.exe does not start beside $driver.dll ($status): $output"
        fi
    done
fi

# Another major, either way, is refused by the version file.
for request in $((major + 1)) $((major - 1)); do
    [ "$request" -ge 0 ] || continue
    if configure "major-$request" "$request" \
        -DCMAKE_TOOLCHAIN_FILE="$toolchains/mingw-w64-x86_64.cmake"; then
        fail "find_package(QP240Remote $request) accepts version $version"
    elif ! grep -qF "version: $version" "$work/major-$request.log"; then
        fail "find_package(QP240Remote $request) fails for another reason: $(cat "$work/major-$request.log")"
    fi
done

[ $failures -eq 0 ] &&
    echo "find_package: the example hosts build and start against the package; major $major alone"
[ $failures -eq 0 ]

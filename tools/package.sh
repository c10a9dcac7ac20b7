#!/bin/sh
# Builds the release package: dist/kolmar-keypad-drivers-<version>.zip with both
# DLLs and the host simulator (built with clang and lld, hardened, each with the
# PDB that Windows debuggers load beside it), the install guide, the key maps
# and the changelog as web pages with their pictures inside, for host engineers
# the C header, the .def files and import libraries, the CMake package, the
# example hosts and the calling contract's page, and the SHA-256 sums of every
# file; beside it the installer (-setup.exe), and each one's own sum.
# Before it packs, the programs pass the table check (exports, imports,
# hardening, the PDB named in the debug directory) and the pages a browser
# check; then it unpacks the ZIP and checks what a user gets, delay loads a
# DLL through its .lib, builds the example hosts through the CMake package,
# walks the install guide's steps and runs the installer under Wine, and
# packages the commit again in two clones at other paths, which must give the
# same package.
#
# usage: package.sh [--no-checks]   (--no-checks: build the package only, as the
# two-path comparison does in its clones)
set -e
cd "$(dirname "$0")/.."
tools/install-deps.sh
checks=yes
[ "$1" = --no-checks ] && checks=no

fail() {
    echo "package.sh: $*" >&2
    exit 1
}

# The programs come from the clang build, whose tests (the table checks and the
# end-to-end tests) run against these very files.
build=build/windows-clang
cmake --preset windows-clang >/dev/null
cache=$build/CMakeCache.txt
cached() { sed -n "s/^$1:[A-Z]*=//p" "$cache"; }
targets=$(cached KOLMAR_SHIPPED_PROGRAMS | tr ';' ' ')
# shellcheck disable=SC2086 # target names hold no spaces
cmake --build --preset windows-clang --target $targets dll_tables
if [ $checks = yes ]; then
    ctest --preset windows-clang -R '^dll_tables_' || fail "a shipped program fails the table check"
fi

version=$(cached CMAKE_PROJECT_VERSION)
objdump=$(cached CMAKE_OBJDUMP)
name="kolmar-keypad-drivers-$version"
stage="build/package/$name"
grep -q "^## $version " CHANGELOG.md || fail "CHANGELOG.md has no entry for $version"

programs=""
for target in $targets; do
    program=$target.exe
    [ -f "$build/bin/$target.dll" ] && program=$target.dll
    programs="$programs $program"
done
rm -rf build/package
mkdir -p "$stage/docs" dist
files=""
for program in $programs; do
    cp "$build/bin/$program" "$build/bin/${program%.*}.pdb" "$stage/"
    files="$files $program ${program%.*}.pdb"
done

# The guides as web pages, since Windows shows a Markdown file as raw text:
# pandoc, pictures and style sheet inside each page, links between the guides
# pointing to their pages. Each page then shows its tables and pictures in a
# browser (screenshots in build/package/screenshots/).
guides="INSTALL.md docs/key-maps.md CHANGELOG.md docs/host-contract.md"
mkdir -p build/package/screenshots
for guide in $guides; do
    page="${guide%.md}.html"
    pandoc --from=gfm --to=html5 --standalone --self-contained --css=tools/guide.css \
        --lua-filter=tools/guide-links.lua --resource-path="$(dirname "$guide")" \
        --metadata pagetitle="$(sed -n 's/^# //p' "$guide" | head -1)" -o "$stage/$page" "$guide"
    if [ $checks = yes ]; then
        /usr/bin/python3 tests/guide/check_rendered_guide.py "$guide" "$stage/$page" \
            "build/package/screenshots/$(basename "${guide%.md}").png" ||
            fail "$page does not show its tables and pictures"
    fi
    files="$files $page"
done

# For host engineers (the calling contract is a page above): the C header,
# each DLL's .def and the import libraries made from it (MinGW and Microsoft linker; the GCC build's, whose tests link
# and run them), the CMake package that names them (find_package(QP240Remote)),
# the example hosts and the calling contract they follow.
cmake --preset windows >/dev/null
cmake --build --preset windows --target import_libraries
cmake_package=lib/cmake/QP240Remote
mkdir -p "$stage/include" "$stage/lib" "$stage/$cmake_package" "$stage/examples"
for file in QP240RemoteConfig.cmake QP240RemoteConfigVersion.cmake; do
    cp "build/windows/host-package/$file" "$stage/$cmake_package/"
    files="$files $cmake_package/$file"
done
cp include/qp240_remote.h "$stage/include/"
for deliverable in Kolmar32Keys Kolmar15Keys; do
    cp "build/windows/generated/import/$deliverable.def" "$stage/lib/"
    files="$files lib/$deliverable.def"
    for library in lib$deliverable.dll.a $deliverable.lib; do
        cp "build/windows/import-libraries/$library" "$stage/lib/"
        files="$files lib/$library"
    done
done
cp examples/keypad_host.c examples/minimal_host.c "$stage/examples/"
files="$files include/qp240_remote.h examples/keypad_host.c examples/minimal_host.c"
# shellcheck disable=SC2086 # the file names hold no spaces
(cd "$stage" && sha256sum $files > SHA256SUMS)

# The commit's time on every entry, a fixed order and nothing of the file
# system (archivers add its access and change times), so that one commit gives
# one ZIP. No top folder inside: Windows' Extract All makes a folder named
# after the ZIP, and the files belong straight in it.
stamp=$(TZ=UTC git log -1 --format=%cd --date=format-local:'%Y %m %d %H %M %S' 2>/dev/null ||
    echo "2000 01 01 00 00 00")
rm -f "dist/$name".* "dist/$name-setup".*
# shellcheck disable=SC2086
(cd "$stage" && /usr/bin/python3 - "../../../dist/$name.zip" "$stamp" $files SHA256SUMS) <<'PYTHON'
import sys, zipfile
stamp = tuple(int(part) for part in sys.argv[2].split())
with zipfile.ZipFile(sys.argv[1], "w") as archive:
    for name in sys.argv[3:]:
        entry = zipfile.ZipInfo(name, date_time=stamp)
        entry.compress_type = zipfile.ZIP_DEFLATED
        entry.external_attr = 0o100644 << 16  # a plain file, rw-r--r--
        with open(name, "rb") as source:
            archive.writestr(entry, source.read())
PYTHON
(cd dist && sha256sum "$name.zip" > "$name.zip.sha256")

# The installer beside the ZIP (installer/kolmar-keypad-drivers.nsi), with the
# version, models and settings keys the drivers have, and the keypad picture
# as its icon.
c++ -std=c++17 -Wall -Wextra -Werror -I. -I"$build/generated" installer/installer_facts.cpp \
    config/settings_key.cpp -o build/package/installer-facts
build/package/installer-facts > build/package/installer-facts.nsh
/usr/bin/python3 - resources/keypad_32keys.bmp build/package/keypad.ico <<'PYTHON'
import sys
from PIL import Image
picture = Image.open(sys.argv[1]).convert("RGBA")
side = max(picture.size)
icon = Image.new("RGBA", (side, side), (0, 0, 0, 0))
icon.paste(picture, ((side - picture.width) // 2, (side - picture.height) // 2))
icon.save(sys.argv[2], sizes=[(16, 16), (32, 32), (48, 48), (256, 256)])
PYTHON
setup="$name-setup.exe"
makensis -V2 -DFACTS="$PWD/build/package/installer-facts.nsh" -DSTAGE="$PWD/$stage" \
    -DICON="$PWD/build/package/keypad.ico" -DOUTFILE="$PWD/dist/$setup" \
    installer/kolmar-keypad-drivers.nsi
(cd dist && sha256sum "$setup" > "$setup.sha256")
[ $checks = yes ] || exit 0

# "{9933A592-54E2-...}" from llvm-readobj's 16 GUID bytes, as the PDB states it.
guid_of_program() {
    llvm-readobj --coff-debug-directory "$1" | sed -n 's/.*PDBGUID: (\(.*\))/\1/p' |
        awk '{ printf "{%s%s%s%s-%s%s-%s%s-%s%s-%s%s%s%s%s%s}", $4, $3, $2, $1, $6, $5, $8, $7,
               $9, $10, $11, $12, $13, $14, $15, $16 }'
}

# What a user unpacks: every file there and nothing else; the programs those
# the tests ran, without a build time stamp or DWARF, each matched by GUID and
# age to a PDB whose functions a debugger reads (every export of a DLL, the
# simulator's main); every sum right.
check="build/package/check"
rm -rf "$check"
mkdir -p "$check/$name"
(cd "$check/$name" && cmake -E tar xf "../../../../dist/$name.zip")
expected=$(for file in $files SHA256SUMS; do echo "$name/$file"; done | sort)
unpacked=$(cd "$check" && find . -type f | sed 's|^\./||' | sort)
if [ "$expected" != "$unpacked" ]; then
    echo "$expected" > "$check.expected"
    echo "$unpacked" | diff "$check.expected" - >&2 || true
    fail "the ZIP holds other files than planned"
fi
for program in $programs; do
    file="$check/$name/$program"
    pdb="${file%.*}.pdb"
    cmp -s "$file" "$build/bin/$program" || fail "$program is not the tested program"
    if "$objdump" -h "$file" | grep -q '\.debug_'; then fail "$program carries DWARF"; fi
    # The COFF header's TimeDateStamp: 8 bytes past the offset stored at 0x3C.
    header=$(od -An -tu4 -j60 -N4 "$file" | tr -d ' ')
    [ "$(od -An -tu4 -j$((header + 8)) -N4 "$file" | tr -d ' ')" = 0 ] ||
        fail "$program carries a build time stamp"
    summary=$(llvm-pdbutil dump -summary "$pdb")
    echo "$summary" | grep -qF "GUID: $(guid_of_program "$file")" ||
        fail "${pdb##*/} is not the PDB of $program (GUID)"
    [ "$(echo "$summary" | sed -n 's/^ *Age: //p')" = \
        "$(llvm-readobj --coff-debug-directory "$file" | sed -n 's/^ *PDBAge: //p')" ] ||
        fail "${pdb##*/} is not the PDB of $program (age)"
    functions="main"
    case "$program" in *.dll) functions=$(grep '^QP240REMOTE_' driver/exports.txt) ;; esac
    symbols=$(llvm-pdbutil dump -symbols "$pdb")
    for function in $functions; do
        echo "$symbols" | grep -q "S_GPROC32 .*\`$function\`" ||
            fail "${pdb##*/} has no function $function"
    done
    # The stack canary's handler is linked in.
    llvm-pdbutil dump -publics "$pdb" | grep -q '`__stack_chk_fail`' ||
        fail "$program has no stack protection"
done
(cd "$check/$name" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"

# A host built with the Microsoft tools delay loads a DLL through its .lib.
prefix="$PWD/build/package-prefix"
cmake/wine-prefix.sh "$prefix"
WINEPREFIX="$prefix" tests/host/delay_load.sh "$check/$name" build/package/delay-load ||
    fail "a host cannot delay load Kolmar32Keys.dll through lib/Kolmar32Keys.lib"
# A host built with CMake finds the package, links each DLL through its
# imported target and starts beside it; another major is refused.
WINEPREFIX="$prefix" tests/package/find_package.sh "$check/$name" "$version" build/package/find-package ||
    fail "a host cannot use the package through find_package(QP240Remote)"
(cd dist && sha256sum --quiet -c "$name.zip.sha256") || fail "the ZIP's own sum does not match"
(cd dist && sha256sum --quiet -c "$setup.sha256") || fail "the installer's own sum does not match"

# The install guide's way with the ZIP, step by step as a person takes it.
WINEPREFIX="$prefix" tests/package/guide_walk.sh . dist "$name" build/package/guide-walk ||
    fail "the install guide's steps do not work as written"

# The installer installs, upgrades and uninstalls under Wine, silently and
# with its pages (screenshots in build/package/screenshots/installer/).
WINEPREFIX="$prefix" tests/package/installer.sh "dist/$setup" "$check/$name" "$version" \
    build/package/installer build/package/screenshots/installer ||
    fail "the installer does not do what it should"

# No folder of this machine in the package: the commit packaged elsewhere
# gives the same files.
tests/package/two_paths.sh . build/package/two-paths ||
    fail "the package depends on the folder it was made in"

echo "dist/$name.zip"
echo "dist/$setup"
cat "dist/$name.zip.sha256" "dist/$setup.sha256"
cat "$stage/SHA256SUMS"

#!/bin/sh
# Installs what the project needs on Debian with apt-get, only what is missing.
# Uses sudo only when not root.
set -e
# The release package also needs llvm (llvm-readobj, llvm-pdbutil: the PDB
# check; llvm-dlltool: the .lib files), pandoc (the guides as web pages),
# chromium and python3-pil (the check that the pages show their tables and
# pictures), nsis (the installer), xvfb and xdotool (its pages, on a virtual
# display, driven by keys).
packages="cmake ninja-build g++ g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
mingw-w64-tools wine wine64 googletest libgtest-dev libbenchmark-dev fonts-liberation
clang libclang-rt-14-dev lld clang-tidy clang-format llvm pandoc chromium python3-pil
nsis xvfb xdotool"
missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing="$missing $package"
done
[ -z "$missing" ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
echo "installing:$missing"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $missing

#!/bin/sh
# One commit packaged in two clones at other paths, of other lengths, gives
# the same package: the same SHA256SUMS, the same ZIP and the same installer.
# A folder of the build machine named in any shipped file (a PDB, an import
# library) makes them differ.
#
# usage: two_paths.sh <repository> <work folder>
repository=$(cd "$1" && pwd)
work="$2"
commit=$(git -C "$repository" rev-parse HEAD) || exit 2
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
failures=0

for clone in "$work/a" "$work/another-place/b"; do
    git clone -q --no-checkout "$repository" "$clone" &&
        git -C "$clone" checkout -q "$commit" ||
        { echo "FAIL two paths: cannot clone $commit into $clone"; exit 1; }
    "$clone/tools/package.sh" --no-checks > "$clone.log" 2>&1 ||
        { cat "$clone.log"; echo "FAIL two paths: packaging in $clone failed"; exit 1; }
done

if ! diff "$work/a/build/package/"*/SHA256SUMS "$work/another-place/b/build/package/"*/SHA256SUMS; then
    echo "FAIL two paths: SHA256SUMS differs between the clones"
    failures=$((failures + 1))
fi
cat "$work/a/dist/"*.sha256 > "$work/a.sums"
cat "$work/another-place/b/dist/"*.sha256 > "$work/b.sums"
if ! diff "$work/a.sums" "$work/b.sums"; then
    echo "FAIL two paths: the ZIP or the installer differs between the clones"
    failures=$((failures + 1))
fi
[ $failures -eq 0 ] && echo "two paths: $commit packaged in two clones gives the same package"
[ $failures -eq 0 ]

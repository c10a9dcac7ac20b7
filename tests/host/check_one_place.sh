#!/bin/sh
# The version and the export list are each written once: the project version
# in CMakeLists.txt, the export names in driver/exports.txt. Fails on a source
# file that writes the version again, on a .def file in the tree (the build
# makes them from the list), or on a public header whose declared exports
# differ from the list.
# usage: check_one_place.sh <source directory>
cd "$1" || exit 2
status=0
files=$(git ls-files 2>/dev/null) ||
    files=$(find . -type f ! -path './build/*' ! -path './.git/*' | sed 's|^\./||')
code=$(printf '%s\n' "$files" | grep -E '(\.(h|c|cpp|rc|in|cmake|sh|json|def)|CMakeLists\.txt)$' |
    grep -v '^CMakeLists\.txt$')

version=$(sed -n 's/^project([A-Za-z]* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
pattern=$(printf '%s' "$version" | sed 's/\./([.,] ?)/g')
for file in $code; do
    if grep -Eqw "$pattern" "$file"; then
        echo "FAIL $file writes the version $version; take it from driver/version.h"
        status=1
    fi
    case "$file" in
        *.def) echo "FAIL $file: .def files are made from driver/exports.txt"; status=1 ;;
    esac
done

declared=$(sed -n 's/^QP240REMOTE_[A-Za-z]*Fn \(QP240REMOTE_[A-Za-z]*\);$/\1/p' include/qp240_remote.h |
    sort)
listed=$(grep '^QP240REMOTE_' driver/exports.txt | sort)
if [ "$declared" != "$listed" ]; then
    echo "FAIL include/qp240_remote.h declares other exports than driver/exports.txt lists"
    status=1
fi
[ $status -eq 0 ] && echo "version $version and $(printf '%s\n' "$listed" | wc -l) exports, each written once"
exit $status

#!/bin/sh
# The header's check of each ...Fn type against its export's prototype, made
# to fail: a copy of the header whose function type differs from the prototype
# (once in the return type, once in a parameter) must not compile, in each
# language mode the check has a branch for.
# usage: header_type_check.sh <compiler> <header> <work directory> <flags...>
compiler=$1
header=$2
work=$3
shift 3
mkdir -p "$work" || exit 2
status=0
for change in 's/^typedef int32_t QP240REMOTE_CALL QP240REMOTE_StopFn(/typedef int64_t QP240REMOTE_CALL QP240REMOTE_StopFn(/' \
    's/^\( *\)int32_t reset);$/\1uint32_t reset);/'; do
    sed "$change" "$header" > "$work/qp240_remote.h"
    if cmp -s "$header" "$work/qp240_remote.h"; then
        printf 'FAIL the change %s no longer applies to the header; make a new one\n' "$change"
        exit 1
    fi
    for mode in "c -std=c99" "c -std=c11" "c++ -std=c++98" "c++ -std=c++17"; do
        # $mode and $@ are word lists.
        # shellcheck disable=SC2086
        if echo '#include "qp240_remote.h"' |
            "$compiler" "$@" -fsyntax-only -I"$work" -x $mode - 2>/dev/null; then
            printf 'FAIL %s: a function type other than its prototype compiled (%s)\n' "$mode" "$change"
            status=1
        fi
    done
done
[ $status -eq 0 ] && echo "each function type that differs from its prototype stops the compile"
exit $status

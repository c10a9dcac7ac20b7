#!/bin/sh
# Includes run one way, down the layers.
# - product: the product's folders, top to bottom driver, config, engine,
#   toolkit, resources, base. A file includes only its own folder, a folder
#   below it, and the public header (include/), which every layer may use.
# - host: the host side (tools/host_simulator, tools/common, tests/e2e,
#   tests/host, tests/common, bench, examples) takes nothing of the product but
#   the public header; its own folders, and the export list the build makes
#   (exports/), are its to include. The fuzzers, the benches of the native core
#   (bench/native) and the product's own unit tests (tests/native,
#   tests/windows) may use internals.
# Every include that breaks the rule is printed as FAIL file:line.
# usage: check_layers.sh <source directory> product|host
cd "$1" || exit 2
side="$2"
layers="driver config engine toolkit resources base"
files=$(git ls-files 2>/dev/null) ||
    files=$(find . -type f ! -path './build/*' ! -path './.git/*' | sed 's|^\./||')
sources=$(printf '%s\n' "$files" | grep -E '\.(h|c|cpp|rc)$')

case "$side" in
    product)
        checked=$(printf '%s\n' "$sources" | grep -E "^($(echo $layers | tr ' ' '|'))/")
        ;;
    host)
        checked=$(printf '%s\n' "$sources" |
            grep -E '^(tools/host_simulator|tools/common|tests/e2e|tests/host|tests/common|bench|examples)/' |
            grep -v '^bench/native/')
        ;;
    *)
        echo "usage: check_layers.sh <source directory> product|host" >&2
        exit 2
        ;;
esac

# Each quoted include as file:line:path, the path as from the repository root
# ("../include/x.h" from resources/ is include/x.h).
found=$(for file in $checked; do
    sed -n 's|^[ ]*#[ ]*include[ ]*"\([^"]*\)".*|\1|p; t; s|.*||p' "$file" |
        awk -v file="$file" 'NF { sub(/^(\.\.\/)+/, ""); print file ":" NR ":" $0 }'
done)

status=0
printf '%s\n' "$found" | awk -F: -v side="$side" -v layers="$layers" '
    BEGIN {
        n = split(layers, order, " ")
        for (i = 1; i <= n; ++i)
            rank[order[i]] = i  # 1 is the top
    }
    NF < 3 { next }
    {
        file = $1; line = $2; path = $3
        split(file, parts, "/")
        own = parts[1]
        top = path ~ /\// ? substr(path, 1, index(path, "/") - 1) : ""
        why = ""
        if (side == "product") {
            if (top == "" || top == own || top == "include")
                next
            if (!(top in rank))
                why = "not a product folder"
            else if (rank[top] < rank[own])
                why = top "/ is above " own "/"
        } else {
            if (top in rank)
                why = "the product'"'"'s " top "/; the host side uses only include/qp240_remote.h"
            else if (top == "include" && path != "include/qp240_remote.h")
                why = "include/ holds only the public header for the host side"
        }
        if (why != "") {
            printf "FAIL %s:%s includes \"%s\": %s\n", file, line, path, why
            bad = 1
        }
    }
    END { exit bad }' || status=1

[ $status -eq 0 ] &&
    echo "$side: $(printf '%s\n' "$checked" | grep -c .) files include only what their layer may"
exit $status

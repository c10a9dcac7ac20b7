# Sourced by the checks' own tests: a scratch copy of the source tree, the
# tracked files (or, outside a clone, every file but the build and .git) that
# the grep arguments after the directory keep, in "$work/tree"; "$work" goes
# at exit.
# usage: tree_copy <source directory> <grep arguments...>
tree_copy() {
    source="$1"
    shift
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    mkdir "$work/tree"
    (cd "$source" && { git ls-files 2>/dev/null || find . -type f ! -path './build/*' ! -path './.git/*'; } |
        grep "$@" | tar cf - -T -) | (cd "$work/tree" && tar xf -)
}

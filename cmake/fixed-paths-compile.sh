#!/bin/sh
# Runs a compiler with the source and build folders on its command line
# written relative to the build folder. clang keeps its whole command line in
# the CodeView build record of every object, and the PDB keeps those records;
# relative paths make them the same in every clone, wherever it lies.
# Usage: fixed-paths-compile.sh <source dir> <build dir> <source dir seen from
# the build dir> <compiler> <arguments>...
source="$1"
build="$2"
up="$3"
shift 3
# The build folder first: it may lie inside the source folder.
for arg do
    shift
    case "$arg" in
    "$build"/*) arg="${arg#"$build"/}" ;;
    -I"$build"/*) arg="-I${arg#-I"$build"/}" ;;
    "$source"/*) arg="$up/${arg#"$source"/}" ;;
    -I"$source"/*) arg="-I$up/${arg#-I"$source"/}" ;;
    -I"$source") arg="-I$up" ;;
    esac
    set -- "$@" "$arg"
done
exec "$@"

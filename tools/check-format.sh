#!/bin/sh
# Checks that every tracked C and C++ file is formatted as the repository's
# .clang-format says (clang-format -i formats a file); lists the files that are
# not. Files outside a git checkout are found by their endings.
cd "$(dirname "$0")/.." || exit 2
files=$(git ls-files '*.c' '*.cpp' '*.h' 2>/dev/null) ||
    files=$(find . -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) ! -path './build/*' |
        sed 's|^\./||')
unformatted=""
for file in $files; do
    clang-format --dry-run -Werror "$file" >/dev/null 2>&1 || unformatted="$unformatted $file"
done
if [ -n "$unformatted" ]; then
    for file in $unformatted; do
        echo "not formatted: $file (clang-format -i $file)"
    done
    exit 1
fi
echo "format: $(printf '%s\n' "$files" | wc -l) files as .clang-format says"

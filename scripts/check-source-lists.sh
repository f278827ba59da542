#!/bin/sh
# The build lists its source files by name. Checks that every .cpp and .ui file
# is named in the CMakeLists.txt of its folder or of a folder above it (a test,
# bench or fuzz program may be named without .cpp), so none is left unbuilt.
# Names each file that is not and exits 1.
set -eu
cd "$(dirname "$0")/.."

missing=""
for file in $(git ls-files --cached --others --exclude-standard -- \
    'src/*.cpp' 'src/*.ui' 'tests/*.cpp' 'bench/*.cpp' 'fuzz/*.cpp' 'tools/*.cpp' 'plugins/*.cpp'); do
    [ -f "$file" ] || continue
    dir=$(dirname "$file")
    listed=no
    while [ "$dir" != "." ]; do
        if [ -f "$dir/CMakeLists.txt" ]; then
            # The path as the list names it, relative to that folder.
            name=${file#"$dir"/}
            if grep -qE "(^|[[:space:](])(${name}|${name%.cpp})([[:space:])]|\$)" "$dir/CMakeLists.txt"; then
                listed=yes
                break
            fi
        fi
        dir=$(dirname "$dir")
    done
    [ "$listed" = yes ] || missing="$missing
$file"
done

if [ -n "$missing" ]; then
    echo "Source list check FAILED: not named in any CMakeLists.txt above them:$missing" >&2
    exit 1
fi
echo "Source list check passed: every source file is named in a CMakeLists.txt."

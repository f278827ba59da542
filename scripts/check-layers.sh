#!/bin/sh
# Checks that the layers include only what lies below them: nothing under
# src/core includes a Qt header (or one that Qt generates) or anything of gui/
# or cli/, and nothing under src/cli includes a Qt header or anything of gui/.
# Names each offending include and exits 1.
set -eu
cd "$(dirname "$0")/.."

offences=$(find src/core src/cli -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' \
    -o -name '*.cc' -o -name '*.in' \) -exec awk '
    /^[ \t]*#[ \t]*include[ \t]*[<"]/ {
        target = $0
        sub(/^[ \t]*#[ \t]*include[ \t]*[<"]/, "", target)
        sub(/[>"].*$/, "", target)
        reach = ""
        if (target ~ /^(Qt[A-Za-z]*\/|Q[A-Z][A-Za-z0-9]*(\.h)?$|q[a-z0-9_]+\.h$|ui_|moc_)/) {
            reach = "a Qt header"
        } else if (target ~ /(^|\/)gui\//) {
            reach = "the Qt layer (gui/)"
        } else if (FILENAME ~ /^src\/core\// && target ~ /(^|\/)cli\//) {
            reach = "the command line (cli/)"
        }
        if (reach != "") {
            printf "%s:%d: includes \"%s\", %s\n", FILENAME, FNR, target, reach
        }
    }' {} + | sort -t: -k1,1 -k2,2n)

if [ -n "$offences" ]; then
    echo "Layer check FAILED: src/core must not include Qt, gui/ or cli/;" \
        "src/cli must not include Qt or gui/." >&2
    echo "$offences" >&2
    exit 1
fi
echo "Layer check passed: src/core and src/cli include no Qt and nothing of the layers above them."

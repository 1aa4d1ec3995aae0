#!/usr/bin/env bash
# The checked-in translations are current: lupdate run over today's sources
# changes nothing in them. When it fails, bring them up to date with
#   cmake --build --preset default --target update_translations
# and translate what is new.
# Arguments: the build folder, lupdate, and Qt's GenerateLUpdateProject.cmake.
set -euo pipefail
build=$1 lupdate=$2 generate=$3
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
stale=0
check() {  # target, .ts file, extra lupdate options
    local target=$1 ts=$2
    shift 2
    cmake -DIN_FILE="$build/desktop/.lupdate/${target}_project.cmake" \
        -DOUT_FILE="$tmp/$target.json" -P "$generate"
    cp "$source_dir/translations/$ts" "$tmp/$ts"
    "$lupdate" -silent -project "$tmp/$target.json" -no-obsolete -locations none "$@" \
        -ts "$tmp/$ts" >/dev/null
    if ! diff -u "$source_dir/translations/$ts" "$tmp/$ts"; then
        echo "translations/$ts is not up to date with the sources" >&2
        stale=1
    fi
}
check app quillet_de.ts
check views quillet_en.ts -pluralonly
exit $stale

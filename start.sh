#!/usr/bin/env bash
# Builds Quillet and starts it against the emulated phone (a sample phone is
# made when there is none yet).
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
build=build/default
phone_tool=$build/tools/quillet-phone
root="${QUILLET_PLATFORM_ROOT:-${XDG_DATA_HOME:-$HOME/.local/share}/quillet-platform}"
if [[ -x $phone_tool && ! -e "$root/phone/phone.db" ]]; then
    "$phone_tool" init --sample
fi
if [[ -x $build/program/quillet ]]; then
    exec "$build/program/quillet" "$@"
fi
echo "The desktop program is not built yet; the phone is ready at $root/phone."

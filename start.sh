#!/usr/bin/env bash
# Builds Quillet and starts it against the emulated phone (a sample phone is
# made when there is none yet). Arguments go to quillet (--log writes a
# trace to logfile.txt in the data folder, ~/.local/share/quillet).
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake --preset default >/dev/null
# The program (with its agent and resources) and the phone tool are all it needs.
cmake --build --preset default --target quillet quillet-phone
build=build/default
phone_tool=$build/tools/quillet-phone
root="${QUILLET_PLATFORM_ROOT:-${XDG_DATA_HOME:-$HOME/.local/share}/quillet-platform}"
if [[ ! -e "$root/phone/phone.db" ]]; then
    "$phone_tool" init --sample
fi
if [[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
    echo "No display found: run it as 'xvfb-run -a ./start.sh' or with QT_QPA_PLATFORM=offscreen." >&2
    exit 1
fi
exec "$build/program/quillet" "$@"

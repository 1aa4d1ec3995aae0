#!/usr/bin/env bash
# Installs the Debian packages that Quillet needs to build, test and run,
# when any of them is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-multimedia-dev
    # The translations: lupdate and lrelease.
    qt6-tools-dev qt6-l10n-tools
    libsqlite3-dev sqlite3
    libphonenumber-dev libicu-dev
    libgtest-dev libbenchmark-dev libxml2-dev
    # The import readers: sms-ie ZIP files and their NDJSON.
    libzip-dev nlohmann-json3-dev
    xvfb xauth fonts-dejavu-core poppler-utils
    # Emoji and symbols in conversation PDFs, where the text font has none.
    fonts-symbola
    # The suite checks that the sources follow .clang-format.
    clang-format
    # The one-time move is killed at every step under strace.
    strace
    # The CSV export is read back by Python's own csv reader.
    python3
    # The desktop-notification test runs on a private session bus.
    dbus-daemon
    # The package test: cpack's .deb and its checkers.
    dpkg-dev file lintian desktop-file-utils appstream
)
# The fuzz preset builds with clang and libFuzzer.
if [[ "${1:-}" == "--fuzz" ]]; then
    packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"

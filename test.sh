#!/usr/bin/env bash
# Builds Quillet and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake --preset default
cmake --build --preset default
ctest --preset default

#!/usr/bin/env bash
# Every C++ source follows the root .clang-format. When it fails:
#   git ls-files '*.cpp' '*.h' | xargs clang-format -i
set -euo pipefail
cd "$(dirname "$0")/../.."
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
    mapfile -t files < <(find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
fi
clang-format --dry-run -Werror "${files[@]}"
echo "${#files[@]} files formatted as .clang-format says"

#!/usr/bin/env bash
# Fails when a C or C++ file of the repository differs from what clang-format makes of it.
set -euo pipefail
cd "$1"
files=$(git ls-files '*.c' '*.h' '*.cpp' 2>/dev/null || find . -name '*.c' -o -name '*.h' -o -name '*.cpp')
# shellcheck disable=SC2086
if ! clang-format --dry-run --Werror $files; then
  echo "run clang-format -i on the files named above" >&2
  exit 1
fi

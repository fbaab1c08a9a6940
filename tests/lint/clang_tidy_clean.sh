#!/usr/bin/env bash
# Fails on a clang-tidy finding in the driver, the server interface or the platform layer, checked with the
# build's compile commands (whose GCC-only warning options clang does not know).
set -euo pipefail
root=$1
build=$2
cd "$root"
files=$(git ls-files 'src/*.cpp' 'interface/*.cpp' 'platform/*.cpp' | grep -v '^src/chart/')
echo "$files" | xargs -P "$(nproc)" -n 8 clang-tidy -p "$build" --quiet --warnings-as-errors='*' \
  --extra-arg=-Wno-unknown-warning-option 2>/dev/null

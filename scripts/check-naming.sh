#!/usr/bin/env bash
# Checks the project's own sources against the naming rule in .clang-tidy, using the compile
# database of a configured build (default: build/). Exits non-zero on any violation.
#   scripts/check-naming.sh [build-folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -f "$build/compile_commands.json" ] || { echo "no $build/compile_commands.json: configure first" >&2; exit 2; }
# clang cannot read GCC's precompiled headers: it is given the headers themselves.
database=$(mktemp -d)
trap 'rm -rf "$database"' EXIT
sed -E 's# -Winvalid-pch -include [^ "]*/cmake_pch\.hxx##g' "$build/compile_commands.json" \
  >"$database/compile_commands.json"
# The generated tone table holds data only and is the slowest file to parse.
git ls-files '*.cpp' | grep -v '^catalogue/tone_names_fill.cpp$' |
  xargs -P "$(nproc)" -n 8 clang-tidy -p "$database" --quiet 2>/dev/null

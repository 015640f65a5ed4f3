#!/usr/bin/env bash
# Checks that the project's own C++ sources are as clang-format (.clang-format) writes them.
# Exits non-zero, naming the files, when one is not. The generated tables are left as generated.
#   scripts/check-format.sh
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files '*.cpp' '*.h' | grep -v -E '^catalogue/(tone_names_fill|.*_table)\.cpp$' |
  xargs clang-format --dry-run --Werror

#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs the whole test suite twice: as built for
# release, and again built with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --tests

# The sources as clang-format writes them, before spending minutes on builds.
scripts/check-format.sh

jobs=$(nproc)
run_suite() {
  local preset=$1
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
}

run_suite default
# The naming rule in .clang-tidy, on the release build's compile database.
scripts/check-naming.sh build
# Leaks are checked too; the suppressions name system libraries only.
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$PWD/tests/e2e/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS=print_stacktrace=1 run_suite sanitize

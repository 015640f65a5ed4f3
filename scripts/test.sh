#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs the whole test suite twice: as built for
# release, and again built with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
# Each step's end, with the seconds since the start, so a slow step shows in CI's log.
step_done() { echo "=== $1 done at ${SECONDS} s"; }
scripts/install-deps.sh --tests
step_done install

# The sources as clang-format writes them, before spending minutes on builds.
scripts/check-format.sh

jobs=$(nproc)
cmake --preset default >/dev/null
cmake --preset sanitize >/dev/null
cmake --build --preset default -j "$jobs"
step_done "release build"

# The release suite spends most of its time waiting on servers, windows and guests. The sanitizer
# build and the naming check (the rule in .clang-tidy, on the release build's compile database)
# take the cores it leaves idle, at a priority low enough never to slow a test; their output is
# shown when each is done.
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
nice -n 10 cmake --build --preset sanitize -j "$jobs" >"$logs/sanitize-build" 2>&1 &
sanitize_build=$!
nice -n 19 scripts/check-naming.sh build >"$logs/naming" 2>&1 &
naming=$!
show() { # show NAME PID: waits for a job started above and prints what it wrote
  local status=0
  wait "$2" || status=$?
  echo "--- $1 (exit status $status)"
  cat "$logs/$1"
  return "$status"
}

failed=0
ctest --preset default -j "$jobs" || failed=1
step_done "release suite"
if show sanitize-build "$sanitize_build"; then
  step_done "sanitizer build"
  # Leaks are checked too; the suppressions name system libraries only.
  ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$PWD/tests/e2e/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS=print_stacktrace=1 ctest --preset sanitize -j "$jobs" || failed=1
  step_done "sanitizer suite"
else
  failed=1
fi
show naming "$naming" || failed=1
step_done "naming check"
exit "$failed"

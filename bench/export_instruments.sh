#!/usr/bin/env bash
# Time and peak memory of `kalvora --export-instruments DIR`, the whole process as a user runs it:
# five MIDNAM documents and the .ins file into a fresh folder, with no display and no sound server.
#
# Usage: bench/export_instruments.sh [BUILD_DIR] [RUNS]   (defaults: build, 10)
# Needs, in BUILD_DIR: kalvora; and GNU time (/usr/bin/time).
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
runs=${2:-10}
[ -x "$build/kalvora" ] || { echo "missing $build/kalvora: cmake --build $build --target kalvora" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs GNU time: apt-get install time" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

seconds=() peaks=()
for run in $(seq "$runs"); do
  rm -rf "$work/out"
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/time -f '%e %M' -o "$work/time" \
    "$build/kalvora" --export-instruments "$work/out" || { echo "run $run: the export failed" >&2; exit 1; }
  read -r elapsed peak < "$work/time"
  seconds+=("$elapsed") peaks+=("$peak")
  echo "run $run: $elapsed s, peak $peak kB"
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
echo "export of the five maps, median of $runs: $(median "${seconds[@]}") s, peak memory $(median "${peaks[@]}") kB ($(du -sk "$work/out" | cut -f1) kB written)"

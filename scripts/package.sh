#!/usr/bin/env bash
# Builds the Debian package: installs what is missing (no test tools), builds the program for
# release in build/ (without the tests and benchmarks), and runs `cpack -G DEB` there, which leaves
# build/kalvora_<version>-1_amd64.deb. Install it with
# `apt-get install ./build/kalvora_<version>-1_amd64.deb`.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --package
cmake --preset program >/dev/null
cmake --build --preset program -j "$(nproc)"
cd build
cpack -G DEB

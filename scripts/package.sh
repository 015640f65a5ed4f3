#!/usr/bin/env bash
# Builds the Debian package: installs what is missing, builds for release in build/, and runs
# `cpack -G DEB` there, which leaves build/kalvora_<version>-1_amd64.deb. Install it with
# `apt-get install ./build/kalvora_<version>-1_amd64.deb`.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
cd build
cpack -G DEB

#!/usr/bin/env bash
# Installs what is missing, builds, and starts Kalvora.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target kalvora
exec build/kalvora

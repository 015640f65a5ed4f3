#!/usr/bin/env bash
# Installs what building and running need (no test tools), builds the program, and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset program >/dev/null
cmake --build --preset program --target kalvora
exec build/kalvora

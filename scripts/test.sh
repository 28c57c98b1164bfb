#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
# Usage: scripts/test.sh [build-folder] [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
folder=${1:-build}
shift || true
scripts/install-deps.sh
scripts/build.sh "$folder" "$@"
ctest --test-dir "$folder" --output-on-failure -j "$(nproc)"

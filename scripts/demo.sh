#!/usr/bin/env bash
# Installs what is missing, builds, starts the default virtual bench in the background and then
# Kalibra; the bench stops when Kalibra ends. A bench that already runs is used as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build

runtime="${XDG_RUNTIME_DIR:-}"
[ -d "$runtime" ] || runtime="/tmp/kalibra-$(id -u)"
folder="${KALIBRA_BENCH_DIR:-$runtime/kalibra-bench}"

build/bin/kalibra-bench &
bench_pid=$!
trap 'kill -TERM "$bench_pid" 2>/dev/null || true; wait "$bench_pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    [ -S "$folder/control" ] && break
    kill -0 "$bench_pid" 2>/dev/null || break
    sleep 0.1
done
build/bin/kalibra "$@"

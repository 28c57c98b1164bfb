#!/usr/bin/env bash
# Sends one command to the running virtual bench and prints its reply.
# Usage: scripts/bench-control.sh list | unplug rs0 | printer1 jumper on | ...
set -euo pipefail
runtime="${XDG_RUNTIME_DIR:-}"
[ -d "$runtime" ] || runtime="/tmp/kalibra-$(id -u)"
folder="${KALIBRA_BENCH_DIR:-$runtime/kalibra-bench}"
exec python3 - "$folder/control" "$*" <<'PY'
import socket, sys
with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
    s.connect(sys.argv[1])
    s.sendall(sys.argv[2].encode() + b"\n")
    reply = b""
    while not reply.endswith(b"\n"):
        chunk = s.recv(4096)
        if not chunk:
            break
        reply += chunk
    print(reply.decode().rstrip("\n"))
PY

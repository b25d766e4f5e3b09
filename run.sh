#!/usr/bin/env bash
# Installs what is missing, builds, starts a simulated Tarvex module and the panel connected to it.
# Without a display the panel is served over VNC (Qt's vnc platform) on port 5900.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh

install_missing_packages
build_tree build tarvex-panel tarvex-sim

sim_output=$(mktemp)
build/sim/tarvex-sim --addr 16 --baud 9600 >"$sim_output" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null; rm -f "$sim_output"' EXIT
port=""
for _ in $(seq 50); do
    port=$(head -n 1 "$sim_output")
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || { echo "The module simulator did not start." >&2; exit 1; }
echo "Simulated Tarvex module on $port: address 16, 9600 bit/s, RTU 8N1."

panel=(build/src/tarvex-panel --port "$port" --connect "$@")
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
    "${panel[@]}"
else
    echo "No display found: the panel is served over VNC. Connect a VNC viewer to port 5900"
    echo "of this machine (for example: vncviewer localhost:5900). Stop with Ctrl+C."
    QT_QPA_PLATFORM="vnc:size=1024x768:port=5900" "${panel[@]}"
fi

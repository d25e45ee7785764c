#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the project and runs the main job: the desktop
# program on a sample picture when a display is available, else the command-line demo.
set -euo pipefail
cd "$(dirname "$0")"
bash tools/setup.sh
JOBS=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKV_BUILD_TESTS=OFF >/dev/null
cmake --build build -j "$JOBS"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/bin/Kvadra2 ]; then
  exec build/bin/Kvadra2 "${@:-samples/camera.bmp}"
fi
build/bin/kvadra demo "$@"
echo
echo "No display here, so the command-line demo ran. On a desktop, start the workbench with:"
echo "  build/bin/Kvadra2 samples/camera.bmp"

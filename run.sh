#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the project and runs the main job.
set -euo pipefail
cd "$(dirname "$0")"
bash tools/setup.sh
JOBS=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKV_BUILD_TESTS=OFF >/dev/null
cmake --build build -j "$JOBS"
if [ -x build/bin/kvadra ]; then
  exec build/bin/kvadra demo "$@"
fi
echo "Built into build/bin:"
ls -1 build/bin build/bin/plug-ins

#!/usr/bin/env bash
# Builds the production and runs it from the repository (it reads resources/ from the current
# folder). Without a display it runs under a virtual X server.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target quorvale generated_resources
if [ -n "${DISPLAY:-}" ]; then
  exec build/quorvale
else
  exec xvfb-run -a -s "-screen 0 1280x720x24" build/quorvale
fi

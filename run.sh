#!/usr/bin/env bash
# Installs what Velmira needs, builds it (Release) and starts it. Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMIRA_BUILD_TESTS=OFF \
  -DVELMIRA_BUILD_TOOLS=OFF
cmake --build build/release
exec build/release/src/app/velmira "$@"

#!/usr/bin/env bash
# Installs what Velmira needs, builds it with sanitizers and warnings as errors, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh --test
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMIRA_WERROR=ON -DVELMIRA_SANITIZE=ON \
  "${launcher[@]}"
cmake --build build/test
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build/test --output-on-failure -j"$(nproc)" "$@"

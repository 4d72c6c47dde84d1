#!/usr/bin/env bash
# Makes the Debian package build/package/velmira_<version>_<architecture>.deb from this tree (Release,
# installed under /usr, dependencies found by dpkg-shlibdeps). Install it with
#   sudo apt-get install ./build/package/velmira_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --package
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DVELMIRA_BUILD_TESTS=OFF -DVELMIRA_BUILD_TOOLS=OFF "${launcher[@]}"
cmake --build build/package
rm -f build/package/velmira_*.deb
(cd build/package && cpack -G DEB)
ls build/package/velmira_*.deb

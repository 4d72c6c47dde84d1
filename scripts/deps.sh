#!/usr/bin/env bash
# Installs the Debian packages that Velmira needs to build, run and be tested, when they are missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-translations-l10n qt6-svg-dev
  qt6-qpa-plugins libqt6svg6
  libespeak-ng-dev espeak-ng-data espeak-ng
  fonts-liberation libbenchmark-dev desktop-file-utils
)
if [ "${1:-}" = "--test" ]; then
  # sox measures the sound the tests write; python3 runs a second implementation of the reminder file.
  packages+=(sox python3)
fi
# The benchmarks of what the user waits for run the program on an X server and a sound server of their own.
if [ "${1:-}" = "--bench" ]; then packages+=(xvfb x11-utils xdotool pulseaudio pulseaudio-utils); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Устанавливаю пакеты: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"

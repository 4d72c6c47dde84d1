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

# RHVoice's natural Russian voices come from Debian's non-free section: installed when apt knows them;
# libsamplerate brings their speech to the program's sample rate.
packages+=(libsamplerate0-dev)
optional=(rhvoice rhvoice-russian librhvoice-dev)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed'; then
    missing+=("$p")
  fi
done
missing_optional=()
for p in "${optional[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed'; then
    missing_optional+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  echo "Устанавливаю пакеты: ${missing[*]}"
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [ ${#missing_optional[@]} -gt 0 ]; then
  # A package apt has no candidate for (the non-free section is not enabled) is left out.
  available=()
  for p in "${missing_optional[@]}"; do
    if apt-cache policy "$p" 2>/dev/null | grep -q 'Candidate: [0-9]'; then
      available+=("$p")
    fi
  done
  if [ ${#available[@]} -eq ${#missing_optional[@]} ]; then
    echo "Устанавливаю естественные голоса RHVoice: ${available[*]}"
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${available[@]}"
  else
    echo "Естественные русские голоса RHVoice не установлены: включите раздел non-free в источниках apt (см. README) и запустите этот сценарий снова."
  fi
fi

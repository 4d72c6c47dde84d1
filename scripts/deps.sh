#!/usr/bin/env bash
# Installs the Debian packages that Velmira needs, when they are missing:
#   scripts/deps.sh            to build and run the program (./run.sh)
#   scripts/deps.sh --test     and to build and run the tests (./test.sh)
#   scripts/deps.sh --bench    and to build and run the benchmarks
#   scripts/deps.sh --package  and to make the Debian package (scripts/package.sh)
# Optional, never installed here: libreoffice-writer for "Экспорт" to a word processor.
set -euo pipefail

# Building: compiler, CMake, Qt and espeak-ng's headers. Running: Qt's platform plugins, the SVG
# icon engine for the toolbar, Qt's own Russian texts, the voices' data.
packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libespeak-ng-dev
  qt6-qpa-plugins libqt6svg6 qt6-translations-l10n espeak-ng-data
  # books and documents: zip archives (EPUB, DOCX, ODT, zipped FB2) and PDF
  libzip-dev libpoppler-qt6-dev
  # sound files (MP3, Ogg Vorbis, Opus, FLAC) and resampling for Opus and RHVoice
  libsndfile1-dev libsamplerate0-dev
  # MP3 and Opus encoded directly (LAME, libopus in Ogg), soxr converting speech to Opus's rates
  libmp3lame-dev libopus-dev libogg-dev libsoxr-dev
  # Ogg Vorbis encoded directly (libvorbisenc) at a rate fitted to speech
  libvorbis-dev
)
for arg in "$@"; do
  case "$arg" in
    --test)
      # ccache speeds rebuilds up; python3 runs a second implementation of the reminder file; the
      # fonts are the ones the font tests name; desktop-file-utils, appstream and man-db check the
      # desktop entries, the AppStream metadata and the manual pages.
      packages+=(ccache python3 fonts-liberation desktop-file-utils appstream man-db)
      # The end-to-end tests: a private X desktop with a window manager and a notification area, the
      # accessibility bus, a PulseAudio server with a null sink, and the tools that drive and hear it.
      packages+=(xvfb xauth x11-utils xdotool xclip imagemagick openbox trayer dbus dbus-x11 at-spi2-core
        python3-pyatspi gir1.2-atspi-2.0 pulseaudio pulseaudio-utils)
      # libfaketime moves the program's clock in the end-to-end test of reminders.
      packages+=(libfaketime) ;;
    --bench)
      # espeak-ng's own command line is the yardstick of the speech benchmarks.
      packages+=(libbenchmark-dev espeak-ng)
      # the book benchmark compares opening books with LibreOffice's conversion
      packages+=(libreoffice-writer-nogui)
      # bench_heard runs the program on an X server and a sound server of its own.
      packages+=(xvfb x11-utils xdotool pulseaudio pulseaudio-utils) ;;
    --package)
      # dpkg-shlibdeps finds the package's dependencies; file tells it which files are programs.
      packages+=(dpkg-dev file) ;;
    *) echo "Неизвестный аргумент / unknown argument: $arg" >&2; exit 2 ;;
  esac
done

# RHVoice's natural Russian voices come from Debian's non-free section: installed when apt knows them.
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

install_line="apt-get update && apt-get install --no-install-recommends ${missing[*]} ${missing_optional[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    cat >&2 <<MESSAGE
Не хватает пакетов Debian, а установить их может только root (sudo здесь нет).
Выполните от имени root (например, после «su -») и запустите эту команду снова:
Debian packages are missing, and only root can install them (there is no sudo here).
Run as root (for example after "su -"), then run this command again:

    $install_line

MESSAGE
    exit 1
  fi
  echo "Устанавливаю пакеты через sudo / installing packages with sudo"
  sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  echo "Устанавливаю пакеты / installing packages: ${missing[*]}"
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

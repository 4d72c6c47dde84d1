#!/usr/bin/env bash
# Fuzzes the FB2 or the EPUB reader for SECONDS seconds (default 60) on one core, starting from the
# seed files in fuzz/corpus/READER/. New inputs go to build/fuzz/corpus-READER/, inputs that break the
# reader to build/fuzz/findings-READER/; one input taking over 60 s counts as a hang, more than 2 GB of
# memory as a failure. Usage: fuzz/run-book-fuzzer.sh fb2|epub [SECONDS] [extra libFuzzer options]
set -euo pipefail
cd "$(dirname "$0")/.."
reader="${1:?fb2 or epub}"
shift
case "$reader" in fb2|epub) ;; *) echo "Неизвестный читатель: $reader (fb2 или epub)" >&2; exit 2 ;; esac
seconds="${1:-60}"
shift || true

missing=()
for p in clang libclang-rt-14-dev libzip-dev libpoppler-qt6-dev; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Устанавливаю пакеты: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build=build/fuzz
cmake -S fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j1 --target "${reader}_reader_fuzzer"
mkdir -p "$build/corpus-$reader" "$build/findings-$reader"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
exec "$build/${reader}_reader_fuzzer" -max_total_time="$seconds" -max_len=100000 -timeout=60 -rss_limit_mb=2048 \
  -dict=fuzz/books.dict -artifact_prefix="$build/findings-$reader/" -print_final_stats=1 "$@" \
  "$build/corpus-$reader" "fuzz/corpus/$reader"

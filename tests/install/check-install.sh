#!/usr/bin/env bash
# Installs the build into a staging folder and checks what a desktop and a package need: the
# executables, a valid desktop entry and AppStream metadata that name each other, the icon, manual
# pages that render without warnings, the user guide and the licence.
# Usage: check-install.sh BUILD_DIR SOURCE_DIR APP_ID WITH_SAY(0|1)
set -euo pipefail
build=$1 source=$2 id=$3 with_say=$4

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null
usr=$stage/usr

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
need_file() { [ -f "$usr/$1" ] || fail "missing $1"; }

[ -x "$usr/bin/velmira" ] || fail "missing bin/velmira"
if [ "$with_say" = 1 ]; then
  [ -x "$usr/bin/velmira-say" ] || fail "missing bin/velmira-say"
  need_file share/man/man1/velmira-say.1
fi
desktop=share/applications/$id.desktop
metainfo=share/metainfo/$id.metainfo.xml
for f in "$desktop" "$metainfo" "share/icons/hicolor/scalable/apps/$id.svg" share/man/man1/velmira.1 \
         share/doc/velmira/help/Help.md share/doc/velmira/Help.rtf share/doc/velmira/copyright; do
  need_file "$f"
done

if [ -f "$usr/$desktop" ]; then
  desktop-file-validate "$usr/$desktop" || fail "desktop-file-validate rejects $desktop"
  grep -qx 'Exec=velmira %f' "$usr/$desktop" || fail "$desktop does not start 'velmira %f'"
  grep -qx "Icon=$id" "$usr/$desktop" || fail "$desktop names another icon"
  for type in text/plain application/rtf; do
    grep -q "^MimeType=.*$type;" "$usr/$desktop" || fail "$desktop does not open $type"
  done
fi

if [ -f "$usr/$metainfo" ]; then
  appstreamcli validate --no-net --pedantic "$usr/$metainfo" >/dev/null ||
    fail "appstreamcli rejects $metainfo: $(appstreamcli validate --no-net --pedantic "$usr/$metainfo" 2>&1)"
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$usr/$metainfo" ||
    fail "$metainfo does not launch $id.desktop"
  # The screenshots are the user guide's pictures, published under the same names.
  shots=$(grep -o '<image[^>]*>[^<]*</image>' "$usr/$metainfo" | sed 's|</image>||; s|.*/||')
  [ "$(echo "$shots" | grep -c .)" -ge 2 ] || fail "$metainfo has fewer than two screenshots"
  for shot in $shots; do
    [ -f "$source/resources/help/$shot" ] || fail "screenshot $shot is not a picture of the user guide"
  done
  if [ "$with_say" = 1 ]; then
    grep -q '<binary>velmira-say</binary>' "$usr/$metainfo" || fail "$metainfo does not provide velmira-say"
  fi
fi

while IFS= read -r page; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "${page#"$usr"/}: $warnings"
  ! grep -q '@[A-Z_]*@' "$page" || fail "${page#"$usr"/} holds an unconfigured @VARIABLE@"
done < <(find "$usr/share/man" -name '*.1')

[ "$failures" -eq 0 ] || exit 1
echo "The install layout is complete."

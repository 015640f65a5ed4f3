#!/usr/bin/env bash
# What Debian and the desktop's software centres check on the built package: lintian finds no
# error and no warning; the menu entry passes desktop-file-validate and the AppStream metadata
# appstreamcli (offline); and the pieces agree: the metadata's id names the menu entry and its
# icon, which is there as an SVG and as a PNG of the right size in every size folder.
#
# Usage: lint_package.sh DEB
# Needs lintian, desktop-file-validate (desktop-file-utils), appstreamcli (appstream), file.
set -uo pipefail

readonly SIZES=(16 22 24 32 48 64 128 256)
deb=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() {
  echo "FAIL: $*"
  status=1
}

# Root is told lintian should not run as root; that is all it has to say about it.
lintian --fail-on error,warning --display-level '>=warning' "$deb" 2> >(grep -v 'root privileges' >&2) ||
  fail "lintian reports errors or warnings"

dpkg-deb -x "$deb" "$work"
share=$work/usr/share
metainfo=("$share"/metainfo/*.metainfo.xml)
if [ ${#metainfo[@]} -ne 1 ] || [ ! -f "${metainfo[0]}" ]; then
  fail "not one metainfo file: ${metainfo[*]}"
fi
id=$(basename "${metainfo[0]}" .metainfo.xml)
desktop=$share/applications/$id.desktop
appstreamcli validate --no-net "${metainfo[0]}" || fail "appstreamcli validate"
desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"

grep -q "<id>$id</id>" "${metainfo[0]}" || fail "the metainfo's <id> is not its file name $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "${metainfo[0]}" ||
  fail "the metainfo does not launch $id.desktop"
grep -qx "Icon=$id" "$desktop" || fail "the menu entry's icon is not $id"
icons=$share/icons/hicolor
[ -s "$icons/scalable/apps/$id.svg" ] || fail "no scalable icon"
for size in "${SIZES[@]}"; do
  png=$icons/${size}x${size}/apps/$id.png
  file "$png" | grep -q "PNG image data, $size x $size," || fail "$png: $(file -b "$png")"
done
[ "$status" -eq 0 ] && echo "PASS: lintian, desktop-file-validate, appstreamcli; id $id throughout"
exit "$status"

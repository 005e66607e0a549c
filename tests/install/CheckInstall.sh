#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks the installed tree:
# every file a desktop expects, and the validators' verdict on them.
#   CheckInstall.sh BUILD_DIR WITH_GUI(ON|OFF)
set -euo pipefail
build=$1
with_gui=$2
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT

DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null
root=$dest/usr
id=org.stowlist.Stowlist
fail=0
need() {
  if [ ! -e "$root/$1" ]; then echo "missing: /usr/$1"; fail=1; fi
}

need bin/stowlist-cli
if [ "$with_gui" = ON ]; then
  need bin/stowlist
  need share/stowlist/stowlist.qch
fi
need share/applications/$id.desktop
need share/metainfo/$id.metainfo.xml
need share/icons/hicolor/scalable/apps/$id.svg
for size in 16 32 48 64 128 256; do need share/icons/hicolor/${size}x${size}/apps/$id.png; done
need share/man/man1/stowlist.1.gz
need share/man/man1/stowlist-cli.1.gz
need share/doc/stowlist/copyright

desktop-file-validate "$root/share/applications/$id.desktop" || fail=1
appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml" >/dev/null || {
  appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml"; fail=1; }
for page in stowlist stowlist-cli; do
  if ! LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$root/share/man/man1/$page.1.gz" >/dev/null 2>"$dest/man.err" || [ -s "$dest/man.err" ]; then
    echo "man page $page does not format cleanly:"; cat "$dest/man.err"; fail=1
  fi
done
"$root/bin/stowlist-cli" --version | grep -q '1\.0\.3' || { echo "installed stowlist-cli does not report 1.0.3"; fail=1; }
exit $fail

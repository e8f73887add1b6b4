#!/usr/bin/env bash
# The Debian packages as an administrator meets them: built from a release
# tree by scripts/package, checked by lintian (no errors), the desktop entry
# and AppStream file validated, every manual page rendered, and, as root,
# installed with dpkg, each program run from its installed path, the unit
# verified where systemd is present, and removed and purged cleanly.
# Usage: check_packages.sh SOURCE_DIR
set -euo pipefail

root="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

QUELT_PACKAGE_KEEP=1 "$root/scripts/package" "$work/debs"
debs=("$work"/debs/*.deb)
[ "${#debs[@]}" -eq 3 ] || fail "expected 3 packages, got ${#debs[@]}"
version="$(dpkg-deb -f "${debs[0]}" Version)"

echo "== lintian"
lintian_user=()
# lintian will not unpack packages as root; it runs as nobody then.
if [ "$(id -u)" -eq 0 ]; then
  chmod 755 "$work" "$work/debs"
  lintian_user=(runuser -u nobody --)
fi
for deb in "${debs[@]}"; do
  "${lintian_user[@]}" lintian --fail-on error --suppress-tags-from-file /dev/null "$deb" \
    || fail "lintian reports errors on $(basename "$deb")"
done

echo "== desktop entry, AppStream and manual pages"
for deb in "${debs[@]}"; do dpkg-deb -x "$deb" "$work/tree"; done
desktop-file-validate "$work/tree/usr/share/applications/com.velcor.quelt.desktop"
appstreamcli validate --no-net --pedantic "$work/tree/usr/share/metainfo/com.velcor.quelt.metainfo.xml" \
  || appstreamcli validate --no-net "$work/tree/usr/share/metainfo/com.velcor.quelt.metainfo.xml"
for page in man1/quelt.1.gz man1/ctadm.1.gz man8/ctserver.8.gz; do
  out="$(MANWIDTH=80 man -l "$work/tree/usr/share/man/$page" 2>&1 >/dev/null)"
  [ -z "$out" ] || fail "man -l $page: $out"
  [ -n "$(MANWIDTH=80 man -l "$work/tree/usr/share/man/$page" 2>/dev/null)" ] || fail "$page renders empty"
done
[ -s "$work/tree/usr/share/icons/hicolor/scalable/apps/quelt.svg" ] || fail "no icon"

if [ "$(id -u)" -ne 0 ]; then
  echo "== install: skipped (needs root, as CI runs)"
  exit 0
fi

echo "== install"
DEBIAN_FRONTEND=noninteractive dpkg -i "${debs[@]}"
for program in /usr/bin/quelt /usr/bin/ctadm /usr/sbin/ctserver; do
  got="$("$program" --version)"
  [ "$got" = "$(basename "$program") $version" ] || fail "$program --version says '$got', the package $version"
done
/usr/bin/ctadm --help >/dev/null
/usr/sbin/ctserver --help >/dev/null
/usr/bin/quelt --help >/dev/null
[ -f /etc/velcor/halden-client.reg ] || fail "no registry file"
grep -q '"RootPath"="/usr/share/quelt"' /etc/velcor/halden-client.reg || fail "RootPath does not lead to the help"
[ -f /usr/share/quelt/Client/Admin/help/index.html ] || fail "the help is not where RootPath leads"
man -w ctadm >/dev/null || fail "man ctadm finds no page"

if command -v systemd-analyze >/dev/null; then
  systemd-analyze verify /lib/systemd/system/ctserver.service || fail "systemd-analyze rejects the unit"
else
  echo "systemd-analyze: skipped (systemd is not installed here)"
fi

echo "== remove and purge"
dpkg --purge quelt ctadm ctserver
for path in /usr/bin/quelt /usr/bin/ctadm /usr/sbin/ctserver /lib/systemd/system/ctserver.service \
            /etc/velcor/halden-client.reg /usr/share/quelt; do
  [ ! -e "$path" ] || fail "$path is left after purge"
done
echo "packages built, checked, installed and removed: ${debs[*]##*/}"

#!/usr/bin/env bash
# Installs a built orvane .deb into a fresh, empty root with dpkg (no chroot, no root rights
# needed) and checks that the files land where the desktop entry points and that every
# installed program and library finds the product's own libraries.
#   tools/checkpackage.sh PACKAGE.deb
set -euo pipefail
deb=${1:?usage: checkpackage.sh PACKAGE.deb}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
# Dependencies are the system's business here: the root is empty.
dpkg --root="$root" --log=/dev/null --force-not-root --force-depends --force-script-chrootless \
     --instdir="$root" --admindir="$root/var/lib/dpkg" -i "$deb" >/dev/null

fail() { echo "checkpackage: $*" >&2; exit 1; }
desktop="$root/usr/share/applications/orvane.desktop"
[ -f "$desktop" ] || fail "no desktop entry"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
[ -x "$root/usr/bin/$exec_name" ] || fail "Exec=$exec_name is not in /usr/bin"
[ -f "$root/usr/share/icons/hicolor/48x48/apps/$icon_name.png" ] || fail "Icon=$icon_name missing"
[ -f "$root/usr/share/metainfo/org.orvane.Orvane.metainfo.xml" ] || fail "no AppStream metadata"
grep -q "<binary>$exec_name</binary>" "$root/usr/share/metainfo/org.orvane.Orvane.metainfo.xml" ||
    fail "the metadata names another program"
for code in deu enu por; do
    [ -f "$root/usr/share/orvane/help/Orvane_$code.chm" ] || fail "help file Orvane_$code.chm missing"
done
[ -f "$root/usr/share/orvane/demo/demo.ini" ] || fail "no demo"
[ -f "$root/usr/lib/orvane/libvexcore.so" ] || fail "no kernel library"
# Every program and library resolves the product's libraries from the installed tree alone.
for f in "$root"/usr/bin/* "$root"/usr/lib/orvane/*.so; do
    missing=$(env -u LD_LIBRARY_PATH ldd "$f" 2>/dev/null | grep "not found" || true)
    [ -z "$missing" ] || fail "$f: $missing"
done
# The installed kernel-information tool runs and reads the kernel library it finds.
env -u LD_LIBRARY_PATH QT_QPA_PLATFORM=offscreen "$root/usr/bin/kernelinfo" >/dev/null ||
    fail "kernelinfo does not run from the installed tree"
# The batch tracker is installed beside the program and runs without a display.
[ -x "$root/usr/bin/orvane-track" ] || fail "orvane-track is not in /usr/bin"
env -u LD_LIBRARY_PATH -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/orvane-track" --version >/dev/null ||
    fail "orvane-track does not run from the installed tree"
echo "checkpackage: $deb installs into a clean root; desktop entry, icon, help, demo, libraries and orvane-track in place"

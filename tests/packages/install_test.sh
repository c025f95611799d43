#!/usr/bin/env bash
# Installs the built packages into a fresh Debian 12 root, checks that each
# file the desktop reads is where it reads it and that the session bus
# starts the extension from the installed service file, then removes the
# packages and finds none of their files left. Needs root and the network.
#   tests/packages/install_test.sh PACKAGES_DIR
set -euo pipefail
debs="$(realpath "$1")"
root="$(mktemp -d)"
cleanup() {
  umount "$root/proc" 2>/dev/null || true
  rm -rf "$root"
}
trap cleanup EXIT
fail() { echo "install test: $*" >&2; exit 1; }
in_root() { chroot "$root" "$@"; }

mmdebstrap --quiet --variant=apt bookworm "$root" "deb http://deb.debian.org/debian bookworm main"
mount -t proc proc "$root/proc"
mkdir "$root/debs"
cp "$debs"/*.deb "$root/debs/"
packages=() files=()
for deb in "$root"/debs/*.deb; do
  packages+=("$(dpkg-deb -f "$deb" Package)")
  files+=("/debs/$(basename "$deb")")
done
# The bus daemon and gdbus only drive the check; the packages bring the rest.
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o Dpkg::Use-Pty=0 \
  --no-install-recommends \
  dbus-daemon libglib2.0-bin "${files[@]}" >/dev/null

expect_file() { [ -f "$root$1" ] || fail "$1 is missing"; }
expect_file "$(pkg-config --variable=extensiondir libnautilus-extension-4)/libcorvane-nautilus.so"
service=/usr/share/dbus-1/services/Brenvo.Corvane.FinderSync.service
expect_file "$service"
grep -qx 'Exec=/usr/bin/corvane-findersync' "$root$service" || fail "$service names another program"
if [[ " ${packages[*]} " == *" corvane-plus "* ]]; then
  expect_file /usr/share/applications/Brenvo.Corvane.Plus.desktop
fi

# Nothing runs the extension yet: the first call starts it from the service
# file. (The started process logs to the same output; the reply is its own line.)
reply="$(in_root dbus-run-session -- gdbus call --session --dest Brenvo.Corvane.FinderSync \
  --object-path /Brenvo/Corvane/FinderSync --method Brenvo.Corvane.FinderSync.GetMenu \
  0 "[b'/tmp']" "[]" 2>/dev/null)"
grep -qxF "(false, '', @a(bssssssbb) [])" <<<"$reply" || fail "unexpected menu reply: $reply"

owned="$(mktemp)"
in_root dpkg -L "${packages[@]}" | sort -u >"$owned"
in_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq -o Dpkg::Use-Pty=0 \
  "${packages[@]}" >/dev/null
left=0
while read -r path; do
  if [ -f "$root$path" ] || [ -L "$root$path" ]; then echo "left behind: $path" >&2; left=1; fi
done <"$owned"
rm -f "$owned"
[ "$left" = 0 ] || fail "files of the packages are left after removal"
echo "install test: ${packages[*]} installed, started by D-Bus activation and removed cleanly"

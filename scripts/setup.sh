#!/usr/bin/env bash
# Installs what building, running and testing Quadrix needs on Debian 12 (run as root).
set -euo pipefail
# desktop-file-utils and appstream check the installed desktop files; dpkg-dev and file let
# CPack find the Debian package's dependencies. dbus-daemon (with dbus-run-session) and the session
# bus configuration give the turn notification's test a private session bus. libminiupnpc-dev asks
# home routers to open the hosted port; miniupnpd-nftables, nftables and iproute2 make the home
# network of its test.
PACKAGES=(cmake g++ make qt6-base-dev qt6-base-dev-tools libgl-dev xvfb xauth x11-utils fonts-liberation fonts-dejavu-core
          desktop-file-utils appstream dpkg-dev file dbus-daemon dbus-session-bus-common
          libminiupnpc-dev miniupnpd-nftables nftables iproute2)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

#!/usr/bin/env bash
# Builds the Debian packages (quadrix and quadrix-server) from a clean build folder, checks what they
# hold and what they depend on, installs them with apt-get, checks the installed files and starts the
# installed program under Xvfb as an ordinary user who cannot write /usr/bin, then removes them again.
# Run as root on Debian 12. It builds the program afresh: several minutes on two cores.
# Usage: bash scripts/check-deb.sh [build folder, default build-deb] [extra CMake arguments...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$root/${1:-build-deb}"
shift || true

fail() { echo "check-deb: $*" >&2; exit 1; }
[ "$(id -u)" = 0 ] || fail "run as root: the package is installed and removed with apt-get"
for p in quadrix quadrix-server; do
  if dpkg-query -W -f='${Status}' $p 2>/dev/null | grep -q "install ok installed"; then
    fail "a $p package is installed already; this check would remove it at the end"
  fi
done
bash "$root/scripts/setup.sh"

echo "== building the package in $dir"
rm -rf "$dir"
# Only the installed programs are built: cpack then installs what is there.
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "$@" >/dev/null
cmake --build "$dir" -j2 --target quadrix quadrix-bot quadrix-server
(cd "$dir" && cpack -G DEB >/dev/null)
deb="$dir/quadrix_1.11-1_$(dpkg --print-architecture).deb"
sdeb="$dir/quadrix-server_1.11-1_$(dpkg --print-architecture).deb"
for d in "$deb" "$sdeb"; do
  [ -f "$d" ] || fail "no package $d"
  echo "made $(basename "$d") ($(stat -c %s "$d") bytes)"
done

echo "== its dependencies"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
dep_names=" $(echo "$depends" | sed 's/([^)]*)//g; s/[,|]/ /g') "
work=$(mktemp -d)
home=""
cleanup() {
  for p in quadrix quadrix-server; do
    if dpkg-query -W -f='${Status}' $p 2>/dev/null | grep -q "install ok installed"; then
      apt-get purge -y -q $p >/dev/null
    fi
  done
  rm -rf "$work"
}
trap cleanup EXIT
dpkg-deb -x "$deb" "$work/pkg"
# Every library the programs load directly must come from a package the .deb depends on: a
# machine with nothing but those runtime packages then runs it.
for bin in "$work"/pkg/usr/bin/*; do
  for lib in $(objdump -p "$bin" | awk '/NEEDED/ {print $2}'); do
    owners=$(dpkg -S "*/$lib" 2>/dev/null | cut -d: -f1 | tr ', ' '\n' | sort -u)
    found=no
    for o in $owners; do
      case "$dep_names" in *" $o "*) found=yes ;; esac
    done
    [ "$found" = yes ] || fail "$(basename "$bin") needs $lib (from ${owners:-no package}) but the package does not depend on it"
  done
done
case "$dep_names" in *" qt6-qpa-plugins "*) ;; *) fail "no dependency on Qt's display plugins (qt6-qpa-plugins)" ;; esac
echo "every library needed comes from a dependency"

echo "== the server's package"
sdepends=$(dpkg-deb -f "$sdeb" Depends)
echo "Depends: $sdepends"
case "$sdepends" in *gui*|*widgets*|*qpa*) fail "quadrix-server depends on a window library" ;; esac
dpkg-deb -x "$sdeb" "$work/spkg"
for f in usr/bin/quadrix-server etc/quadrix/server.ini lib/systemd/system/quadrix-server.service; do
  [ -f "$work/spkg/$f" ] || [ -f "$work/spkg/usr/$f" ] || fail "quadrix-server lacks $f"
done
dpkg-deb --ctrl-tarfile "$sdeb" | tar -xO ./conffiles | grep -qx /etc/quadrix/server.ini \
  || fail "server.ini is not a conffile"
for lib in $(objdump -p "$work/spkg/usr/bin/quadrix-server" | awk '/NEEDED/ {print $2}'); do
  case "$lib" in *Gui*|*Widgets*) fail "quadrix-server loads $lib" ;; esac
done
echo "no window library; the unit and the settings file are there, the settings a conffile"

echo "== installing it with apt-get"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb" "$sdeb" >/dev/null
id=$(basename /usr/share/metainfo/*quadrix*.metainfo.xml .metainfo.xml)
for f in /usr/bin/quadrix /usr/bin/quadrix-bot "/usr/share/applications/$id.desktop" \
         "/usr/share/icons/hicolor/scalable/apps/$id.svg"; do
  [ -f "$f" ] || fail "$f is not installed"
done
for size in 16 32 48 64 128 256; do
  [ -f "/usr/share/icons/hicolor/${size}x$size/apps/$id.png" ] || fail "no $size px icon"
done
desktop-file-validate "/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "/usr/share/metainfo/$id.metainfo.xml" >/dev/null
[ "$(env -u DISPLAY quadrix --version)" = "Quadrix v1.11" ] || fail "quadrix --version"
quadrix-bot --help >/dev/null || fail "quadrix-bot --help"
# The installed settings file is read as it comes (every key commented out); a second later SIGTERM.
out=$(timeout -s TERM 1 env -u DISPLAY quadrix-server --config /etc/quadrix/server.ini --port 0 2>&1 || true)
case "$out" in *"Listening on port"*) ;; *) fail "quadrix-server did not start with the installed settings: $out" ;; esac
echo "installed files, desktop entry and metainfo are sound"

echo "== starting it under Xvfb as the user nobody"
home="$work/home"
mkdir -p "$home/runtime"
chmod 755 "$work"
chmod 700 "$home/runtime"
chown -R nobody:nogroup "$home"
out=$(xvfb-run -a -s "-ac -screen 0 1024x768x24" sh "$root/tests/app/run_and_close.sh" 40 \
        setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env -u XAUTHORITY -u XDG_CONFIG_HOME HOME="$home" XDG_RUNTIME_DIR="$home/runtime" quadrix 2>&1) \
  || fail "the program failed: $out"
echo "$out"
ms=$(echo "$out" | sed -n 's/^ended after \([0-9]*\) ms$/\1/p')
[ -n "$ms" ] && [ "$ms" -lt 1000 ] || fail "the program did not end within a second of SIGTERM"
ini="$home/.config/quadrix/Quadrix.INI"
[ -f "$ini" ] || fail "no settings in $ini"
grep -q '^PORT=110$' "$ini" || fail "unexpected settings: $(cat "$ini")"
[ ! -e /usr/bin/Quadrix.INI ] || fail "settings written beside the program"
echo "settings kept in the user's folder: $ini"

echo "== removing it"
apt-get purge -y -q quadrix quadrix-server >/dev/null
[ ! -e /usr/bin/quadrix ] || fail "/usr/bin/quadrix is still there"
[ ! -e /etc/quadrix/server.ini ] || fail "/etc/quadrix/server.ini is still there after purge"
echo "check-deb: all checks passed"

#!/usr/bin/env bash
# Takes the README's screenshot of the desktop program: a virtual X server with a small window
# manager, the program on a sample picture, one picture of the whole screen.
# Usage: tools/screenshot.sh [OUTPUT.png]   (needs a build in build/)
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=${1:-docs/kvadra2.png}
need=()
for p in xvfb matchbox-window-manager imagemagick xdotool; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${need[@]}"
fi
DISPLAY_NO=:77
Xvfb $DISPLAY_NO -screen 0 1280x860x24 >/dev/null 2>&1 &
XPID=$!
trap 'kill $KPID $WMPID $XPID 2>/dev/null || true' EXIT
sleep 1
DISPLAY=$DISPLAY_NO matchbox-window-manager -use_titlebar no >/dev/null 2>&1 &
WMPID=$!
sleep 1
DISPLAY=$DISPLAY_NO build/bin/Kvadra2 samples/astronaut.bmp >/dev/null 2>&1 &
KPID=$!
sleep 4
mkdir -p "$(dirname "$OUT")"
DISPLAY=$DISPLAY_NO import -window root "$OUT"
echo "Wrote $OUT"

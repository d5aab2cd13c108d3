#!/bin/sh
# Installs what the settings dialog needs, from Debian's packages: Qt 6
# Widgets (with QtTest) to build it, the offscreen platform to test it, a
# Japanese font so that its texts render (IPAGothic also stands in for the
# monospaced "ＭＳ ゴシック": a Japanese character is exactly two Latin columns
# wide), and Google Benchmark for its keystroke benchmark.
#
#   sudo scripts/setup-dialog.sh
set -eu

packages="qt6-base-dev qt6-base-dev-tools libqt6gui6 fonts-ipafont-gothic fontconfig libbenchmark-dev"

missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  # shellcheck disable=SC2086
  apt-get install -y --no-install-recommends $missing
fi

# The dialog asks fontconfig for the Japanese fonts by name.
fc-cache -f >/dev/null 2>&1 || true
if ! fc-list | grep -q IPAGothic; then
  echo "setup-dialog: the Japanese font IPAGothic is not available" >&2
  exit 1
fi

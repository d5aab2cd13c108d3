#!/usr/bin/env bash
# The Debian package `cpack` builds from the install rules, unpacked into a
# scratch root with dpkg -x: it is named tolvan_VERSION_amd64.deb, depends on
# the Qt libraries, and its program comments a module as the built one does,
# finds its settings dialog under lib/tolvan and its user guide under share/.
set -uo pipefail
build="${1:?usage: debian_package_test.sh BUILD_DIR SOURCE_DIR VERSION}"
source_dir="${2:?usage: debian_package_test.sh BUILD_DIR SOURCE_DIR VERSION}"
version="${3:?usage: debian_package_test.sh BUILD_DIR SOURCE_DIR VERSION}"
command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null ||
  { echo "skipped: dpkg-deb and dpkg-shlibdeps (dpkg-dev) are not installed"; exit 77; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"
(cd "$build" && cpack -B "$work/out" >"$work/cpack.log" 2>&1) || { echo "FAIL: cpack"; cat "$work/cpack.log"; exit 1; }
deb="$work/out/tolvan_${version}_amd64.deb"
[ -f "$deb" ] || { echo "FAIL: no $(basename "$deb"), only:"; ls "$work/out"; exit 1; }
status=0
check() { # what | command...
  local what="$1"
  shift
  if "$@" >"$work/check.log" 2>&1; then echo "ok   $what"; else echo "FAIL $what"; cat "$work/check.log"; status=1; fi
}
depends="$(dpkg-deb -f "$deb" Depends)"
check "depends on the Qt widgets ($depends)" grep -q 'libqt6widgets6' <<<"$depends"
dpkg -x "$deb" "$work/root"
program="$work/root/usr/bin/tolvan"
module="$source_dir/examples/Payroll/modCalc.bas"
check "the packaged program comments a module as the built one does" cmp \
  <("$program" comment "$module" --line 14 --now "2026-01-02 03:04:05" --stdout) \
  <("$build/src/cli/tolvan" comment "$module" --line 14 --now "2026-01-02 03:04:05" --stdout)
check "the packaged program installs its own user guide" sh -c \
  "'$program' install-help '$work/guide' && cmp '$work/guide/index.html' '$source_dir/resources/help/index.html'"
# Without a display the dialog library, once loaded, says it has none to show on.
check "the packaged program loads its settings dialog" sh -c \
  "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '$program' settings 2>&1 | grep -q 'no display'"
exit $status

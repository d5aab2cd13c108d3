#!/usr/bin/env bash
# Installs the Debian 12 packages Tolvan builds and tests with, only when one
# is missing (so a machine that has them all needs no network).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  # JSON for the language server (tolvan lsp); neovim runs its editor test.
  nlohmann-json3-dev neovim
  qt6-base-dev fontconfig clang-format
  # Japanese texts in the dialog; IPAGothic also stands in for the monospaced
  # "ＭＳ ゴシック": a Japanese character is exactly two Latin columns wide.
  fonts-ipafont-gothic
  # The About box's title font (C059), so its screenshot renders as committed.
  fonts-urw-base35
  # The fuzz targets of fuzz/ (scripts/fuzz.sh): clang and its libFuzzer.
  clang-14 libfuzzer-14-dev
  # The linker that lays the functions a command runs side by side
  # (src/cli/hot-functions.txt); without it the program links as before.
  lld
  # Qt's own texts in the dialog (file chooser, prompts, buttons) in Japanese.
  qt6-translations-l10n
  # Emacs with Debian's eglot runs the editor test of the README's Emacs set-up.
  emacs-nox elpa-eglot
)
# Node and npm package the VS Code client (scripts/package-vscode.sh). A Node
# from elsewhere brings its own npm, which Debian's npm would conflict with.
command -v npm >/dev/null || packages+=(nodejs npm)
[ "${TOLVAN_WITH_BENCH_TOOLS:-0}" = 1 ] && packages+=(hyperfine)
# The Windows cross-builds, their checks under Wine with a virtual display,
# and the installer (scripts/windows.sh).
[ "${TOLVAN_WITH_WINDOWS_TOOLS:-0}" = 1 ] && packages+=(g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64 nsis xvfb xauth)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

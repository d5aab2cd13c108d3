#!/usr/bin/env bash
# Packages the VS Code client in editors/vscode into a .vsix (in that folder,
# or where $1 says): the client and vscode-languageclient bundled by esbuild
# into dist/extension.js, with package.json, README.md and LICENSE, and no
# node_modules. Needs Node and npm with the npm registry (the packages of
# package-lock.json, once; npm keeps them in its cache).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
src="$here/editors/vscode"
out="$(realpath -m "${1:-$src/tolvan.vsix}")"
command -v npm >/dev/null || { echo "package-vscode.sh: npm is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# Built in a copy, so that the source folder gets no node_modules of its own.
cp -r "$src/src" "$src/package.json" "$src/package-lock.json" "$src/README.md" "$src/LICENSE" \
      "$src/.vscodeignore" "$work/"
cd "$work"
npm ci --no-audit --no-fund --loglevel=error
npx --no-install vsce package --no-dependencies -o "$work/out.vsix"
mkdir -p "$(dirname "$out")"
mv "$work/out.vsix" "$out"
echo "packaged $out"

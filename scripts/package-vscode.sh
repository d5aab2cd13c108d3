#!/usr/bin/env bash
# Packages the VS Code client in editors/vscode into a .vsix (in that folder,
# or where $1 says). Needs Node and the npm registry (vscode-languageclient
# and @vscode/vsce).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
src="$here/editors/vscode"
out="${1:-$src/tolvan.vsix}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$src/package.json" "$src/extension.js" "$src/README.md" "$src/.vscodeignore" "$work/"
cp "$here/LICENSE" "$work/LICENSE" 2>/dev/null || true
cd "$work"
npm install --no-audit --no-fund --omit=dev --loglevel=error
npx --yes @vscode/vsce@2 package --allow-missing-repository --skip-license -o "$work/out.vsix"
mv "$work/out.vsix" "$out"
echo "packaged $out"

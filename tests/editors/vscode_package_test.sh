#!/usr/bin/env bash
# The VS Code package as scripts/package-vscode.sh builds it holds the
# bundled client and nothing it does not need: the bundle (with
# vscode-languageclient inside it), package.json naming it, README, LICENSE,
# and no node_modules. The bundle loads in Node with nothing beside it but
# the editor's own `vscode` module.
set -uo pipefail
source_dir="${1:?usage: vscode_package_test.sh SOURCE_DIR}"
command -v npm >/dev/null || { echo "skipped: npm is not installed (scripts/install-deps.sh installs it)"; exit 77; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
bash "$source_dir/scripts/package-vscode.sh" "$work/tolvan.vsix" >"$work/package.log" 2>&1 ||
  { echo "FAIL: package-vscode.sh"; cat "$work/package.log"; exit 1; }
python3 - "$work/tolvan.vsix" <<'PY'
import json, sys, zipfile
names = zipfile.ZipFile(sys.argv[1]).namelist()
package = zipfile.ZipFile(sys.argv[1])
failures = []
for wanted in ['extension/dist/extension.js', 'extension/package.json',
               'extension/README.md', 'extension/LICENSE.txt']:
    if wanted not in names:
        failures.append(f'{wanted} is missing')
extra = [n for n in names if n.startswith('extension/') and n not in (
    'extension/dist/extension.js', 'extension/package.json', 'extension/README.md',
    'extension/LICENSE.txt')]
if extra:
    failures.append(f'files beyond the bundle: {extra[:5]} ({len(extra)} in all)')
if 'extension/dist/extension.js' in names:
    bundle = package.read('extension/dist/extension.js').decode('utf-8')
    if 'require("vscode-languageclient' in bundle or "require('vscode-languageclient" in bundle:
        failures.append('the bundle requires vscode-languageclient instead of holding it')
if 'extension/package.json' in names:
    manifest = json.loads(package.read('extension/package.json'))
    if manifest.get('main') != './dist/extension.js':
        failures.append(f"package.json's main is {manifest.get('main')}")
    if 'languages' in manifest.get('contributes', {}):
        failures.append('package.json claims a language')
for failure in failures:
    print('FAIL', failure)
if failures:
    sys.exit(1)
print('ok   the package holds', ', '.join(sorted(names)))
PY

# The bundle on its own, with a stand-in for the `vscode` module the editor
# provides: it loads and exports the extension's entry points.
mkdir -p "$work/unpacked"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$work/tolvan.vsix" "$work/unpacked"
node -e '
  const Module = require("module");
  const load = Module._load;
  // Every member of the stand-in is a class, as most of the real module is.
  const vscode = new Proxy({}, { get: () => class {} });
  Module._load = (request, ...rest) => (request === "vscode" ? vscode : load(request, ...rest));
  try {
    const extension = require(process.argv[1]);
    if (typeof extension.activate !== "function" || typeof extension.deactivate !== "function")
      throw new Error("no activate and deactivate in the bundle");
  } catch (error) {
    console.log(error.message);
    process.exit(1);
  }
' "$work/unpacked/extension/dist/extension.js" || { echo "FAIL: the bundle does not load on its own"; exit 1; }
echo "ok   the bundle loads on its own"

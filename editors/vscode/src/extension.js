// The VS Code client of `tolvan lsp`. It attaches to module files by their
// name, whatever language another extension has given them, so it claims no
// language of its own; it puts the server's five commands in the palette and
// on keys, on the active editor's cursor or selection, and starts the server
// again when its settings change.
const vscode = require('vscode');
const { LanguageClient } = require('vscode-languageclient/node');
const { MODULE_PATTERN, COMMANDS, isModulePath, commandArguments } = require('./modules');

let client;

function newClient() {
  const config = vscode.workspace.getConfiguration('tolvan');
  const initializationOptions = { review: config.get('review', false) };
  const settingsFile = config.get('settingsFile', '');
  if (settingsFile) initializationOptions.settingsFile = settingsFile;
  return new LanguageClient(
    'tolvan',
    'Tolvan',
    { command: config.get('path', 'tolvan'), args: ['lsp'] },
    {
      documentSelector: [{ scheme: 'file', pattern: MODULE_PATTERN }],
      initializationOptions,
    },
  );
}

async function restart() {
  const old = client;
  client = undefined;
  if (old) await old.stop();
  client = newClient();
  await client.start();
}

// The values of the user macros the marker templates use, asked for each
// time with the last value offered; undefined when the user cancels.
async function askMacros(state) {
  const names = vscode.workspace.getConfiguration('tolvan').get('markerMacros', []);
  const macros = {};
  for (const name of names) {
    const key = `tolvan.macro.${name}`;
    const value = await vscode.window.showInputBox({
      title: 'Tolvan',
      prompt: `${name} の値`,
      value: state.get(key, ''),
      ignoreFocusOut: true,
    });
    if (value === undefined) return undefined;
    await state.update(key, value);
    macros[name] = value;
  }
  return macros;
}

// Runs a server command on the given document and range (from a key binding
// with arguments) or on the active editor's cursor or selection.
async function run(command, state, uri, range) {
  if (!client) return;
  if (!uri) {
    const editor = vscode.window.activeTextEditor;
    if (!editor || !isModulePath(editor.document.uri.path)) {
      vscode.window.showInformationMessage('Tolvan: open a Visual Basic module file first.');
      return;
    }
    uri = client.code2ProtocolConverter.asUri(editor.document.uri);
    range = client.code2ProtocolConverter.asRange(editor.selection);
  }
  let macros;
  if (command.marks) {
    macros = await askMacros(state);
    if (macros === undefined) return;
  }
  await client.sendRequest('workspace/executeCommand', {
    command: `tolvan.${command.name}`,
    arguments: commandArguments(uri, range, macros),
  });
}

function activate(context) {
  for (const command of COMMANDS) {
    context.subscriptions.push(
      vscode.commands.registerCommand(`tolvan.editor.${command.name}`, (uri, range) =>
        run(command, context.workspaceState, uri, range),
      ),
    );
  }
  context.subscriptions.push(
    vscode.workspace.onDidChangeConfiguration((event) => {
      // The macro names are read at each command; the rest is the server's.
      const server = ['tolvan.path', 'tolvan.review', 'tolvan.settingsFile'];
      if (server.some((name) => event.affectsConfiguration(name))) restart();
    }),
    { dispose: () => client && client.stop() },
  );
  return restart();
}

function deactivate() {
  return client ? client.stop() : undefined;
}

module.exports = { activate, deactivate };

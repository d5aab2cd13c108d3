// Starts `tolvan lsp` for Visual Basic module files, whatever language the
// editor has given them, and stops it with the extension.
const vscode = require('vscode');
const { LanguageClient } = require('vscode-languageclient/node');

let client;

function activate(context) {
  const config = vscode.workspace.getConfiguration('tolvan');
  const pattern = '**/*.{bas,cls,frm,ctl,pag,dob,dsr,BAS,CLS,FRM,CTL,PAG,DOB,DSR}';
  const initializationOptions = { review: config.get('review', false) };
  const settingsFile = config.get('settingsFile', '');
  if (settingsFile) initializationOptions.settingsFile = settingsFile;
  client = new LanguageClient(
    'tolvan',
    'Tolvan',
    { command: config.get('path', 'tolvan'), args: ['lsp'] },
    {
      documentSelector: [{ scheme: 'file', pattern }],
      initializationOptions,
    },
  );
  context.subscriptions.push({ dispose: () => client && client.stop() });
  return client.start();
}

function deactivate() {
  return client ? client.stop() : undefined;
}

module.exports = { activate, deactivate };

// The client's commands and settings against stand-ins for VS Code and the
// language client: what reaches the server for each command, the macro
// prompt, and a restart when a server setting changes.
const test = require('node:test');
const assert = require('node:assert');
const Module = require('node:module');

function standIns() {
  const world = {
    commands: {}, clients: [], requests: [], answers: [], settings: { markerMacros: [] },
    configurationListeners: [], messages: [],
    editor: {
      document: { uri: { path: '/p/Module1.Bas', toString: () => 'file:///p/Module1.Bas' } },
      selection: { start: { line: 4, character: 0 }, end: { line: 6, character: 0 } },
    },
  };
  const vscode = {
    workspace: {
      getConfiguration: () => ({ get: (name, fallback) => world.settings[name] ?? fallback }),
      onDidChangeConfiguration: (listener) => world.configurationListeners.push(listener),
    },
    window: {
      get activeTextEditor() { return world.editor; },
      showInputBox: async (options) => { world.prompts = (world.prompts || 0) + 1; world.lastPrompt = options; return world.answers.shift(); },
      showInformationMessage: (text) => world.messages.push(text),
    },
    commands: { registerCommand: (name, callback) => { world.commands[name] = callback; return {}; } },
  };
  class LanguageClient {
    constructor(id, name, server, options) {
      Object.assign(this, { server, options, stopped: false });
      this.code2ProtocolConverter = { asUri: (uri) => uri.toString(), asRange: (range) => range };
      world.clients.push(this);
    }
    async start() {}
    async stop() { this.stopped = true; }
    async sendRequest(method, params) { world.requests.push({ method, params }); }
  }
  return { world, vscode, languageclient: { LanguageClient } };
}

async function activated() {
  const { world, vscode, languageclient } = standIns();
  const load = Module._load;
  Module._load = (request, ...rest) =>
    request === 'vscode' ? vscode : request === 'vscode-languageclient/node' ? languageclient : load(request, ...rest);
  delete require.cache[require.resolve('../src/extension.js')];
  const extension = require('../src/extension.js');
  Module._load = load;
  const state = new Map();
  await extension.activate({
    subscriptions: [],
    workspaceState: { get: (k, d) => (state.has(k) ? state.get(k) : d), update: async (k, v) => state.set(k, v) },
  });
  return world;
}

const range = { start: { line: 4, character: 0 }, end: { line: 6, character: 0 } };
const uri = 'file:///p/Module1.Bas';

test('each palette command sends its server command with the editor and selection', async (t) => {
  const rows = [
    ['tolvan.editor.insertHeader', 'tolvan.insertHeader'],
    ['tolvan.editor.updateHeader', 'tolvan.updateHeader'],
    ['tolvan.editor.markAdded', 'tolvan.markAdded'],
    ['tolvan.editor.markDeleted', 'tolvan.markDeleted'],
    ['tolvan.editor.markModified', 'tolvan.markModified'],
  ];
  for (const [palette, server] of rows) {
    await t.test(palette, async () => {
      const world = await activated();
      await world.commands[palette]();
      assert.deepStrictEqual(world.requests, [
        { method: 'workspace/executeCommand', params: { command: server, arguments: [uri, range] } },
      ]);
      assert.strictEqual(world.prompts, undefined);
    });
  }
});

test('a key binding may give the document and range itself', async () => {
  const world = await activated();
  world.editor = undefined;
  const given = { start: { line: 1, character: 2 }, end: { line: 1, character: 2 } };
  await world.commands['tolvan.editor.insertHeader']('file:///q/A.cls', given);
  assert.deepStrictEqual(world.requests[0].params.arguments, ['file:///q/A.cls', given]);
});

test('no request outside a module file', async () => {
  const world = await activated();
  world.editor.document.uri = { path: '/p/notes.txt', toString: () => 'file:///p/notes.txt' };
  await world.commands['tolvan.editor.insertHeader']();
  assert.deepStrictEqual(world.requests, []);
  assert.strictEqual(world.messages.length, 1);
});

test('marks ask for the marker macros, offer the last value, and stop on Escape', async () => {
  const world = await activated();
  world.settings.markerMacros = ['$u1', '$u2'];
  world.answers = ['山田', 'v2'];
  await world.commands['tolvan.editor.markAdded']();
  assert.deepStrictEqual(world.requests[0].params.arguments,
    [uri, range, { macros: { $u1: '山田', $u2: 'v2' } }]);
  world.answers = [undefined];
  await world.commands['tolvan.editor.markDeleted']();
  assert.strictEqual(world.lastPrompt.value, '山田');
  assert.strictEqual(world.requests.length, 1);
});

test('a changed server setting starts the server anew with it; a macro name does not', async () => {
  const world = await activated();
  world.settings.review = true;
  const change = (name) => world.configurationListeners.forEach((l) => l({ affectsConfiguration: (n) => n === name }));
  change('tolvan.markerMacros');
  assert.strictEqual(world.clients.length, 1);
  change('tolvan.review');
  await new Promise((resolve) => setImmediate(resolve));
  assert.strictEqual(world.clients.length, 2);
  assert.ok(world.clients[0].stopped);
  assert.deepStrictEqual(world.clients[1].options.initializationOptions, { review: true });
});

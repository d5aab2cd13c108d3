// What the client knows of module files and of the server's commands,
// without VS Code, so that it reads the same in the extension and its test.

// The module extensions in any letter case, as VS Code's globs match case
// by case.
const EXTENSIONS = ['bas', 'cls', 'frm', 'ctl', 'pag', 'dob', 'dsr'];
const anyCase = (text) =>
  [...text].map((c) => `[${c.toLowerCase()}${c.toUpperCase()}]`).join('');
const MODULE_PATTERN = `**/*.{${EXTENSIONS.map(anyCase).join(',')}}`;

function isModulePath(path) {
  const match = /\.([^./\\]+)$/.exec(path);
  return match !== null && EXTENSIONS.includes(match[1].toLowerCase());
}

// The server's commands, in the order of the palette; the mark commands
// write marker templates, whose user macros can be asked for first.
const COMMANDS = [
  { name: 'insertHeader', marks: false },
  { name: 'updateHeader', marks: false },
  { name: 'markAdded', marks: true },
  { name: 'markDeleted', marks: true },
  { name: 'markModified', marks: true },
];

// workspace/executeCommand's arguments: the document, the range, and for a
// mark command the macro values, when there are any.
function commandArguments(uri, range, macros) {
  const args = [uri, range];
  if (macros && Object.keys(macros).length > 0) args.push({ macros });
  return args;
}

module.exports = { EXTENSIONS, MODULE_PATTERN, COMMANDS, isModulePath, commandArguments };

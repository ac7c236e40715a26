// The Orlimar extension: starts `orlimar-check --lsp` for story files, and
// offers a task that runs the checker on the command line, its output read
// by the problem matchers of package.json.
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const vscode = require('vscode');
const { LanguageClient, TransportKind } = require('vscode-languageclient/node');

const checkerName = process.platform === 'win32' ? 'orlimar-check.exe' : 'orlimar-check';

// Every matcher the extension contributes: one per severity, with and
// without a line number.
const problemMatchers = [
  '$orlimar-erreur',
  '$orlimar-avertissement',
  '$orlimar-remarque',
  '$orlimar-erreur-fichier',
  '$orlimar-avertissement-fichier',
  '$orlimar-remarque-fichier',
];

let client = null;
let output = null;

function isProgram(file) {
  try {
    if (!fs.statSync(file).isFile()) {
      return false;
    }
    if (process.platform !== 'win32') {
      fs.accessSync(file, fs.constants.X_OK);
    }
    return true;
  } catch {
    return false;
  }
}

function onPath() {
  for (const dir of (process.env.PATH || '').split(path.delimiter)) {
    if (dir && isProgram(path.join(dir, checkerName))) {
      return path.join(dir, checkerName);
    }
  }
  return null;
}

// The folders a story may sit in: the workspace folders and the folders of
// the open story files.
function storyFolders() {
  const folders = (vscode.workspace.workspaceFolders || []).map((f) => f.uri.fsPath);
  for (const doc of vscode.workspace.textDocuments) {
    if (doc.languageId === 'orlimar' && doc.uri.scheme === 'file') {
      folders.push(path.dirname(doc.uri.fsPath));
    }
  }
  return folders;
}

// The unpacked package keeps orlimar-check at its top, beside stories/; a
// source tree builds it into build/default/tools/.
function besideTheGame() {
  for (const folder of storyFolders()) {
    const tops = path.basename(folder) === 'stories' ? [path.dirname(folder), folder] : [folder];
    for (const top of tops) {
      for (const candidate of [path.join(top, checkerName), path.join(top, 'build', 'default', 'tools', checkerName)]) {
        if (isProgram(candidate)) {
          return candidate;
        }
      }
    }
  }
  return null;
}

function expandSetting(value) {
  let result = value.trim();
  if (result.startsWith('~')) {
    result = path.join(os.homedir(), result.slice(1));
  }
  const first = (vscode.workspace.workspaceFolders || [])[0];
  if (first) {
    result = result.replace(/\$\{workspaceFolder\}/g, first.uri.fsPath);
  }
  return result;
}

// The checker to run: the setting when it is given, else the PATH, else
// beside the game. Null when none is found.
function findChecker() {
  const setting = vscode.workspace.getConfiguration('orlimar').get('checkerPath', '');
  if (setting && setting.trim()) {
    return expandSetting(setting);
  }
  return onPath() || besideTheGame();
}

async function reportMissingChecker() {
  const open = 'Ouvrir les réglages';
  const answer = await vscode.window.showErrorMessage(
    "Orlimar : orlimar-check est introuvable (ni dans le PATH, ni à côté du jeu). " +
      'Indiquez son chemin dans le réglage « orlimar.checkerPath ».',
    open
  );
  if (answer === open) {
    vscode.commands.executeCommand('workbench.action.openSettings', 'orlimar.checkerPath');
  }
}

async function startClient() {
  const checker = findChecker();
  if (!checker) {
    await reportMissingChecker();
    return;
  }
  const server = { command: checker, args: ['--lsp'], transport: TransportKind.stdio };
  client = new LanguageClient(
    'orlimar',
    'Orlimar (orlimar-check)',
    { run: server, debug: server },
    {
      documentSelector: [
        { scheme: 'file', language: 'orlimar' },
        { scheme: 'untitled', language: 'orlimar' },
      ],
      outputChannel: output,
    }
  );
  try {
    await client.start();
  } catch (error) {
    vscode.window.showErrorMessage(`Orlimar : ${checker} --lsp n'a pas démarré (${error.message || error}).`);
    client = null;
  }
}

async function stopClient() {
  if (client) {
    const running = client;
    client = null;
    await running.stop().catch(() => {});
  }
}

async function restartClient() {
  await stopClient();
  await startClient();
}

// A task that checks one story, or every story a glob names, on the command
// line.
function checkTask(definition, scope) {
  const checker = findChecker() || checkerName;
  return new vscode.Task(
    definition,
    scope || vscode.TaskScope.Workspace,
    `vérifier ${definition.file}`,
    'orlimar',
    new vscode.ShellExecution(checker, [definition.file]),
    problemMatchers
  );
}

const taskProvider = {
  provideTasks() {
    return [checkTask({ type: 'orlimar', file: '${file}' })];
  },
  resolveTask(task) {
    if (task.definition && task.definition.file) {
      return checkTask(task.definition, task.scope);
    }
    return undefined;
  },
};

async function activate(context) {
  output = vscode.window.createOutputChannel('Orlimar');
  context.subscriptions.push(output);
  context.subscriptions.push(vscode.commands.registerCommand('orlimar.restartServer', restartClient));
  context.subscriptions.push(vscode.tasks.registerTaskProvider('orlimar', taskProvider));
  context.subscriptions.push(
    vscode.workspace.onDidChangeConfiguration((event) => {
      if (event.affectsConfiguration('orlimar.checkerPath')) {
        restartClient();
      }
    })
  );
  await startClient();
}

function deactivate() {
  return stopClient();
}

module.exports = { activate, deactivate };

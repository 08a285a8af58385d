// The policy table (tests/policy/cases.tsv) run against the page through window.vornhold, and
// against vorn on the same files: each front end must give what the table expects, and the
// page the very bytes vorn writes (it reads pictures with vorn's own code).
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { firstDifference } from './bmp.mjs';
import * as native from './native.mjs';
import { callApi, openPage } from './browser.mjs';

const FIELDS = ['name', 'command', 'input', 'hidden1', 'expect', 'expected', 'message'];
const table = readFileSync(join(native.root, 'tests/policy/cases.tsv'), 'utf8').split('\n')
  .filter((line) => line && !line.startsWith('#'))
  .map((line) => Object.fromEntries(line.split('\t').map((field, i) => [FIELDS[i], field === '-' ? null : field])));

let session;
let folder;
before(async () => {
  folder = native.scratchFolder('policy');
  execFileSync(join(native.root, 'build/default/vorn/tests/vorn_policy_pictures'), [folder]);
  session = await openPage();
});
after(async () => { await session?.close(); });

const read = (name) => readFileSync(join(folder, name));

// Whether a front end's result ({coded} or {refusal}) is what the row expects, and if not, why.
function judge(row, result) {
  if (row.expect === 'refused') {
    return result.refusal?.includes(row.message) ? null : `expected a refusal saying "${row.message}"`;
  }
  if (!result.coded) return 'refused';
  const expected = read(row.expected);
  if (row.expect === 'same') {
    const at = firstDifference(result.coded, expected);
    return at === -1 ? null : `differs from ${row.expected} at byte ${at}`;
  }
  const limit = Number(row.expect.slice('near '.length));
  if (result.coded.length !== expected.length || firstDifference(result.coded.subarray(0, 54), expected.subarray(0, 54)) !== -1) {
    return `not the size of ${row.expected}`;
  }
  let sum = 0;
  for (let i = 54; i < expected.length; i++) sum += Math.abs(result.coded[i] - expected[i]);
  const mean = sum / (expected.length - 54);
  return mean <= limit ? null : `differs from ${row.expected} by ${mean.toFixed(1)} on average`;
}

// "encode --fit MODE": the words after the command are its options, of which --fit is the one
// the table uses.
const commandOf = (row) => row.command.split(' ')[0];
const optionsOf = (row) => row.command.split(' ').slice(1);
const fitOf = (row) => {
  const options = optionsOf(row);
  const at = options.indexOf('--fit');
  return at === -1 ? 'contain' : options[at + 1];
};

async function viaVorn(row) {
  const output = `${row.name}.vorn.bmp`;
  const args = commandOf(row) === 'encode'
    ? ['encode', row.input, ...(row.hidden1 ? ['--hidden1', row.hidden1] : []), '-o', output, ...optionsOf(row)]
    : ['decode', row.input, '-o', `${row.name}.vorn`];
  const run = await native.vorn(folder, ...args);
  if (run.status !== 0) return { refusal: run.stderr.trim() };
  return commandOf(row) === 'encode' ? { coded: read(output) } : {};
}

async function viaPage(row) {
  const result = commandOf(row) === 'encode'
    ? await callApi(session.page, 'encode', read(row.input), row.hidden1 ? read(row.hidden1) : null, null, 'vornhold2',
      { fit: fitOf(row) })
    : await callApi(session.page, 'extract', read(row.input));
  if (result.error !== undefined) return { refusal: result.error };
  return commandOf(row) === 'encode' ? { coded: result } : {};
}

test('the policy table: vorn and the page give what it expects, and the same bytes', async (t) => {
  const failures = [];
  for (const row of table) {
    const vorn = await viaVorn(row);
    const page = await viaPage(row);
    const words = (result) => judge(row, result) ?? 'as expected';
    t.diagnostic(`${row.name} | expect ${row.expect} | vorn: ${words(vorn)} | page: ${words(page)}` +
      (page.refusal ? ` ("${page.refusal}")` : ''));
    for (const [who, result] of [['vorn', vorn], ['the page', page]]) {
      const fault = judge(row, result);
      if (fault) failures.push(`${row.name}: ${who}: ${fault}`);
    }
    if (vorn.coded && page.coded && firstDifference(vorn.coded, page.coded) !== -1) {
      failures.push(`${row.name}: the page's coded picture differs from vorn's at byte ${firstDifference(vorn.coded, page.coded)}`);
    }
  }
  assert.deepEqual(failures, []);
});

// The policy table (tests/policy/cases.tsv) run against the page through window.vornhold and
// against vorn on the same files: each front end must give what the table expects, and the page
// the very bytes vorn writes.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { firstDifference } from './bmp.mjs';
import * as native from './native.mjs';
import { callApi, openPage } from './browser.mjs';

const table = readFileSync(join(native.root, 'tests/policy/cases.tsv'), 'utf8').split('\n')
  .filter((line) => line && !line.startsWith('#'))
  .map((line) => {
    const [name, operation, picture, hidden1, hidden2, expected] = line.split('\t');
    const none = (file) => (file === '-' ? null : file);
    return { name, operation, picture, hidden1: none(hidden1), hidden2: none(hidden2), expected };
  });

let session;
let folder;
before(async () => {
  folder = native.scratchFolder('policy');
  execFileSync(join(native.root, 'build/default/tests/policy/vorn_policy_pictures'), [folder]);
  session = await openPage();
});
after(async () => { await session?.close(); });

// What came of a case, in the table's words: "coded WxH LENGTH" or the reason of a refusal.
function outcome(coded) {
  return `coded ${coded.readInt32LE(18)}x${coded.readInt32LE(22)} ${coded.length}`;
}

function agrees(result, expected) {
  if (expected.startsWith('refused ')) return result.refusal?.includes(expected.slice('refused '.length));
  return result.outcome === expected;
}

async function viaVorn({ operation, picture, hidden1, hidden2 }, output) {
  const args = operation === 'encode'
    ? ['encode', picture, ...(hidden1 ? ['--hidden1', hidden1] : []), ...(hidden2 ? ['--hidden2', hidden2] : []), '-o', output]
    : ['decode', picture, '-o', output];
  const run = await native.vorn(folder, ...args);
  if (run.status !== 0) return { refusal: run.stderr.trim() };
  return operation === 'encode' ? { outcome: outcome(readFileSync(join(folder, output))), coded: readFileSync(join(folder, output)) } : { outcome: 'decoded' };
}

async function viaPage({ operation, picture, hidden1, hidden2 }) {
  const file = (name) => (name ? readFileSync(join(folder, name)) : null);
  const result = operation === 'encode'
    ? await callApi(session.page, 'encode', file(picture), file(hidden1), file(hidden2), 'vornhold2')
    : await callApi(session.page, 'extract', file(picture));
  if (result.error !== undefined) return { refusal: result.error };
  return operation === 'encode' ? { outcome: outcome(result), coded: result } : { outcome: 'decoded' };
}

test('the policy table: vorn and the page give what it expects, and the same bytes', async (t) => {
  const failures = [];
  let index = 0;
  for (const row of table) {
    const vorn = await viaVorn(row, `case-${index++}.bmp`);
    const page = await viaPage(row);
    const words = (r) => r.outcome ?? `refused: ${r.refusal}`;
    t.diagnostic(`${row.name} | expected: ${row.expected} | vorn: ${words(vorn)} | page: ${words(page)}`);
    if (!agrees(vorn, row.expected)) failures.push(`${row.name}: vorn gave ${words(vorn)}`);
    if (!agrees(page, row.expected)) failures.push(`${row.name}: the page gave ${words(page)}`);
    if (vorn.coded && page.coded && firstDifference(vorn.coded, page.coded) !== -1) {
      failures.push(`${row.name}: the page's coded picture differs from vorn's at byte ${firstDifference(vorn.coded, page.coded)}`);
    }
  }
  assert.deepEqual(failures, []);
});

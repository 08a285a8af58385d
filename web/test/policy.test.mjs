// The policy table (tests/policy/cases.tsv) run against the page and against vorn on the same
// files: each front end must give what the table expects (the same bytes, or the same refusal,
// each in its own words), and the page the very bytes vorn writes. vorn's own test runs every
// row; the page reads pictures through the same kit operation, so here only the rows that pass
// through the page's mapping of settings are run: the first, and every one with options, a
// decode or a refusal (a plain encode row tests how the kit reads a file, which is the kit's).
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { firstDifference } from './bmp.mjs';
import * as native from './native.mjs';
import { callApi, callWorker, openPage, pngPixels } from './browser.mjs';

const FIELDS = ['name', 'command', 'input', 'hidden1', 'expect', 'expected', 'message'];
const table = readFileSync(join(native.root, 'tests/policy/cases.tsv'), 'utf8').split('\n')
  .filter((line) => line && !line.startsWith('#'))
  .map((line) => Object.fromEntries(line.split('\t').map((field, i) => [FIELDS[i], field === '-' ? null : field])))
  .filter((row, i) => i === 0 || row.command !== 'encode' || !['same', 'near'].includes(row.expect.split(' ')[0]));

let session;
let folder;
before(async () => {
  folder = native.scratchFolder('policy');
  execFileSync(join(native.root, 'build/default/vorn/tests/vorn_policy_pictures'), [folder]);
  session = await openPage();
});
after(async () => { await session?.close(); });

const read = (name) => readFileSync(join(folder, name));

// "encode --fit cover", "decode --password-file password.txt": the command and its options.
const commandOf = (row) => row.command.split(' ')[0];
const optionsOf = (row) => row.command.split(' ').slice(1);
const optionOf = (row, name) => {
  const options = optionsOf(row);
  const at = options.indexOf(name);
  return at === -1 ? null : options[at + 1];
};
// A row in the compact form: "encode --compact [--carrier-bits K]". Its coded bytes differ with
// every salt; only what it opens to is compared.
const isCompact = (row) => optionsOf(row).includes('--compact');
// The password a row gives, as vorn takes it: the first line of its --password-file.
const passwordOf = (row) => {
  const file = optionOf(row, '--password-file');
  return file === null ? null : read(file).toString('utf8').split('\n')[0].replace(/\r$/, '');
};

// Whether a front end's result ({coded}, {hidden1}: the pixels of the PNG taken out, or
// {refusal}) is what the row expects (`expected`: the row's expected file, a PNG as its pixels),
// and if not, why.
function judge(row, result, expected) {
  if (row.expect === 'refused') {
    return result.refusal?.includes(row.message) ? null : `expected a refusal saying "${row.message}"`;
  }
  if (result.refusal) return `refused: ${result.refusal}`;
  const got = commandOf(row) === 'decode' || row.expect === 'opens' ? result.hidden1 : result.coded;
  if (row.expect === 'same' || row.expect === 'opens') {
    const at = firstDifference(got, expected);
    return at === -1 ? null : `differs from ${row.expected} at byte ${at}`;
  }
  const limit = Number(row.expect.slice('near '.length));
  if (got.length !== expected.length || firstDifference(got.subarray(0, 54), expected.subarray(0, 54)) !== -1) {
    return `not the size of ${row.expected}`;
  }
  let sum = 0;
  for (let i = 54; i < expected.length; i++) sum += Math.abs(got[i] - expected[i]);
  const mean = sum / (expected.length - 54);
  return mean <= limit ? null : `differs from ${row.expected} by ${mean.toFixed(1)} on average`;
}

// A refusal's text without what differs between the front ends: vorn's prefix and the picture's
// name ("vorn: keyed.bmp: " against "coded: ").
const refusalText = (text) => text.split('\n').at(-1).replace(/^vorn: /, '').replace(/^[^\s:]+: /, '');
// vorn's options and the page's controls for the same setting: a refusal names the user's own.
const PAGE_WORDS = [['--password', 'the password field'], ['--hidden', 'It holds'], ['--build', 'Build']];
const inPageWords = (text) => PAGE_WORDS.reduce((said, [option, control]) => said.replaceAll(option, control), text);

async function viaVorn(row) {
  const run = async (...args) => {
    const done = await native.vorn(folder, ...args);
    return done.status === 0 ? null : done.stderr.trim();
  };
  const password = optionOf(row, '--password-file') ? ['--password-file', optionOf(row, '--password-file')] : [];
  if (commandOf(row) === 'decode') {
    const refusal = await run('decode', row.input, '-o', `${row.name}.vorn`, ...optionsOf(row));
    return refusal ? { refusal } : { hidden1: read(`${row.name}.vorn/hidden-1.png`) };
  }
  const output = `${row.name}.vorn.bmp`;
  const refusal = await run('encode', row.input, ...(row.hidden1 ? ['--hidden1', row.hidden1] : []), '-o', output,
    ...optionsOf(row));
  if (refusal) return { refusal };
  if (row.expect !== 'opens') return { coded: read(output) };
  const opened = await run('decode', output, '-o', `${row.name}.vorn.opened`, ...password);
  return opened ? { refusal: opened } : { hidden1: read(`${row.name}.vorn.opened/hidden-1.png`) };
}

// Hidden picture 1's PNG as the page writes it, taken out of `coded` (with the password, if any).
async function takeOutOnPage(coded, password) {
  const result = await callWorker(session.page, 'extract', { coded, password, outputs: ['png'] });
  if (result.error !== undefined) return { refusal: result.error };
  return { hidden1: result.pictures.find((picture) => picture.which === 1)?.png };
}

async function viaPage(row) {
  const password = passwordOf(row);
  if (commandOf(row) === 'decode') return takeOutOnPage(read(row.input), password);
  const form = isCompact(row) ? { form: 'compact', carrierBits: Number(optionOf(row, '--carrier-bits') ?? 0) } : {};
  const coded = await callApi(session.page, 'encode', read(row.input), row.hidden1 ? read(row.hidden1) : null, null,
    'vornhold2', { fit: optionOf(row, '--fit') ?? 'contain', password, ...form });
  if (coded.error !== undefined) return { refusal: coded.error };
  return row.expect === 'opens' ? takeOutOnPage(coded, password) : { coded };
}

test('the policy table: vorn and the page give what it expects, and the same bytes', async (t) => {
  const failures = [];
  for (const row of table) {
    // PNGs are compared by their pixels: the page's compression (zlib) need not be vorn's.
    const pixels = async (result) => (result.hidden1 ? { hidden1: await pngPixels(session.page, result.hidden1) } : result);
    const vorn = await pixels(await viaVorn(row));
    const page = await pixels(await viaPage(row));
    const expected = row.expected === null ? null
      : row.expected.endsWith('.png') ? await pngPixels(session.page, read(row.expected)) : read(row.expected);
    const words = (result) => judge(row, result, expected) ?? 'as expected';
    t.diagnostic(`${row.name} | expect ${row.expect} | vorn: ${words(vorn)} | page: ${words(page)}` +
      (page.refusal ? ` ("${page.refusal}")` : ''));
    for (const [who, result] of [['vorn', vorn], ['the page', page]]) {
      const fault = judge(row, result, expected);
      if (fault) failures.push(`${row.name}: ${who}: ${fault}`);
    }
    if (vorn.refusal && page.refusal && inPageWords(refusalText(vorn.refusal)) !== refusalText(page.refusal)) {
      failures.push(`${row.name}: the page refuses with "${page.refusal}", vorn with "${vorn.refusal}"`);
    }
    // A keyed or compact picture's bytes differ with every salt; the pictures it opens to do not.
    for (const what of isCompact(row) ? ['hidden1'] : ['coded', 'hidden1']) {
      if (vorn[what] && page[what] && firstDifference(vorn[what], page[what]) !== -1) {
        failures.push(`${row.name}: the page's ${what} differs from vorn's at byte ${firstDifference(vorn[what], page[what])}`);
      }
    }
  }
  // Rows are added as forms are; none of these may go.
  assert.ok(table.length >= 18, `${table.length} rows`);
  assert.deepEqual(failures, []);
});

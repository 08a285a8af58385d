// Keyed pictures between the page and the native side: a picture keyed on the page opens in vorn
// to the pictures vorn's own keyed picture holds, one keyed by vorn opens on the page, a password typed in NFD on one side and NFC on the other, and the refusals
// that need no key. Every key derivation in the browser takes seconds (3 passes over 256 MiB),
// so there are few of them: two here, three in page.test.mjs.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { bmp, firstDifference, rgbOf } from './bmp.mjs';
import * as native from './native.mjs';
import { callApi, callWorker, openPage, pngPixels } from './browser.mjs';

// The same password in two Unicode forms: composed (NFC) and decomposed (NFD).
const NFC = 'Ångström über café';
const NFD = NFC.normalize('NFD');

let session;
let folder;
let keyedByVorn;  // a keyed PNG written by vorn, for the refusal without a password
before(async () => {
  assert.notEqual(NFC, NFD);
  folder = native.scratchFolder('keyed');
  writeFileSync(join(folder, 'nfc.txt'), `${NFC}\n`);
  writeFileSync(join(folder, 'nfd.txt'), `${NFD}\n`);
  session = await openPage();
});
after(async () => { await session?.close(); });

function assertSameBytes(actual, expected, what) {
  assert.ok(Buffer.isBuffer(actual), `${what}: ${actual?.error ?? 'no bytes'}`);
  const at = firstDifference(actual, expected);
  assert.equal(at, -1, `${what}: differs at byte ${at}`);
}

// The worker's encode: the keyed picture's bytes.
async function keyOnPage(args) {
  const result = await callWorker(session.page, 'encode', { ...args, outputs: ['bmp'] });
  assert.equal(result.error, undefined, result.error);
  return result.coded.bmp;
}

test('a picture the page keys opens in vorn to the pictures vorn\'s own keyed picture holds', async () => {
  // A carrier with a longer header: the page takes a keyed carrier by its pixels, as vorn does,
  // so that its PNG opens too. Every keying draws its salt: the pictures they open to are compared.
  const carrier = bmp({ width: 48, height: 40, seed: 11, offset: 70 });
  const hidden1 = bmp({ width: 48, height: 40, seed: 12 });
  const hidden2 = bmp({ width: 48, height: 40, seed: 13 });
  writeFileSync(join(folder, 'page.bmp'),
    await keyOnPage({ carrier, hidden1, hidden2, form: 'classic', build: 'vornhold', password: NFD }));
  for (const [name, picture] of [['carrier', carrier], ['hidden1', hidden1], ['hidden2', hidden2]])
    writeFileSync(join(folder, `${name}.bmp`), picture);
  const keyed = await native.vorn(folder, 'encode', 'carrier.bmp', '--hidden1', 'hidden1.bmp', '--hidden2', 'hidden2.bmp',
    '--classic', '--build', 'vornhold', '--password-file', 'nfc.txt', '-o', 'by-vorn.bmp');
  assert.equal(keyed.status, 0, keyed.stderr);
  for (const coded of ['page', 'by-vorn']) {
    const opened = await native.vorn(folder, 'decode', `${coded}.bmp`, '--password-file', 'nfc.txt', '-o', `from-${coded}`);
    assert.equal(opened.status, 0, opened.stderr);
  }
  for (const name of ['hidden-1.png', 'hidden-2.png'])
    assertSameBytes(readFileSync(join(folder, 'from-page', name)), readFileSync(join(folder, 'from-by-vorn', name)),
      `${name} of the page's keyed picture against vorn's`);
});

test('a picture vorn keys opens on the page, with the pictures vorn takes out', async () => {
  writeFileSync(join(folder, 'carrier.bmp'), bmp({ width: 64, height: 64, seed: 21 }));
  writeFileSync(join(folder, 'hidden.bmp'), bmp({ width: 64, height: 64, seed: 22 }));
  const keyed = await native.vorn(folder, 'encode', 'carrier.bmp', '--hidden2', 'hidden.bmp',
    '--password-file', 'nfd.txt', '-o', 'vorn.png');
  assert.equal(keyed.status, 0, keyed.stderr);
  const opened = await native.vorn(folder, 'decode', 'vorn.png', '--password-file', 'nfc.txt', '-o', 'from-vorn');
  assert.equal(opened.status, 0, opened.stderr);

  keyedByVorn = readFileSync(join(folder, 'vorn.png'));
  const found = await callApi(session.page, 'extract', keyedByVorn, { password: NFC });
  assert.equal(found.error, undefined, found.error);
  assert.deepEqual({ build: found.build, content: found.content, keyed: found.keyed },
    { build: 'vornhold2', content: 'hidden2', keyed: true });
  const fromVorn = await pngPixels(session.page, readFileSync(join(folder, 'from-vorn', 'hidden-2.png')));
  assertSameBytes(rgbOf(found.hidden2).rgb, fromVorn, 'hidden picture 2 from the page against vorn\'s');
});

// Refusals that come before any key is derived, so they cost nothing.
const REFUSALS = [
  {
    name: 'an empty password',
    call: () => ['encode', bmp({ width: 48, height: 40, seed: 1 }), bmp({ width: 48, height: 40, seed: 2 }), null, 'vornhold2', { password: '' }],
    error: /^the password is empty; a keyed picture needs one$/,
  },
  {
    name: 'a password without a hidden picture',
    call: () => ['encode', bmp({ width: 48, height: 40, seed: 1 }), null, null, 'vornhold2', { password: NFC }],
    error: /^a password keys hidden pictures/,
  },
  {
    // A JavaScript string need not be Unicode: its lone surrogate reaches the kit as bytes that
    // are not UTF-8.
    name: 'a password with a lone surrogate',
    call: () => ['encode', bmp({ width: 48, height: 40, seed: 1 }), bmp({ width: 48, height: 40, seed: 2 }), null, 'vornhold2', { password: 'ab\ud800c' }],
    error: /^the password is not valid UTF-8$/,
  },
  {
    name: 'a password that is not a string',
    call: () => ['extract', keyedByVorn, { password: 42 }],
    error: /^password must be a string$/,
  },
  {
    name: 'a picture too small for the salt and the tag',
    call: () => ['encode', bmp({ width: 4, height: 4, seed: 1 }), bmp({ width: 4, height: 4, seed: 2 }), null, 'vornhold2', { password: NFC }],
    error: /^carrier: too small for a keyed picture/,
  },
  {
    name: 'a keyed picture taken out without a password',
    call: () => ['extract', keyedByVorn],
    error: /^coded: no hidden picture found without a password \(its low bits look random, as a password-protected picture's do\); if it was hidden with a password, give it \(the password field\); if not, the picture looks changed: hidden pictures do not survive re-saving, resizing or sending through apps that recompress pictures; send the coded file itself \(as a document\)$/,
  },
];

test('what cannot be keyed or opened is refused with the reason, before any key is derived', async () => {
  assert.ok(keyedByVorn, 'the test before wrote the keyed picture');
  for (const refusal of REFUSALS) {
    const result = await callApi(session.page, ...refusal.call());
    assert.ok(!Buffer.isBuffer(result) && result.error !== undefined, `${refusal.name}: resolved instead of rejecting`);
    assert.match(result.error, refusal.error, refusal.name);
  }
});

test('the page loads nothing from elsewhere and logs no error', () => {
  assert.deepEqual(session.foreign, []);
  assert.deepEqual(session.problems, []);
});

// window.vornhold against the native programs: generated pictures of awkward geometry, both
// builds and every combination of hidden pictures give the programs' files byte for byte.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { bmp, firstDifference } from './bmp.mjs';
import * as native from './native.mjs';
import { callApi, openPage, pictureFile } from './browser.mjs';

// Sides that are powers of two get the scramble; odd widths get row padding; trailing bytes and
// a longer header must be carried like the programs carry them.
const GEOMETRIES = [
  { name: '64x64, scrambled', width: 64, height: 64 },
  { name: '37x21, padded rows', width: 37, height: 21 },
  { name: '16x8 with trailing bytes', width: 16, height: 8, trailing: 7 },
  { name: '6x5, raster at byte 138', width: 6, height: 5, offset: 138 },
  { name: '1x1', width: 1, height: 1 },
  { name: '3x0, no rows', width: 3, height: 0, trailing: 2 },
];
const COMBINATIONS = [
  { name: 'no hidden picture', hidden1: false, hidden2: false },
  { name: 'hidden 1', hidden1: true, hidden2: false },
  { name: 'hidden 2', hidden1: false, hidden2: true },
  { name: 'both', hidden1: true, hidden2: true },
];
const BUILDS = ['vornhold2', 'vornhold'];

let session;
before(async () => { session = await openPage(); });
after(async () => { await session?.close(); });

function assertSameBytes(actual, expected, what) {
  assert.ok(Buffer.isBuffer(actual), `${what}: ${actual?.error ?? 'no bytes'}`);
  const at = firstDifference(actual, expected);
  assert.equal(at, -1, `${what}: differs from the program's file at byte ${at}`);
}

for (const geometry of GEOMETRIES) {
  test(`window.vornhold on ${geometry.name} equals the programs`, async () => {
    const picture = (seed) => bmp({ ...geometry, seed });
    const carrier = picture(1);
    for (const build of BUILDS) {
      for (const combination of COMBINATIONS) {
        const what = `${build}, ${combination.name}`;
        const hidden1 = combination.hidden1 ? picture(2) : null;
        const hidden2 = combination.hidden2 ? picture(3) : null;
        const expected = await native.encode(build, carrier, hidden1, hidden2);
        const coded = await callApi(session.page, 'encode', carrier, hidden1, hidden2, build);
        assertSameBytes(coded, expected.coded, `encode ${what}`);

        const expectedDecoded = await native.decode(build, expected.coded);
        const decoded = await callApi(session.page, 'decode', expected.coded, build);
        assert.equal(decoded.error, undefined, `decode ${what}: ${decoded.error}`);
        assertSameBytes(decoded.decoded1, expectedDecoded.decoded1, `Decoded_1 ${what}`);
        assertSameBytes(decoded.decoded2, expectedDecoded.decoded2, `Decoded_2 ${what}`);
      }
    }
    assertSameBytes(await callApi(session.page, 'reveal', carrier), await native.reveal(carrier), 'reveal');
  });
}

// What a script is told when a picture cannot be used.
const REFUSALS = [
  {
    name: 'a carrier that is not a BMP',
    call: ['encode', Buffer.from('not a picture at all, but long enough for a header'), null, null, 'vornhold2'],
    error: /^carrier: not a PNG, JPEG or BMP picture; convert it to PNG first$/,
  },
  {
    // A hidden picture of another size is scaled into the carrier's frame, as one of three fits.
    name: 'an unknown fit',
    call: ['encode', bmp({ width: 8, height: 8, seed: 1 }), bmp({ width: 9, height: 8, seed: 2 }), null, 'vornhold2', { fit: 'crop' }],
    error: /^the fit is contain, cover or stretch, not 'crop'$/,
  },
  { name: 'an unknown form', call: ['encode', bmp({ width: 8, height: 8, seed: 1 }), bmp({ width: 4, height: 4, seed: 2 }), null, 'vornhold2', { form: 'tiny' }], error: /^the form is classic, compact or stealth, not 'tiny'$/ },
  { name: 'compact in 5 bits', call: ['encode', bmp({ width: 8, height: 8, seed: 1 }), bmp({ width: 4, height: 4, seed: 2 }), null, 'vornhold2', { form: 'compact', carrierBits: 5 }], error: /1 to 4 low bits of every colour byte, not 5$/ },
  { name: 'an unknown build', call: ['decode', bmp({ width: 2, height: 2, seed: 1 }), 'vornhold3'], error: /^the build is vornhold2 or vornhold, not 'vornhold3'$/ },
  { name: 'a file too short to reveal', call: ['reveal', Buffer.from('BM')], error: /./ },
  { name: 'bytes that are not a Uint8Array', call: ['reveal', 'BM'], error: /Uint8Array/ },
  // vorn's own readers refuse inside the module, with their reasons.
  { name: 'a PNG cut short', call: ['encode', Buffer.from('\x89PNG\r\n\x1a\n\0\0\0\rIHDR', 'latin1'), null, null, 'vornhold2'], error: /^carrier: not a readable PNG file/ },
  { name: 'a broken JPEG', call: ['encode', bmp({ width: 4, height: 4, seed: 1 }), Buffer.from('\xff\xd8\xff\xe0 not a JPEG at all', 'latin1'), null, 'vornhold2'], error: /^hidden1: not a readable JPEG file/ },
  { name: 'a JPEG to decode', call: ['decode', Buffer.from('\xff\xd8\xff\xe0', 'latin1'), 'vornhold2'], error: /^coded: a JPEG cannot hold hidden bits/ },
  { name: 'a BMP of 8 bits per pixel', call: ['encode', (() => { const b = bmp({ width: 4, height: 4, seed: 1 }); b.writeUInt16LE(8, 28); return b; })(), null, null, 'vornhold2'], error: /^carrier: the BMP has 8 bits per pixel/ },
];

test('window.vornhold rejects what cannot be used, with the reason', async () => {
  for (const refusal of REFUSALS) {
    const result = await callApi(session.page, ...refusal.call);
    assert.ok(!Buffer.isBuffer(result), `${refusal.name}: resolved instead of rejecting`);
    assert.match(result.error, refusal.error, refusal.name);
  }
});

// Files of other formats are read inside the page by vorn's own readers: the same coded
// picture as vorn's, byte for byte, where a browser's decoders would differ (JPEG upsampling).
// A hidden BMP of another header goes into the carrier's frame, as vorn puts it there.
test('PNG and JPEG files give the coded picture vorn gives', async () => {
  const folder = native.scratchFolder('formats');
  const carrier = await pictureFile(session.page, bmp({ width: 40, height: 24, seed: 1 }), 'image/jpeg');
  const hidden1 = await pictureFile(session.page, bmp({ width: 40, height: 24, seed: 2 }), 'image/png');
  const hidden2 = bmp({ width: 40, height: 24, seed: 3, offset: 70 });
  writeFileSync(join(folder, 'carrier.jpg'), carrier);
  writeFileSync(join(folder, 'hidden1.png'), hidden1);
  writeFileSync(join(folder, 'hidden2.bmp'), hidden2);
  for (const build of BUILDS) {
    const run = await native.vorn(folder, 'encode', 'carrier.jpg', '--hidden1', 'hidden1.png',
      '--hidden2', 'hidden2.bmp', '-o', `${build}.bmp`, '--build', build);
    assert.equal(run.status, 0, run.stderr);
    const coded = await callApi(session.page, 'encode', carrier, hidden1, hidden2, build);
    assertSameBytes(coded, readFileSync(join(folder, `${build}.bmp`)), `encode ${build}`);
  }
});

test('the page loads nothing from elsewhere and logs no error', () => {
  assert.deepEqual(session.foreign, []);
  assert.deepEqual(session.problems, []);
});

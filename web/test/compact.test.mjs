// The compact form between window.vornhold and vorn: a picture either one writes opens in the
// other to the same pixels, with or without a password and at any k; a wrong password or a
// changed low bit is refused with the kit's text, the same on both. Then the page itself: the
// hide button writes the compact form unless the classic one is chosen (the programs' bytes, as
// window.vornhold.encode gives without a form: api.test.mjs), says what the kit chose, and
// opens what it wrote.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { bmp, firstDifference, rgbOf } from './bmp.mjs';
import * as native from './native.mjs';
import { callApi, openPage, pngPixels } from './browser.mjs';
import { allowDownloads, controls } from './controls.mjs';

const PASSWORD = 'Stille Post';
const carrier = bmp({ width: 96, height: 64, seed: 11 });
const hidden1 = bmp({ width: 30, height: 20, seed: 12 });
const hidden2 = bmp({ width: 17, height: 9, seed: 13 });

// Each case is written by the page and by vorn, and each picture opened by both.
const CASES = [
  { name: 'one picture, k chosen', hidden2: null, options: {} },
  { name: 'both pictures, k 1', hidden2, options: { carrierBits: 1 } },
  { name: 'one picture, k 4, a password', hidden2: null, options: { carrierBits: 4, password: PASSWORD } },
];

let session;
let folder;
before(async () => {
  session = await openPage();
  folder = native.scratchFolder('compact');
  writeFileSync(join(folder, 'carrier.bmp'), carrier);
  writeFileSync(join(folder, 'hidden1.bmp'), hidden1);
  writeFileSync(join(folder, 'hidden2.bmp'), hidden2);
  writeFileSync(join(folder, 'password.txt'), `${PASSWORD}\n`);
  writeFileSync(join(folder, 'wrong.txt'), 'Stille Post!\n');
});
after(async () => { await session?.close(); });

const vornOptions = ({ carrierBits, password }) => [
  ...(carrierBits ? ['--carrier-bits', String(carrierBits)] : []), ...(password ? ['--password-file', 'password.txt'] : [])];

// vorn decode of a file in the folder: {refusal} or the pixels of each hidden picture written.
async function openWithVorn(name, options, wanted) {
  const run = await native.vorn(folder, 'decode', name, '-o', `${name}.out`, '-f',
    ...(options.password ? ['--password-file', options.password === PASSWORD ? 'password.txt' : 'wrong.txt'] : []));
  if (run.status !== 0) return { refusal: run.stderr.trim() };
  const pictures = {};
  for (const which of wanted) {
    pictures[which] = await pngPixels(session.page, readFileSync(join(folder, `${name}.out`, `hidden-${which}.png`)));
  }
  return pictures;
}

// window.vornhold.extract: {refusal} or the pixels of each hidden picture, with their sizes.
async function openOnPage(coded, password) {
  const found = await callApi(session.page, 'extract', coded, password ? { password } : {});
  if (found.error !== undefined) return { refusal: found.error };
  assert.equal(found.compact, true);
  const pictures = {};
  for (const which of ['hidden1', 'hidden2']) if (found[which]) pictures[which] = rgbOf(found[which]);
  return pictures;
}

for (const c of CASES) {
  test(`compact, ${c.name}: written by the page or by vorn, opened by both alike`, async () => {
    const given = c.hidden2 ? ['hidden1', 'hidden2'] : ['hidden1'];
    const byPage = await callApi(session.page, 'encode', carrier, hidden1, c.hidden2, 'vornhold2', { form: 'compact', ...c.options });
    assert.ok(Buffer.isBuffer(byPage), byPage.error);
    writeFileSync(join(folder, 'page.bmp'), byPage);
    const encoded = await native.vorn(folder, 'encode', '--compact', 'carrier.bmp', '--hidden1', 'hidden1.bmp',
      ...(c.hidden2 ? ['--hidden2', 'hidden2.bmp'] : []), '-o', 'vorn.png', '-f', ...vornOptions(c.options));
    assert.equal(encoded.status, 0, encoded.stderr);
    for (const name of ['page.bmp', 'vorn.png']) {
      const onPage = await openOnPage(readFileSync(join(folder, name)), c.options.password);
      assert.deepEqual(Object.keys(onPage), given, `${name} on the page: ${onPage.refusal}`);
      assert.deepEqual([onPage.hidden1.width, onPage.hidden1.height], [30, 20], `${name}: its own size`);
      const byVorn = await openWithVorn(name, c.options, given.map((which) => which.slice(-1)));
      assert.equal(byVorn.refusal, undefined, `${name} by vorn: ${byVorn.refusal}`);
      for (const which of given) {
        assert.equal(firstDifference(onPage[which].rgb, byVorn[which.slice(-1)]), -1, `${name}: ${which} as vorn opens it`);
      }
    }
  });
}

// A changed low bit of the body (k 2: colour byte 362 lies in it), and a wrong password.
const REFUSED = [
  { name: 'a low bit changed', options: { carrierBits: 2 }, change: (coded) => { coded[54 + 362] ^= 1; },
    open: {}, text: /^coded: the compact picture was changed after it was coded \(its check fails\); nothing is taken out$/ },
  { name: 'a wrong password', options: { carrierBits: 2, password: PASSWORD }, change: () => {},
    open: { password: 'Stille Post!' }, text: /wrong password, or the picture was changed/ },
];

test('a changed compact picture and a wrong password are refused with the kit\'s text, by the page and by vorn', async () => {
  for (const r of REFUSED) {
    const coded = await callApi(session.page, 'encode', carrier, hidden1, null, 'vornhold2', { form: 'compact', ...r.options });
    r.change(coded);
    writeFileSync(join(folder, 'refused.bmp'), coded);
    const onPage = await openOnPage(coded, r.open.password);
    assert.match(onPage.refusal ?? 'opened', r.text, `${r.name} on the page`);
    const byVorn = await openWithVorn('refused.bmp', r.open, ['1']);
    assert.equal(byVorn.refusal?.replace(/^vorn: refused\.bmp: /, ''), onPage.refusal.replace(/^coded: /, ''), `${r.name} by vorn`);
  }
});

// The worker's progress messages for a compact hiding, twice: the kit's long steps carry
// amounts, each step sends a hundred amounts at most (the glue passes on only what moved by a
// hundredth), and the browser's random bytes fill the low bits afresh each time.
test('a compact hiding reports amounts, few of them, and draws new random bits each time', async () => {
  const runs = await session.page.evaluate(async (base64) => {
    const { work } = await import('./vornhold.js');
    const carrier = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
    const hide = async () => {
      const reports = [];
      const { coded } = await work('encode', { carrier, hidden1: carrier, hidden2: null, form: 'compact',
        build: 'vornhold2', outputs: ['bmp'] }, (report) => reports.push(report));
      return { reports, coded: Array.from(coded.bmp) };
    };
    return [await hide(), await hide()];
  }, carrier.toString('base64'));
  const long = /^(trying .+ per colour byte|coding the hidden pictures|dithering the carrier)$/;
  for (const { reports } of runs) {
    const steps = new Map();
    for (const report of reports) steps.set(report.step, [...(steps.get(report.step) ?? []), report]);
    assert.ok([...steps.keys()].some((step) => long.test(step)), [...steps.keys()].join(', '));
    for (const [step, amounts] of steps) {
      assert.ok(amounts.length <= 102, `${step}: ${amounts.length} messages`);
      if (long.test(step)) assert.ok(amounts.every(({ done }) => done >= 0 && done <= 1), `${step} has amounts`);
    }
    assert.equal(steps.get('dithering the carrier').at(-1).done, 1);
  }
  assert.notDeepEqual(runs[0].coded, runs[1].coded, 'each hiding draws its own random bits');
});

test('the page hides in the compact form unless classic is chosen, says what the kit chose, and opens it', async () => {
  const page = session.page;
  const use = controls(page, folder);
  await allowDownloads(page, folder);
  await page.reload({ waitUntil: 'load' });
  await page.waitForSelector('body[data-ready="true"]');
  assert.equal(await page.$eval('#encode-compact', (choice) => choice.checked), true);
  assert.equal(await page.$eval('#classic-options', (options) => options.disabled), true, 'build and fit are set aside');
  await use.chooseFile('carrier', join(folder, 'carrier.bmp'));
  await use.chooseFile('hidden1', join(folder, 'hidden1.bmp'));
  // Kept at its own size: nothing is said of scaling.
  assert.equal(await use.waitForFile('hidden1', 'hidden1.bmp'), 'hidden1.bmp: 30 × 20 pixels');
  await page.waitForSelector('#encode-button:not([disabled])');
  await page.click('#encode-button');
  assert.match(await use.waitForMessage('encode', /^Done/), /^Done in [\d.]+ m?s\.$/);
  const [note] = await page.$$eval('#encode-notes li', (notes) => notes.map((n) => n.textContent));
  assert.match(note, /^Hidden picture 1 \(30x20\) as .+; the carrier keeps [4-7] of its 8 bits \([\d.]+ dB\)\.$/);
  const coded = await use.download('#coded-png');
  await use.chooseFile('coded', join(folder, coded.fileName));
  await page.waitForSelector('#decode-results[aria-busy="false"]:not([hidden]) #hidden-1-png');
  assert.match((await use.said('decode')).text, /^A compact picture \([1-4] low bits?\) holding hidden picture 1, each at its own size\./);
  const onPage = await pngPixels(page, await use.download('#hidden-1-png'));
  const byVorn = await openWithVorn(coded.fileName, {}, ['1']);
  assert.equal(firstDifference(onPage, byVorn[1]), -1, 'the page opens it as vorn does');

  // The classic choice gives the programs' bytes, with the classic options in reach.
  await page.click('#encode-classic');
  assert.equal(await page.$eval('#classic-options', (options) => options.disabled), false);
  assert.equal(await page.$eval('#encode-carrier-bits', (bits) => bits.disabled), true);
  await page.waitForSelector('#encode-button:not([disabled])');
  await page.click('#encode-button');
  await use.waitForNotes('encode', /scaled/);
  const classic = await use.download('#coded-bmp');
  const run = await native.vorn(folder, 'encode', 'carrier.bmp', '--hidden1', 'hidden1.bmp', '-o', 'classic.bmp', '-f');
  assert.equal(run.status, 0, run.stderr);
  assert.equal(firstDifference(classic, readFileSync(join(folder, 'classic.bmp'))), -1, 'the classic form as vorn --classic');
});

test('the page loads nothing from elsewhere and logs no error', () => {
  assert.deepEqual(session.foreign, []);
  assert.deepEqual(session.problems, []);
});

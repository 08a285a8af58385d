// The page through its own controls, as a visitor uses it: the samples are encoded and the
// downloads equal the native program's output, the coded picture is decoded again, and a
// picture that cannot be used shows why. Screenshots of both parts are taken on the way.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync, mkdirSync, readdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { bmp, firstDifference, rgbOf } from './bmp.mjs';
import * as native from './native.mjs';
import { openPage, pictureFile, pngPixels as browserPngPixels } from './browser.mjs';

const samples = join(native.root, 'samples');
const shots = process.env.VORN_WEB_SCREENSHOTS ?? join(native.root, 'build/wasm/screenshots');
let session;
let page;
let downloads;
let expected;  // the native programs' files for the samples

before(async () => {
  session = await openPage({ width: 1200, height: 900 });
  page = session.page;
  downloads = native.scratchFolder('downloads');
  const client = await page.createCDPSession();
  await client.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
  const read = (name) => readFileSync(join(samples, name));
  const { coded } = await native.encode('vornhold2', read('Main.bmp'), read('Hidden 1.bmp'), read('Hidden 2.bmp'));
  expected = { coded, ...(await native.decode('vornhold2', coded)), revealed: await native.reveal(coded) };
});
after(async () => { await session?.close(); });

// Clicks a download link and gives back the file once the browser has written it whole.
async function download(selector) {
  const name = await page.$eval(selector, (link) => link.download);
  const path = join(downloads, name);
  rmSync(path, { force: true });
  await page.click(selector);
  for (let tries = 0; tries < 200; tries++) {
    const pending = readdirSync(downloads).some((file) => file.endsWith('.crdownload'));
    if (!pending && existsSync(path)) return readFileSync(path);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  throw new Error(`${name} was not downloaded`);
}

async function chooseFile(input, path) {
  const [chooser] = await Promise.all([page.waitForFileChooser(), page.click(input)]);
  await chooser.accept([path]);
}

const statusOf = (name) => page.$eval(`#${name}-status`, (s) => ({ text: s.textContent, kind: s.className }));
async function waitForStatus(name, kind) {
  await page.waitForFunction((name, kind) => document.getElementById(`${name}-status`).classList.contains(kind), {}, name, kind);
  return statusOf(name);
}

// Waits for the decoding that choosing the file `name` started: it begins as the file's status
// turns ready.
async function waitForDecoding(name) {
  await page.waitForFunction((name) => {
    const status = document.getElementById('coded-status');
    return status.classList.contains('ready') && status.textContent.startsWith(`${name}:`);
  }, {}, name);
  await page.waitForSelector('#decode-results[aria-busy="false"]:not([hidden]) #revealed-bmp');
}

function assertSameBytes(actual, wanted, what) {
  assert.equal(firstDifference(actual, wanted), -1, `${what} differs from the expected bytes`);
}

const pngPixels = (png) => browserPngPixels(page, png);

async function screenshot(selector, name) {
  mkdirSync(shots, { recursive: true });
  await (await page.$(selector)).screenshot({ path: join(shots, name) });
}

test('every control has a label, and the keyboard reaches them in order', async () => {
  const unlabelled = await page.$$eval('input, select, button', (controls) => controls
    .filter((c) => !c.hidden && c.labels?.length === 0 && !c.textContent.trim() && !c.getAttribute('aria-label'))
    .map((c) => c.outerHTML));
  assert.deepEqual(unlabelled, []);
  const expected = ['carrier-file', 'hidden1-file', 'hidden2-file', 'contain', 'vornhold2', 'encode-password',
    'encode-password-show', 'coded-file', 'decode-build', 'decode-content', 'decode-reading', 'decode-password',
    'decode-password-show'];
  const reached = [];
  for (let i = 0; i < expected.length; i++) {
    await page.keyboard.press('Tab');
    reached.push(await page.evaluate(() => document.activeElement.id || document.activeElement.value));
  }
  // Each radio group is one stop, and the encode and take-out buttons are skipped while nothing
  // is chosen.
  assert.deepEqual(reached, expected);
});

const crossings = () => page.evaluate(async () => (await import('./vornhold.js')).work('crossings'));

test('encoding the samples shows the coded picture and downloads the program\'s Coded.bmp', async () => {
  const before = await crossings();
  await chooseFile('#carrier-file', join(samples, 'Main.bmp'));
  await chooseFile('#hidden1-file', join(samples, 'Hidden 1.bmp'));
  await chooseFile('#hidden2-file', join(samples, 'Hidden 2.bmp'));
  for (const name of ['carrier', 'hidden1', 'hidden2']) {
    assert.match((await waitForStatus(name, 'ready')).text, /512 × 512, 24-bit BMP/);
  }
  await page.waitForSelector('#encode-button:not([disabled])');
  await page.click('#encode-button');
  await page.waitForSelector('#encode-results:not([hidden])');
  assert.match(await page.$eval('#encode-message', (m) => m.textContent), /^Done with vornhold2 in \d+ ms: hidden picture 1 stored, 2 bits per colour byte, scrambled; hidden picture 2 stored, 2 bits per colour byte, in place\.$/);

  // Each file goes into the module once and its preview out; the coded picture comes out as
  // the BMP, the PNG and the preview, and nothing else crosses.
  const after = await crossings();
  assert.deepEqual({ in: after.in - before.in, out: after.out - before.out }, { in: 3, out: 6 });
  const shown = await page.$eval('#coded-view', (canvas) => [canvas.width, canvas.height]);
  assert.deepEqual(shown, [512, 512]);
  const coded = await download('#coded-bmp');
  assertSameBytes(coded, expected.coded, 'Coded.bmp');
  const png = await download('#coded-png');
  assertSameBytes(await pngPixels(png), rgbOf(expected.coded).rgb, 'the pixels of Coded.png');
  writeFileSync(join(downloads, 'coded-copy.png'), png);
  await screenshot('#encode', 'web-encode.png');
});

// The hidden pictures at full strength, as the programs' decoded files hold them: with both
// hidden pictures vornhold2 keeps picture 1 in bits 5 and 4 of Decoded_2, and picture 2 in the
// top two bits of Decoded_1 with its bits exchanged.
function hiddenFromProgramFiles() {
  const offset = expected.coded.readUInt32LE(10);
  const hidden1 = Buffer.from(expected.decoded2);
  const hidden2 = Buffer.from(expected.decoded1);
  for (let i = offset; i < hidden1.length; i++) {
    hidden1[i] = 85 * ((expected.decoded2[i] >> 4) & 3);
    const b = expected.decoded1[i] >> 6;
    hidden2[i] = 85 * (((b & 1) << 1) | (b >> 1));
  }
  return { hidden1, hidden2 };
}

test('decoding the coded picture shows each hidden picture, raw or reconstructed as vorn gives it, and the revealed low bits', async () => {
  await page.select('#decode-build', 'vornhold2');
  await page.select('#decode-content', 'both');
  await page.select('#decode-reading', 'raw');
  await chooseFile('#coded-file', join(downloads, 'Coded.bmp'));
  await waitForDecoding('Coded.bmp');
  assert.match(await page.$eval('#decode-message', (m) => m.textContent),
    /^Hidden pictures 1 and 2, written by vornhold2, as chosen\. Shown as the raw levels/);
  const wanted = hiddenFromProgramFiles();
  assertSameBytes(await download('#hidden-1-bmp'), wanted.hidden1, 'hidden-1.bmp');
  assertSameBytes(await download('#hidden-2-bmp'), wanted.hidden2, 'hidden-2.bmp');
  assertSameBytes(await download('#revealed-bmp'), expected.revealed, 'out.bmp');
  assertSameBytes(await pngPixels(await download('#hidden-1-png')), rgbOf(wanted.hidden1).rgb, 'hidden-1.png');

  // Reconstructed, the page gives the very pixels vorn decode writes.
  await page.select('#decode-reading', 'reconstructed');
  await page.waitForFunction(() => / Reconstructed: /.test(document.getElementById('decode-message').textContent));
  await page.waitForSelector('#decode-results[aria-busy="false"]:not([hidden]) #revealed-bmp');
  const run = await native.vorn(downloads, 'decode', 'Coded.bmp', '--hidden', 'both', '--build', 'vornhold2', '-o', 'by-vorn', '-f');
  assert.equal(run.status, 0, run.stderr);
  for (const which of [1, 2]) {
    assertSameBytes(await pngPixels(await download(`#hidden-${which}-png`)),
      await pngPixels(readFileSync(join(downloads, 'by-vorn', `hidden-${which}.png`))), `reconstructed hidden-${which}.png`);
  }

  await page.select('#decode-build', '');
  await page.select('#decode-content', '');
  await page.waitForFunction(() => /\(the build and what it holds\)/.test(document.getElementById('decode-message').textContent));
  assert.match(await page.$eval('#decode-message', (m) => m.textContent), /^Hidden pictures 1 and 2, written by vornhold2, guessed from the picture \(the build and what it holds\)/);
  await screenshot('#decode', 'web-decode.png');
});

test('a coded PNG decodes like the coded BMP', async () => {
  await page.select('#decode-build', 'vornhold2');
  await page.select('#decode-content', 'both');
  await page.select('#decode-reading', 'raw');
  await chooseFile('#coded-file', join(downloads, 'coded-copy.png'));
  await waitForDecoding('coded-copy.png');
  assert.match((await statusOf('coded')).text, /512 × 512, read as its equivalent 24-bit BMP/);
  // The samples' header is the one of the equivalent BMP, so the files are equal whole.
  assertSameBytes(await download('#hidden-1-bmp'), hiddenFromProgramFiles().hidden1, 'hidden-1.bmp');
  await page.select('#decode-reading', 'reconstructed');
});

test('a PNG carrier is hidden in as its equivalent BMP, which the samples are', async () => {
  const png = join(downloads, 'Main.png');
  writeFileSync(png, await pictureFile(page, readFileSync(join(samples, 'Main.bmp')), 'image/png'));
  await chooseFile('#carrier-file', png);
  // The browser writes RGBA, and vorn's reader says so of any PNG with an alpha channel.
  assert.match((await waitForStatus('carrier', 'ready')).text,
    /^Main\.png: 512 × 512, read as its equivalent 24-bit BMP; its transparency is dropped$/);
  await page.waitForSelector('#encode-button:not([disabled])');
  await page.click('#encode-button');
  await page.waitForFunction(() => /^Done/.test(document.getElementById('encode-message').textContent));
  assertSameBytes(await download('#coded-bmp'), expected.coded, 'Coded.bmp from Main.png');
});

test('a hidden picture of another size is scaled into the frame as chosen; one that cannot be read is refused', async () => {
  const other = join(downloads, 'other-size.bmp');
  writeFileSync(other, bmp({ width: 37, height: 21, seed: 5 }));
  await chooseFile('#hidden1-file', other);
  assert.match((await waitForStatus('hidden1', 'ready')).text,
    /^other-size\.bmp: 37 × 21, .*; to be scaled into the carrier's 512 × 512 \(whole, centred\)$/);
  await page.click('input[name=encode-fit][value=cover]');
  await page.waitForFunction(() => /cropped around the centre\)$/.test(document.getElementById('hidden1-status').textContent));
  await page.waitForSelector('#encode-button:not([disabled])');
  await page.click('#encode-button');
  await page.waitForFunction(() => /^Done/.test(document.getElementById('encode-message').textContent));
  assert.match(await page.$eval('#encode-message', (m) => m.textContent),
    / Hidden picture 1 scaled from 37x21 to 902x512 and cropped around the centre to 512x512\.$/);
  await page.click('input[name=encode-fit][value=contain]');

  const text = join(downloads, 'notes.txt');
  writeFileSync(text, 'not a picture');
  await chooseFile('#hidden2-file', text);
  assert.match((await waitForStatus('hidden2', 'refused')).text, /^notes\.txt cannot be used: not a PNG, JPEG or BMP picture; convert it to PNG first\.$/);
  assert.equal(await page.$eval('#encode-button', (b) => b.disabled), true);

  await page.click('[data-slot="hidden1"] .remove');
  await page.click('[data-slot="hidden2"] .remove');
  await page.waitForSelector('#encode-button:not([disabled])');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'hidden2-file');
});

// The message of a part of the page once it matches `pattern`.
async function waitForMessage(part, pattern) {
  await page.waitForFunction((part, source) => new RegExp(source).test(document.getElementById(`${part}-message`).textContent),
    { timeout: 120_000 }, part, pattern.source);
  return page.$eval(`#${part}-message`, (m) => m.textContent);
}

// Waits until a slot holds the file `name`, read and ready.
async function waitForFile(slot, name) {
  await page.waitForFunction((slot, name) => {
    const status = document.getElementById(`${slot}-status`);
    return status.classList.contains('ready') && status.textContent.startsWith(`${name}:`);
  }, {}, slot, name);
}

async function typeInto(selector, text) {
  await page.$eval(selector, (field) => { field.value = ''; });
  await page.type(selector, text);
}

// Three keys are derived in the browser here (hiding, a wrong password, the right one), each
// taking seconds; the picture hidden is vorn's to open as well.
test('hiding with a password, and taking out with a wrong password and the right one', async () => {
  const password = 'nicht das Passwort';
  await chooseFile('#carrier-file', join(samples, 'Main.bmp'));
  await chooseFile('#hidden1-file', join(samples, 'Hidden 1.bmp'));
  await waitForFile('carrier', 'Main.bmp');
  await waitForFile('hidden1', 'Hidden 1.bmp');
  await typeInto('#encode-password', password);
  await page.click('#encode-password-show');
  assert.equal(await page.$eval('#encode-password', (f) => f.type), 'text');
  assert.equal(await page.$eval('#encode-password-show', (b) => b.getAttribute('aria-pressed')), 'true');
  await page.click('#encode-password-show');
  assert.equal(await page.$eval('#encode-password', (f) => f.type), 'password');

  await page.waitForSelector('#encode-button:not([disabled])');
  await page.click('#encode-button');
  await waitForMessage('encode', /^Deriving the key from the password…$/);
  assert.equal(await page.$eval('#encode-progress', (p) => p.hidden), false);
  assert.match(await waitForMessage('encode', /^Done/), /^Done with vornhold2 in \d+ ms: keyed with the password \(Argon2id, XChaCha20-Poly1305\)\.$/);
  const keyed = await download('#coded-png');
  writeFileSync(join(downloads, 'keyed.png'), keyed);
  writeFileSync(join(downloads, 'password.txt'), `${password}\n`);
  const folder = native.scratchFolder('keyed-page');
  const opened = await native.vorn(folder, 'decode', join(downloads, 'keyed.png'), '--password-file',
    join(downloads, 'password.txt'), '-o', 'out');
  assert.equal(opened.status, 0, opened.stderr);

  // Without a password the page says that one may be needed, and offers nothing.
  await typeInto('#encode-password', '');
  await page.select('#decode-build', '');
  await page.select('#decode-content', '');
  await chooseFile('#coded-file', join(downloads, 'keyed.png'));
  assert.match(await waitForMessage('decode', /^Nothing was taken out/),
    /^Nothing was taken out: keyed\.png: no hidden picture found \(its low bits look random\); if it was hidden with a password, give the password\.$/);

  await typeInto('#decode-password', 'das falsche');
  assert.equal(await page.$eval('#decode-build', (s) => s.disabled), true);
  await page.click('#decode-button');
  await waitForMessage('decode', /^Deriving the key from the password…$/);
  assert.equal(await waitForMessage('decode', /^Nothing was taken out/),
    'Nothing was taken out: keyed.png: wrong password, or the picture was changed after it was coded.');
  assert.equal(await page.$eval('#decode-results', (r) => r.hidden), true);
  assert.deepEqual(await page.$$eval('#decode-results a', (links) => links.length), 0);

  await typeInto('#decode-password', password);
  await page.keyboard.press('Enter');
  assert.equal(await waitForMessage('decode', /^Opened/), 'Opened with the password: hidden picture 1 alone. ' +
    'Reconstructed: the dither\'s grain filtered out.');
  await page.waitForSelector('#decode-results[aria-busy="false"]:not([hidden]) #revealed-bmp');
  const hidden1 = await download('#hidden-1-bmp');
  assertSameBytes(rgbOf(hidden1).rgb, await pngPixels(readFileSync(join(folder, 'out', 'hidden-1.png'))),
    'hidden picture 1 from the page against vorn\'s');
  await typeInto('#decode-password', '');
  await page.$eval('#decode-password', (field) => field.dispatchEvent(new Event('input')));
});

test('the page loads nothing from elsewhere and logs no error', () => {
  assert.deepEqual(session.foreign, []);
  assert.deepEqual(session.problems, []);
});

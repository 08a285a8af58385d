// The page through its own controls, as a visitor uses it: the samples are encoded and the
// downloads equal the native program's output, the coded picture is decoded again, and a
// picture that cannot be used shows why. Screenshots of both parts are taken on the way. Then how
// the page reads as a tool, at a phone's width and a desktop's: the keyboard reaches every
// control with its focus in sight, nothing scrolls sideways on any screen (down to 320 pixels),
// files dropped anywhere or pasted go to the box they belong in, the sample pictures, the
// password typed twice, errors shown as alerts, downloads named after the inputs with their
// sizes, and the page working offline once loaded.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { bmp, firstDifference, rgbOf } from './bmp.mjs';
import * as native from './native.mjs';
import { openPage, pictureFile, pngPixels as browserPngPixels } from './browser.mjs';
import { allowDownloads, controls } from './controls.mjs';

const samples = join(native.root, 'samples');
const shots = process.env.VORN_WEB_SCREENSHOTS ?? join(native.root, 'build/wasm/screenshots');
let session;
let page;
let downloads;
let expected;  // the native programs' files for the samples
let use;  // the page's controls

before(async () => {
  session = await openPage({ width: 1280, height: 900 });
  page = session.page;
  downloads = native.scratchFolder('downloads');
  await allowDownloads(page, downloads);
  use = controls(page, downloads);
  const read = (name) => readFileSync(join(samples, name));
  const { coded } = await native.encode('vornhold2', read('Main.bmp'), read('Hidden 1.bmp'), read('Hidden 2.bmp'));
  expected = { coded, ...(await native.decode('vornhold2', coded)), revealed: await native.reveal(coded) };
});
after(async () => { await session?.close(); });

const download = (selector) => use.download(selector);
const chooseFile = (slot, path) => use.chooseFile(slot, path);

// Waits for the decoding that choosing the file `name` started: it begins as the file's status
// turns ready.
async function waitForDecoding(name) {
  await use.waitForFile('coded', name);
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

const crossings = () => page.evaluate(async () => (await import('./vornhold.js')).work('crossings'));

test('encoding the samples shows the coded picture and downloads the program\'s Coded.bmp', async () => {
  const before = await crossings();
  await chooseFile('carrier', join(samples, 'Main.bmp'));
  await chooseFile('hidden1', join(samples, 'Hidden 1.bmp'));
  await chooseFile('hidden2', join(samples, 'Hidden 2.bmp'));
  for (const [slot, name] of [['carrier', 'Main.bmp'], ['hidden1', 'Hidden 1.bmp'], ['hidden2', 'Hidden 2.bmp']]) {
    assert.equal(await use.waitForFile(slot, name), `${name}: 512 × 512 pixels`);
  }
  // Each is a 24-bit BMP the engine takes as it stands.
  assert.deepEqual(await page.$$eval('#encode [data-slot]', (slots) => slots.map((slot) => slot.dataset.source)), ['bmp', 'bmp', 'bmp']);
  // The programs' bytes are the classic form's (the tests below keep it chosen).
  await page.click('#encode-classic');
  await page.waitForSelector('#encode-button:not([disabled])');
  await page.click('#encode-button');
  await page.waitForSelector('#encode-results:not([hidden])');
  assert.match(await page.$eval('#encode-message', (m) => m.textContent), /^Done in [\d.]+ m?s\.$/);
  assert.deepEqual(await page.$$eval('#encode-report-lines li', (lines) => lines.map((line) => line.textContent)), [
    'Hidden picture 1 stored, 2 bits per colour byte, scrambled',
    'Hidden picture 2 stored, 2 bits per colour byte, in place',
  ]);

  // Each file goes into the module once and its preview out; the coded picture comes out as
  // the BMP, the PNG and the preview, and nothing else crosses.
  const after = await crossings();
  assert.deepEqual({ in: after.in - before.in, out: after.out - before.out }, { in: 3, out: 6 });
  const shown = await page.$eval('#coded-view', (canvas) => [canvas.width, canvas.height]);
  assert.deepEqual(shown, [512, 512]);
  // The before-and-after view holds the carrier over the coded picture, cut where the slider says.
  const compared = async () => page.evaluate(() => {
    const pixels = (id) => {
      const canvas = document.getElementById(id);
      return Array.from(canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data);
    };
    const same = (a, b) => a.length === b.length && a.every((value, i) => value === b[i]);
    return {
      before: same(pixels('compare-before'), pixels('carrier-view')),
      after: same(pixels('compare-after'), pixels('coded-view')),
      // The share of the width cut away on the right, however the browser writes the inset.
      cut: Number(/inset\(0px (?:calc\()?([\d.]+)%/.exec(getComputedStyle(document.querySelector('.compare-before')).clipPath)?.[1]),
    };
  });
  assert.deepEqual(await compared(), { before: true, after: true, cut: 50 });
  await page.$eval('#compare-split', (slider) => {
    slider.value = '20';
    slider.dispatchEvent(new Event('input'));
  });
  assert.equal((await compared()).cut, 80);
  const coded = await download('#coded-bmp');
  assert.equal(coded.fileName, 'Main-coded.bmp');
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
  await chooseFile('coded', join(downloads, 'Main-coded.bmp'));
  await waitForDecoding('Main-coded.bmp');
  assert.match(await page.$eval('#decode-message', (m) => m.textContent),
    /^Hidden pictures 1 and 2, written by vornhold2\. Shown as the raw levels/);
  const wanted = hiddenFromProgramFiles();
  // Named after the coded picture, without its "-coded".
  const hidden1 = await download('#hidden-1-bmp');
  assert.equal(hidden1.fileName, 'Main-hidden-1.bmp');
  assertSameBytes(hidden1, wanted.hidden1, 'hidden-1.bmp');
  assertSameBytes(await download('#hidden-2-bmp'), wanted.hidden2, 'hidden-2.bmp');
  assertSameBytes(await download('#revealed-bmp'), expected.revealed, 'out.bmp');
  assertSameBytes(await pngPixels(await download('#hidden-1-png')), rgbOf(wanted.hidden1).rgb, 'hidden-1.png');

  // Reconstructed, the page gives the very pixels vorn decode writes.
  await page.select('#decode-reading', 'reconstructed');
  await page.waitForFunction(() => / Reconstructed: /.test(document.getElementById('decode-message').textContent));
  await page.waitForSelector('#decode-results[aria-busy="false"]:not([hidden]) #revealed-bmp');
  const run = await native.vorn(downloads, 'decode', 'Main-coded.bmp', '--hidden', 'both', '--build', 'vornhold2', '-o', 'by-vorn', '-f');
  assert.equal(run.status, 0, run.stderr);
  for (const which of [1, 2]) {
    assertSameBytes(await pngPixels(await download(`#hidden-${which}-png`)),
      await pngPixels(readFileSync(join(downloads, 'by-vorn', `hidden-${which}.png`))), `reconstructed hidden-${which}.png`);
  }

  await page.select('#decode-build', '');
  await page.select('#decode-content', '');
  const [guessed] = await use.waitForNotes('decode', /read from the picture/);
  assert.match(guessed, /^Main-coded\.bmp: assuming hidden pictures 1 and 2, written by vornhold2 \(read from the picture/);
  assert.equal((await use.said('decode')).text, 'Hidden pictures 1 and 2, written by vornhold2. Reconstructed: the dither\'s grain filtered out.');
  await screenshot('#decode', 'web-decode.png');
});

test('a coded PNG decodes like the coded BMP', async () => {
  await page.select('#decode-build', 'vornhold2');
  await page.select('#decode-content', 'both');
  await page.select('#decode-reading', 'raw');
  await chooseFile('coded', join(downloads, 'coded-copy.png'));
  await waitForDecoding('coded-copy.png');
  assert.equal((await use.said('coded')).text, 'coded-copy.png: 512 × 512 pixels');
  // Read as its equivalent 24-bit BMP.
  assert.equal(await page.$eval('[data-slot="coded"]', (slot) => slot.dataset.source), 'vorn');
  // The samples' header is the one of the equivalent BMP, so the files are equal whole.
  assertSameBytes(await download('#hidden-1-bmp'), hiddenFromProgramFiles().hidden1, 'hidden-1.bmp');
  await page.select('#decode-reading', 'reconstructed');
});

test('a PNG carrier is hidden in as its equivalent BMP, which the samples are', async () => {
  const png = join(downloads, 'Main.png');
  writeFileSync(png, await pictureFile(page, readFileSync(join(samples, 'Main.bmp')), 'image/png'));
  await chooseFile('carrier', png);
  // The browser writes RGBA, and vorn's reader says so of any PNG with an alpha channel.
  assert.equal(await use.waitForFile('carrier', 'Main.png'),
    'Main.png: 512 × 512 pixels; its transparency is dropped; only the colours are used');
  await page.waitForSelector('#encode-button:not([disabled])');
  await page.click('#encode-button');
  await use.waitForMessage('encode', /^Done/);
  assertSameBytes(await download('#coded-bmp'), expected.coded, 'Coded.bmp from Main.png');
});

test('a hidden picture of another size is scaled into the frame as chosen; one that cannot be read is refused', async () => {
  const other = join(downloads, 'other-size.bmp');
  writeFileSync(other, bmp({ width: 37, height: 21, seed: 5 }));
  await chooseFile('hidden1', other);
  await page.waitForFunction(() => / \(whole, centred\)$/.test(document.getElementById('hidden1-status').textContent));
  assert.equal((await use.said('hidden1')).text, 'other-size.bmp: 37 × 21 pixels; it will be scaled to fit 512 × 512 (whole, centred)');
  // The fits are folded under More options, the classic form's.
  await page.click('#encode-options-summary');
  await page.click('input[name=encode-fit][value=cover]');
  await page.waitForFunction(() => /cropped around the centre\)$/.test(document.getElementById('hidden1-status').textContent));
  await page.waitForSelector('#encode-button:not([disabled])');
  await page.click('#encode-button');
  await use.waitForMessage('encode', /^Done/);
  assert.deepEqual(await use.waitForNotes('encode', /scaled/),
    ['Hidden picture 1 scaled from 37x21 to 902x512 and cropped around the centre to 512x512.']);
  await page.click('input[name=encode-fit][value=contain]');
  await page.click('#encode-options-summary');

  const text = join(downloads, 'notes.txt');
  writeFileSync(text, 'not a picture');
  await chooseFile('hidden2', text);
  assert.equal(await use.waitForError('hidden2'), 'notes.txt cannot be used: not a PNG, JPEG or BMP picture; convert it to PNG first.');
  assert.equal(await page.$eval('#encode-button', (b) => b.disabled), true);

  await page.click('[data-slot="hidden1"] .remove');
  await page.click('[data-slot="hidden2"] .remove');
  await page.waitForSelector('#encode-button:not([disabled])');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'hidden2-file');
});

const waitForMessage = (part, pattern) => use.waitForMessage(part, pattern);
const typeInto = (selector, text) => use.typeInto(selector, text);

// Every text a section's message shows while `body` runs, with whether its bar was measured
// then, as "text|measured".
async function messagesDuring(part, body) {
  await page.evaluate((part) => {
    const message = document.getElementById(`${part}-message`);
    const bar = document.getElementById(`${part}-progress`);
    window.seenMessages = [];
    window.seenObserver = new MutationObserver(() => {
      window.seenMessages.push(`${message.textContent}|${!bar.hidden && bar.hasAttribute('value')}`);
    });
    window.seenObserver.observe(message, { childList: true, characterData: true, subtree: true });
  }, part);
  await body();
  return page.evaluate(() => {
    window.seenObserver.disconnect();
    return window.seenMessages;
  });
}

// Three keys are derived in the browser here (hiding, a wrong password, the right one), each
// taking seconds; the picture hidden is vorn's to open as well.
test('hiding with a password, and taking out with a wrong password and the right one', async () => {
  const password = 'nicht das Passwort';
  await chooseFile('carrier', join(samples, 'Main.bmp'));
  await chooseFile('hidden1', join(samples, 'Hidden 1.bmp'));
  await use.waitForFile('carrier', 'Main.bmp');
  await use.waitForFile('hidden1', 'Hidden 1.bmp');
  await typeInto('#encode-password', password);
  await typeInto('#encode-password-again', password);
  await page.click('#encode-password-show');
  assert.equal(await page.$eval('#encode-password', (f) => f.type), 'text');
  assert.equal(await page.$eval('#encode-password-show', (b) => b.getAttribute('aria-pressed')), 'true');
  assert.equal(await page.$eval('#encode-password-again', (f) => f.type), 'text');
  await page.click('#encode-password-show');
  assert.equal(await page.$eval('#encode-password', (f) => f.type), 'password');

  // The page shows each step the kit is on as it comes, the key's end included, with a measured
  // bar where the step counts its work (compressing the PNG).
  await page.waitForSelector('#encode-button:not([disabled])');
  const seen = await messagesDuring('encode', async () => {
    await page.click('#encode-button');
    await waitForMessage('encode', /^Deriving the key from the password…$/);
    assert.equal(await page.$eval('#encode-progress', (p) => p.hidden), false);
    assert.match(await waitForMessage('encode', /^Done/), /^Done in [\d.]+ m?s\.$/);
  });
  const steps = [...new Set(seen.map((entry) => entry.split('|')[0]))];
  assert.deepEqual(steps.filter((step) => step.endsWith('…')), ['Starting…', 'Fitting hidden picture 1…',
    'Deriving the key from the password…', 'Dithering and encrypting…', 'Compressing Main-coded.png…']);
  assert.ok(seen.includes('Compressing Main-coded.png…|true'), 'the compression\'s bar is measured');
  assert.ok(seen.includes('Deriving the key from the password…|false'), 'the key\'s bar is not');
  assert.deepEqual(await page.$$eval('#encode-report-lines li', (lines) => lines.map((line) => line.textContent)),
    ['Keyed with the password (Argon2id, XChaCha20-Poly1305)']);
  const keyed = await download('#coded-png');
  writeFileSync(join(downloads, 'keyed.png'), keyed);
  writeFileSync(join(downloads, 'password.txt'), `${password}\n`);
  const folder = native.scratchFolder('keyed-page');
  const opened = await native.vorn(folder, 'decode', join(downloads, 'keyed.png'), '--password-file',
    join(downloads, 'password.txt'), '-o', 'out');
  assert.equal(opened.status, 0, opened.stderr);

  // Without a password the page says that one may be needed, and offers nothing.
  await typeInto('#encode-password', '');
  await typeInto('#encode-password-again', '');
  await page.select('#decode-build', '');
  await page.select('#decode-content', '');
  await chooseFile('coded', join(downloads, 'keyed.png'));
  assert.equal(await use.waitForError('decode'),
    "Nothing was taken out: keyed.png: no hidden picture found without a password (its low bits look random, as a password-protected picture's do); if it was hidden with a password, give it (the password field); if not, the picture looks changed: hidden pictures do not survive re-saving, resizing or sending through apps that recompress pictures; send the coded file itself (as a document).");

  await typeInto('#decode-password', 'das falsche');
  assert.equal(await page.$eval('#decode-build', (s) => s.disabled), true);
  await page.click('#decode-button');
  await waitForMessage('decode', /^Deriving the key from the password…$/);
  assert.equal(await use.waitForError('decode'),
    'Nothing was taken out: keyed.png: wrong password, or the picture was changed after it was coded; if the ' +
    'password is right, the picture looks changed: hidden pictures do not survive re-saving, resizing or sending through apps that recompress pictures; send the coded file itself (as a document).');
  assert.equal(await page.$eval('#decode-results', (r) => r.hidden), true);
  assert.deepEqual(await page.$$eval('#decode-results a', (links) => links.length), 0);

  await typeInto('#decode-password', password);
  await page.keyboard.press('Enter');
  assert.equal(await waitForMessage('decode', /^Opened/), 'Opened with the password: hidden picture 1 alone. ' +
    'Reconstructed: the dither\'s grain filtered out.');
  await page.waitForSelector('#decode-results[aria-busy="false"]:not([hidden]) #revealed-bmp');
  const hidden1 = await download('#hidden-1-bmp');
  assert.equal(hidden1.fileName, 'keyed-hidden-1.bmp');
  assertSameBytes(rgbOf(hidden1).rgb, await pngPixels(readFileSync(join(folder, 'out', 'hidden-1.png'))),
    'hidden picture 1 from the page against vorn\'s');

  // A picture hidden without a password, given one, is taken out all the same, and says so.
  await chooseFile('coded', join(downloads, 'Main-coded.bmp'));
  assert.deepEqual(await use.waitForNotes('decode', /holds no keyed picture/), [
    'Main-coded.bmp: holds no keyed picture; its hidden pictures are taken out without the password.',
    'Main-coded.bmp: assuming hidden pictures 1 and 2, written by vornhold2 (read from the picture; name what it holds and its build to choose otherwise).',
  ]);
  assert.match((await use.said('decode')).text, /^Hidden pictures 1 and 2, written by vornhold2\. /);
  await typeInto('#decode-password', '');
  await page.$eval('#decode-password', (field) => field.dispatchEvent(new Event('input')));
});

test('the page loads nothing from elsewhere and logs no error', () => {
  assert.deepEqual(session.foreign, []);
  assert.deepEqual(session.problems, []);
});

// Each Tab stop from the top of the page: the element focused, by its id.
const TAB_ORDER = ['samples-button', 'carrier-file', 'hidden1-file', 'hidden2-file', 'encode-compact', 'encode-password',
  'encode-password-show', 'encode-password-again', 'encode-options-summary', 'coded-file', 'decode-password',
  'decode-password-show', 'decode-reading', 'decode-options-summary'];

// The colours an error is drawn in (style.css's --error and --error-back).
const ERROR_COLOURS = { color: 'rgb(161, 29, 29)', background: 'rgb(253, 238, 238)' };

// A download's text is its name and its size, which must be the file's within the rounding shown.
function assertOffered(file, name) {
  assert.equal(file.fileName, name);
  const [, number, unit] = /^.* \(([\d.]+) (bytes|KB|MB)\)$/.exec(file.text) ?? [];
  assert.equal(file.text, `${name} (${number} ${unit})`, `${name}: its link says its name and size`);
  const scale = { bytes: 1, KB: 1e3, MB: 1e6 }[unit];
  const within = { bytes: 0, KB: 0.5, MB: 0.05 }[unit];
  assert.ok(Math.abs(file.length / scale - Number(number)) <= within, `${name}: ${file.length} bytes shown as ${number} ${unit}`);
}

for (const width of [390, 1280]) {
  describe(`the page at ${width} pixels`, () => {
    let session;
    let page;
    let use;
    let downloads;

    before(async () => {
      session = await openPage({ width, height: 900 });
      page = session.page;
      downloads = native.scratchFolder(`tool-${width}`);
      await allowDownloads(page, downloads);
      use = controls(page, downloads);
    });
    after(async () => { await session?.close(); });

    // Where the page is wider than the window, at 320 pixels and at the test's width, with every
    // folded part open and closed: '' when nowhere.
    async function sideways(screen) {
      const wide = [];
      for (const open of [false, true]) {
        await page.$$eval('details', (all, open) => { for (const details of all) details.open = open; }, open);
        for (const w of [320, width]) {
          await page.setViewport({ width: w, height: 900 });
          const { scroll, window } = await page.evaluate(() => ({ scroll: document.documentElement.scrollWidth, window: innerWidth }));
          if (scroll > window) wide.push(`${screen}, ${w} pixels${open ? ', options open' : ''}: ${scroll} wide`);
        }
      }
      await page.$$eval('details', (all) => { for (const details of all) details.open = false; });
      await page.setViewport({ width, height: 900 });
      return wide.join('; ');
    }

    const hide = async () => {
      await page.waitForSelector('#encode-button:not([disabled])');
      await page.click('#encode-button');
      return use.waitForMessage('encode', /^Done/);
    };

    test('every control has a label, and the keyboard reaches each in order with its focus in sight', async () => {
      const unlabelled = await page.$$eval('input, select, button', (controls) => controls
        .filter((c) => !c.hidden && c.labels?.length === 0 && !c.textContent.trim() && !c.getAttribute('aria-label'))
        .map((c) => c.outerHTML));
      assert.deepEqual(unlabelled, []);
      const reached = [];
      for (let i = 0; i < TAB_ORDER.length; i++) {
        await page.keyboard.press('Tab');
        // A file input is drawn by its label, which shows the input's focus.
        reached.push(await page.evaluate(() => {
          const at = document.activeElement;
          const drawn = at.matches('.file-input') ? at.nextElementSibling : at;
          const style = getComputedStyle(drawn);
          const box = drawn.getBoundingClientRect();
          const seen = style.outlineStyle !== 'none' && parseFloat(style.outlineWidth) >= 2 && box.width > 0 && box.height > 0;
          return `${at.id}${seen ? '' : ' (focus not shown)'}`;
        }));
      }
      // The take-out buttons are skipped while nothing is chosen.
      assert.deepEqual(reached, TAB_ORDER);
      assert.equal(await sideways('the empty page'), '');
    });

    test('the sample pictures are the samples, and the downloads are named after them with their sizes', async () => {
      await page.click('#samples-button');
      for (const [slot, name] of [['carrier', 'main.png'], ['hidden1', 'hidden-1.png'], ['hidden2', 'hidden-2.png']]) {
        assert.equal(await use.waitForFile(slot, name), `${name}: 512 × 512 pixels`);
      }
      // The programs' bytes are the classic form's (the tests below keep it chosen).
      await page.click('#encode-classic');
      assert.match(await hide(), /^Done in [\d.]+ m?s\.$/);
      const coded = await use.download('#coded-bmp');
      assertOffered(coded, 'main-coded.bmp');
      assert.equal(firstDifference(coded, expected.coded), -1, 'the samples hidden give the program\'s Coded.bmp');
      assertOffered(await use.download('#coded-png'), 'main-coded.png');
      assert.match(await page.$eval('#encode-results .advice', (p) => p.textContent), /PNG is exact and\s+smaller than BMP/);
      assert.equal(await sideways('hiding, with the result'), '');
    });

    test('a file dropped anywhere goes to the next box it belongs in, which says its name', async () => {
      await use.clearSlots();
      const file = (name, seed) => ({ name, bytes: bmp({ width: 64, height: 48, seed }) });
      const DROPS = [
        { at: 'header', files: [file('beach.bmp', 1)], marked: ['carrier'], holds: { carrier: 'beach.bmp' } },
        { at: 'footer', files: [file('cat.bmp', 2), file('dog.bmp', 3)], holds: { hidden1: 'cat.bmp', hidden2: 'dog.bmp' } },
        { at: '[data-slot="hidden1"] .hint', files: [file('owl.bmp', 4)], marked: ['hidden1'], holds: { hidden1: 'owl.bmp' } },
        { at: '#encode .lead', files: [file('fox.bmp', 5)], marked: [], refused: /^Every box holds a picture/ },
        { at: '#decode .lead', files: [file('sea.bmp', 6)], marked: ['coded'], holds: { coded: 'sea.bmp' } },
      ];
      for (const drop of DROPS) {
        if (drop.marked) assert.deepEqual(await use.dropTargets(drop.at), drop.marked, `${drop.at}: the boxes marked`);
        await use.dropFiles(drop.at, drop.files);
        for (const [slot, name] of Object.entries(drop.holds ?? {})) {
          assert.equal(await use.waitForFile(slot, name), `${name}: 64 × 48 pixels`, `${drop.at}: ${slot}`);
        }
        if (drop.refused) assert.match(await use.waitForError('encode'), drop.refused);
      }
      assert.equal(await sideways('dropped files, one refused'), '');
    });

    test('a picture pasted goes where the focus is, and one without a file name is called picture', async () => {
      await use.clearSlots();
      const PASTES = [
        { focus: '#decode-reading', file: { name: 'image.png', bytes: expected.coded }, slot: 'coded', label: 'Pasted picture' },
        { focus: '#carrier-file', file: { name: 'image.png', bytes: readFileSync(join(samples, 'Main.bmp')) }, slot: 'carrier', label: 'Pasted picture' },
        { focus: '#hidden2-file', file: { name: 'holiday.bmp', bytes: readFileSync(join(samples, 'Hidden 2.bmp')) }, slot: 'hidden2', label: 'holiday.bmp' },
      ];
      for (const paste of PASTES) {
        await use.pasteFile(paste.focus, paste.file);
        assert.equal(await use.waitForFile(paste.slot, paste.label), `${paste.label}: 512 × 512 pixels`);
      }
      await page.waitForSelector('#decode-results[aria-busy="false"]:not([hidden]) #revealed-bmp');
      assertOffered(await use.download('#hidden-1-png'), 'picture-hidden-1.png');
      assertOffered(await use.download('#revealed-bmp'), 'picture-revealed.bmp');
      assert.match(await hide(), /^Done/);
      assertOffered(await use.download('#coded-png'), 'picture-coded.png');
      assert.equal(await sideways('hiding and taking out, with both results'), '');
    });

    test('a password is typed twice: Enter in either field hides, and a slip is refused as an alert', async () => {
      await use.clearSlots();
      await page.click('#samples-button');
      await use.waitForFile('hidden2', 'hidden-2.png');
      // The same password composed or decomposed gives the same key, and is taken as typed alike.
      const TYPINGS = [
        { password: 'Sommer 2024', again: 'Sommer 2023', enterIn: '#encode-password-again',
          refused: 'Nothing was hidden: the password and its confirmation differ; type the same password in both fields.' },
        { password: 'caf\u00e9', again: 'cafe\u0301', enterIn: '#encode-password' },
      ];
      for (const typing of TYPINGS) {
        await page.$eval('#encode-password', (field, text) => { field.value = text; }, typing.password);
        await page.$eval('#encode-password-again', (field, text) => { field.value = text; }, typing.again);
        await page.focus(typing.enterIn);
        await page.keyboard.press('Enter');
        if (typing.refused) {
          assert.equal(await use.waitForError('encode'), typing.refused);
          assert.equal(await page.$eval('#encode-results', (r) => r.hidden), true, 'nothing stays on offer');
          const look = await page.$eval('#encode-error', (error) => {
            const style = getComputedStyle(error);
            return { role: error.getAttribute('role'), color: style.color, background: style.backgroundColor };
          });
          assert.deepEqual(look, { role: 'alert', ...ERROR_COLOURS });
          assert.equal(await sideways('a refusal'), '');
        } else {
          assert.match(await use.waitForMessage('encode', /^Done/), /^Done in [\d.]+ m?s\.$/);
          assert.equal((await use.said('encode')).error, '');
          // A success is plain: a status in the text's colour.
          const look = await page.$eval('#encode-message', (message) => ({ role: message.getAttribute('role'), color: getComputedStyle(message).color }));
          assert.deepEqual(look, { role: 'status', color: 'rgb(29, 35, 39)' });
          assert.deepEqual(await page.$$eval('#encode-report-lines li', (lines) => lines.map((line) => line.textContent)),
            ['Keyed with the password (Argon2id, XChaCha20-Poly1305)']);
        }
      }
      for (const field of ['#encode-password', '#encode-password-again']) await page.$eval(field, (f) => { f.value = ''; });
    });

    test('once loaded, the page works offline', async () => {
      await page.evaluate(() => navigator.serviceWorker.ready);
      await page.waitForFunction(() => navigator.serviceWorker.controller !== null);
      await session.offline(true);
      try {
        await page.reload({ waitUntil: 'load' });
        await page.waitForSelector('body[data-ready="true"]');
        await page.click('#encode-classic');
        await page.click('#samples-button');
        await use.waitForFile('hidden2', 'hidden-2.png');
        assert.match(await hide(), /^Done/);
        assert.equal(firstDifference(await use.download('#coded-bmp'), expected.coded), -1);
      } finally {
        await session.offline(false);
      }
    });

    test('the page loads nothing from elsewhere and logs no error', () => {
      assert.deepEqual(session.foreign, []);
      assert.deepEqual(session.problems, []);
    });
  });
}

// page.js: the page's controls. Pictures are chosen or dropped into slots, read once by the
// worker, which holds them as the BMPs the engine works on, checked against each other, and
// then encoded or decoded by the worker; the results are shown with their downloads, and what was
// done or refused in the picture kit's words. A password, when one is typed, keys the hidden
// pictures or opens a keyed picture; it goes to the worker alone, where the kit derives the key.
import { work } from './vornhold.js';

const $ = (id) => document.getElementById(id);

// What each slot holds: the picture the worker holds ({id, geometry, source, alphaDropped,
// preview}), its file name, and the reason it cannot be used, if any.
const chosen = { carrier: null, hidden1: null, hidden2: null, coded: null };
const requests = { carrier: 0, hidden1: 0, hidden2: 0, coded: 0, encode: 0, decode: 0 };
const slotElement = (name) => document.querySelector(`[data-slot="${name}"]`);

function setStatus(name, text, kind = '') {
  const status = $(`${name}-status`);
  status.textContent = text;
  status.className = `status ${kind}`;
}

const SOURCES = {
  bmp: '24-bit BMP, used as it is',
  vorn: 'read as its equivalent 24-bit BMP',
  browser: 'decoded by the browser',
};

function describe({ geometry, source, alphaDropped }) {
  const how = SOURCES[source];
  const alpha = alphaDropped ? '; its transparency is dropped' : '';
  return `${geometry.width} × ${geometry.height}, ${how}${alpha}`;
}

function drawInto(canvas, bitmap) {
  canvas.width = bitmap ? bitmap.width : 0;
  canvas.height = bitmap ? bitmap.height : 0;
  if (bitmap) canvas.getContext('2d').drawImage(bitmap, 0, 0);
}

function showThumbnail(name, bitmap) {
  const slot = slotElement(name);
  let thumbnail = slot.querySelector('canvas.thumbnail');
  if (!bitmap) {
    thumbnail?.remove();
    return;
  }
  if (!thumbnail) {
    thumbnail = document.createElement('canvas');
    thumbnail.className = 'thumbnail';
    thumbnail.setAttribute('aria-hidden', 'true');
    slot.querySelector('.status').before(thumbnail);
  }
  drawInto(thumbnail, bitmap);
}

// Lets the worker free the picture a slot held. A decoding still under way on the coded picture
// is forgotten: its next step would find the picture gone, and its result is stale anyway.
function release(picture, name) {
  if (name === 'coded') requests.decode++;
  if (picture?.id) work('release', { id: picture.id });
}

function clearSlot(name) {
  requests[name]++;
  release(chosen[name], name);
  chosen[name] = null;
  const slot = slotElement(name);
  slot.querySelector('input[type=file]').value = '';
  slot.querySelector('.remove').hidden = true;
  showThumbnail(name, null);
  setStatus(name, '');
}

async function takeFile(name, file) {
  const request = ++requests[name];
  const slot = slotElement(name);
  release(chosen[name], name);
  chosen[name] = null;
  showThumbnail(name, null);
  setStatus(name, `Reading ${file.name}…`, 'busy');
  slot.querySelector('.remove').hidden = false;
  try {
    const prepared = await work('hold', { file, role: name === 'coded' ? 'coded' : 'source' });
    if (request !== requests[name]) {
      release(prepared);
      return;
    }
    chosen[name] = { ...prepared, fileName: file.name, refusal: null };
    showThumbnail(name, prepared.preview);
    setStatus(name, `${file.name}: ${describe(prepared)}`, 'ready');
  } catch (error) {
    if (request !== requests[name]) return;
    chosen[name] = { fileName: file.name, refusal: error.message };
    setStatus(name, `${file.name} cannot be used: ${error.message}.`, 'refused');
  }
}

// Wires a slot's file input, drop area and remove button; changed() runs after every change.
function setUpSlot(name, changed) {
  const slot = slotElement(name);
  const input = slot.querySelector('input[type=file]');
  input.addEventListener('change', async () => {
    if (input.files.length) await takeFile(name, input.files[0]);
    changed();
  });
  slot.addEventListener('dragover', (event) => {
    event.preventDefault();
    slot.classList.add('dropping');
  });
  slot.addEventListener('dragleave', () => slot.classList.remove('dropping'));
  slot.addEventListener('drop', async (event) => {
    event.preventDefault();
    slot.classList.remove('dropping');
    const file = event.dataTransfer.files[0];
    if (!file) return;
    input.value = '';
    await takeFile(name, file);
    changed();
  });
  slot.querySelector('.remove').addEventListener('click', () => {
    clearSlot(name);
    input.focus();
    changed();
  });
}

// A hidden picture of another size than the carrier is scaled into its frame: the slot says so.
const FIT_WORDS = { contain: 'whole, centred', cover: 'filling it, cropped around the centre', stretch: 'stretched' };
const fitChosen = () => document.querySelector('input[name=encode-fit]:checked').value;

async function checkHiddenPictures() {
  const carrier = chosen.carrier?.id ? chosen.carrier : null;
  for (const name of ['hidden1', 'hidden2']) {
    const hidden = chosen[name];
    if (!hidden?.id) continue;
    hidden.refusal = null;
    let text = `${hidden.fileName}: ${describe(hidden)}`;
    if (carrier) {
      const check = await work('checkHidden', { carrier: carrier.id, hidden: hidden.id });
      if (chosen[name] !== hidden || chosen.carrier !== carrier) return;
      const c = carrier.geometry;
      if (check.scaled) text += `; to be scaled into the carrier's ${c.width} × ${c.height} (${FIT_WORDS[fitChosen()]})`;
    }
    setStatus(name, text, 'ready');
  }
}

function encodeReady() {
  const slots = ['carrier', 'hidden1', 'hidden2'].map((name) => chosen[name]);
  return Boolean(chosen.carrier?.id) && slots.every((slot) => !slot || (slot.id && !slot.refusal));
}

async function encodeChanged() {
  await checkHiddenPictures();
  $('encode-button').disabled = !encodeReady();
}

const objectUrls = new Map();
function setDownload(link, blob) {
  if (objectUrls.has(link)) URL.revokeObjectURL(objectUrls.get(link));
  const url = URL.createObjectURL(blob);
  objectUrls.set(link, url);
  link.href = url;
}

const sentence = (text) => `${text[0].toUpperCase()}${text.slice(1)}`;

// The kit's report of what was stored where, and its notes of what was done to the pictures.
function encodeSummary({ notes, report, milliseconds }, build) {
  const done = notes.map((note) => ` ${sentence(note)}.`).join('');
  return `Done with ${build} in ${Math.round(milliseconds)} ms: ${report.join('; ')}.${done}`;
}

// The password typed in a field, or null when it is empty (the pictures are then not keyed).
function passwordIn(field) {
  const password = $(field).value;
  return password === '' ? null : password;
}

function setBusy(what, text) {
  $(`${what}-progress`).hidden = text === null;
  $(`${what}-message`).textContent = text ?? '';
}

async function encode() {
  if (!encodeReady()) return;
  const request = ++requests.encode;
  const build = document.querySelector('input[name=encode-build]:checked').value;
  $('encode-button').disabled = true;
  setBusy('encode', 'Starting…');
  try {
    const result = await work('encode', {
      carrier: chosen.carrier.id,
      hidden1: chosen.hidden1?.id ?? null,
      hidden2: chosen.hidden2?.id ?? null,
      build,
      fit: fitChosen(),
      password: passwordIn('encode-password'),
      outputs: ['bmp', 'png', 'preview'],
    }, (text) => request === requests.encode && setBusy('encode', `${text}…`));
    if (request !== requests.encode) return;
    const { coded } = result;
    drawInto($('carrier-view'), chosen.carrier.preview);
    drawInto($('coded-view'), coded.preview);
    setDownload($('coded-bmp'), new Blob([coded.bmp], { type: 'image/bmp' }));
    $('coded-png').hidden = !coded.png;
    if (coded.png) setDownload($('coded-png'), coded.png);
    $('encode-results').hidden = false;
    setBusy('encode', null);
    $('encode-message').textContent = encodeSummary(result, build);
  } catch (error) {
    if (request !== requests.encode) return;
    setBusy('encode', null);
    $('encode-message').textContent = `Nothing was hidden: ${error.message}.`;
  } finally {
    $('encode-button').disabled = !encodeReady();
  }
}

const TITLES = { 'hidden-1': 'Hidden picture 1', 'hidden-2': 'Hidden picture 2', revealed: 'The low bits, revealed' };
const FILE_NAMES = { 'hidden-1': 'hidden-1', 'hidden-2': 'hidden-2', revealed: 'out' };

function decodedFigure(picture) {
  const figure = document.createElement('figure');
  const canvas = document.createElement('canvas');
  canvas.setAttribute('role', 'img');
  canvas.setAttribute('aria-label', TITLES[picture.name]);
  drawInto(canvas, picture.preview);
  const caption = document.createElement('figcaption');
  caption.append(TITLES[picture.name]);
  const downloads = document.createElement('span');
  downloads.className = 'downloads';
  const stem = FILE_NAMES[picture.name];
  for (const [blob, extension] of [[picture.png, 'png'], [new Blob([picture.bmp], { type: 'image/bmp' }), 'bmp']]) {
    if (!blob) continue;
    const link = document.createElement('a');
    link.download = `${stem}.${extension}`;
    link.id = `${picture.name}-${extension}`;
    link.textContent = `Download ${extension.toUpperCase()}`;
    setDownload(link, blob);
    downloads.append(link);
  }
  caption.append(downloads);
  figure.append(canvas, caption);
  return figure;
}

function decodeSummary({ used, keyed, raw }) {
  const shown = raw ? ' Shown as the raw levels: the stored bits at full range.'
    : ' Reconstructed: the dither\'s grain filtered out.';
  return decodeWords({ used, keyed }) + shown;
}

// What was taken out, in the kit's words, and what of it was guessed from the picture.
function decodeWords({ used, keyed }) {
  if (keyed) return `Opened with the password: ${used.words}.`;
  const guessed = [];
  if ($('decode-build').value === '' && used.build) guessed.push('the build');
  if ($('decode-content').value === '') guessed.push('what it holds');
  if (!guessed.length) return `${sentence(used.words)}, as chosen.`;
  return `${sentence(used.words)}, guessed from the picture (${guessed.join(' and ')}): if a hidden picture ` +
    'looks like noise, choose the build and the content above.';
}

async function decode() {
  const request = ++requests.decode;
  const results = $('decode-results');
  const coded = chosen.coded;
  decodePasswordChanged();
  if (!coded?.id) {
    results.hidden = true;
    results.replaceChildren();
    setBusy('decode', null);
    return;
  }
  const chosenOrNull = (value) => (value === '' ? null : value);
  const outputs = ['bmp', 'png', 'preview'];
  const progress = (text) => request === requests.decode && setBusy('decode', `${text}…`);
  setBusy('decode', 'Starting…');
  results.setAttribute('aria-busy', 'true');
  try {
    const result = await work('extract', {
      coded: coded.id,
      build: chosenOrNull($('decode-build').value),
      content: chosenOrNull($('decode-content').value),
      password: passwordIn('decode-password'),
      raw: $('decode-reading').value === 'raw',
      outputs,
    }, progress);
    const revealed = await work('reveal', { picture: coded.id, outputs }, progress);
    if (request !== requests.decode) return;
    results.replaceChildren(...[...result.pictures, { name: 'revealed', ...revealed }].map(decodedFigure));
    results.hidden = false;
    results.setAttribute('aria-busy', 'false');
    setBusy('decode', null);
    $('decode-message').textContent = decodeSummary(result);
  } catch (error) {
    if (request !== requests.decode) return;
    // Nothing of an earlier picture stays on offer.
    results.hidden = true;
    results.replaceChildren();
    results.setAttribute('aria-busy', 'false');
    setBusy('decode', null);
    $('decode-message').textContent = `Nothing was taken out: ${error.message}.`;
  }
}

// A keyed picture says itself what it holds: the choices are set aside while a password is typed.
// The button takes a picture out with the password, so it needs both.
function decodePasswordChanged() {
  const keyed = passwordIn('decode-password') !== null;
  $('decode-build').disabled = keyed;
  $('decode-content').disabled = keyed;
  $('decode-button').disabled = !keyed || !chosen.coded?.id;
}

// Each show/hide button shows its password field's text, or hides it again.
for (const button of document.querySelectorAll('.show-password')) {
  button.addEventListener('click', () => {
    const field = $(button.getAttribute('aria-controls'));
    const shown = field.type === 'password';
    field.type = shown ? 'text' : 'password';
    button.textContent = shown ? 'Hide password' : 'Show password';
    button.setAttribute('aria-pressed', String(shown));
  });
}

for (const name of ['carrier', 'hidden1', 'hidden2']) setUpSlot(name, encodeChanged);
setUpSlot('coded', decode);
$('encode-button').addEventListener('click', encode);
$('decode-build').addEventListener('change', decode);
$('decode-content').addEventListener('change', decode);
$('decode-reading').addEventListener('change', decode);
for (const choice of document.querySelectorAll('input[name=encode-fit]')) choice.addEventListener('change', encodeChanged);
$('decode-password').addEventListener('input', decodePasswordChanged);
$('decode-key').addEventListener('submit', (event) => {
  event.preventDefault();
  decode();
});
// Dropping a file beside a slot must not make the browser leave the page to show it.
window.addEventListener('dragover', (event) => event.preventDefault());
window.addEventListener('drop', (event) => event.preventDefault());
document.body.dataset.ready = 'true';

// page.js: the page's controls. Pictures are chosen, dropped anywhere on the page, pasted or
// loaded from the samples into slots, read once by the worker, which holds them as the BMPs the
// engine works on, checked against each other, and then hidden in or taken out by the worker;
// the results are shown with their downloads, and what is being done, what was done or refused
// in the picture kit's words. The hide button writes the compact form unless the classic one is
// chosen; the kit chooses what the compact form gives up, and says so. A password, when one is
// typed, keys the hidden pictures (typed twice) or opens a keyed picture; it goes to the worker
// alone, where the kit derives the key.
import { work } from './vornhold.js';

const $ = (id) => document.getElementById(id);
const HIDING = ['carrier', 'hidden1', 'hidden2'];

// What each slot holds: the picture the worker holds ({id, geometry, source, note, preview}),
// the name it is shown by, and the reason it cannot be used, if any; {label, reading: true}
// while it is read.
const chosen = { carrier: null, hidden1: null, hidden2: null, coded: null };
const requests = { carrier: 0, hidden1: 0, hidden2: 0, coded: 0, encode: 0, decode: 0 };
const slotElement = (name) => document.querySelector(`[data-slot="${name}"]`);
const sentence = (text) => `${text[0].toUpperCase()}${text.slice(1)}`;

// ---- What each part says ---------------------------------------------------------------------
// A slot or a section shows what it is doing or did in its status (a section the kit's notes
// under it), and what went wrong apart, in its error (an alert); one clears the other.

const statusElement = (part) => $(`${part}-status`) ?? $(`${part}-message`);

function tell(part, text, kind = '') {
  const status = statusElement(part);
  status.textContent = text;
  status.className = `${status.classList.contains('message') ? 'message' : 'status'} ${kind}`;
  $(`${part}-error`).textContent = '';
  $(`${part}-notes`)?.replaceChildren();
}

function warn(part, text) {
  tell(part, '');
  $(`${part}-error`).textContent = text;
}

// Shows a section's progress: the kit's step in words, and a bar measured where the step can be
// counted (done from 0 to 1) or moving where it cannot (-1); null hides the bar.
function showProgress(part, progress) {
  const bar = $(`${part}-progress`);
  bar.hidden = progress === null;
  if (progress === null) return;
  if (progress.done >= 0) bar.value = progress.done;
  else bar.removeAttribute('value');
  tell(part, `${sentence(progress.step)}…`, 'busy');
}

// Lists the kit's notes of what was done, guessed or found under a section's message, as
// sentences: one that begins with a file's name keeps the name as it is.
function showNotes(part, notes, names = []) {
  $(`${part}-notes`).replaceChildren(...notes.map((note) => {
    const item = document.createElement('li');
    const named = names.some((name) => name && note.startsWith(`${name}: `));
    item.textContent = `${named ? note : sentence(note)}.`;
    return item;
  }));
}

const took = (milliseconds) => (milliseconds < 1000 ? `${Math.round(milliseconds)} ms` : `${(milliseconds / 1000).toFixed(1)} s`);

// ---- Slots -------------------------------------------------------------------------------------

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

function describe({ label, geometry, note }) {
  return `${label}: ${geometry.width} × ${geometry.height} pixels${note ? `; ${note}` : ''}`;
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
  delete slot.dataset.source;
  showThumbnail(name, null);
  tell(name, '');
}

// A picture pasted as image data has no file name: browsers give it this one.
const PASTED_NAME = 'image.png';

// Reads `file` into slot `name`. A pasted picture is shown as "Pasted picture", and its
// downloads are named as the kit names those of a picture without a file name.
async function takeFile(name, file, { pasted = false } = {}) {
  const request = ++requests[name];
  const slot = slotElement(name);
  const nameless = pasted && file.name === PASTED_NAME;
  const label = nameless ? 'Pasted picture' : file.name;
  const given = nameless ? new File([file], '', { type: file.type }) : file;
  release(chosen[name], name);
  chosen[name] = { label, reading: true };
  showThumbnail(name, null);
  delete slot.dataset.source;
  slot.querySelector('input[type=file]').value = '';
  tell(name, `Reading ${label}…`, 'busy');
  slot.querySelector('.remove').hidden = false;
  try {
    const prepared = await work('hold', { file: given, role: name === 'coded' ? 'coded' : 'source', name: nameless ? 'pasted picture' : file.name },
      ({ step }) => request === requests[name] && tell(name, `${sentence(step)}…`, 'busy'));
    if (request !== requests[name]) {
      release(prepared);
      return;
    }
    chosen[name] = { ...prepared, label, refusal: null };
    slot.dataset.source = prepared.source;
    showThumbnail(name, prepared.preview);
    tell(name, describe(chosen[name]), 'ready');
  } catch (error) {
    if (request !== requests[name]) return;
    chosen[name] = { label, refusal: error.message };
    warn(name, `${label} cannot be used: ${error.message}.`);
  }
}

const changed = (name) => (name === 'coded' ? decode() : encodeChanged());

// Wires a slot's file input and remove button.
function setUpSlot(name) {
  const slot = slotElement(name);
  const input = slot.querySelector('input[type=file]');
  input.addEventListener('change', async () => {
    if (!input.files.length) return;
    await takeFile(name, input.files[0]);
    await changed(name);
  });
  slot.querySelector('.remove').addEventListener('click', () => {
    clearSlot(name);
    input.focus();
    changed(name);
  });
}

// ---- Dropping, pasting and the samples -----------------------------------------------------------

// The section last worked in, where a paste or a drop outside both sections goes.
let workingIn = 'encode';
for (const type of ['focusin', 'pointerdown']) {
  document.addEventListener(type, (event) => {
    const section = event.target.closest?.('section');
    if (section) workingIn = section.id;
  });
}

// The slots `count` files dropped or pasted at `target` go into: a slot they land on, then the
// empty hiding slots after it; in the take-out section, the coded picture; elsewhere the hiding
// slots not holding a picture, the carrier first.
function slotsFor(target, count) {
  const slot = target?.closest?.('[data-slot]')?.dataset.slot;
  const section = target?.closest?.('section')?.id ?? workingIn;
  if (slot === 'coded' || (!slot && section === 'decode')) return ['coded'];
  const free = HIDING.filter((name) => !chosen[name] || chosen[name].refusal);
  const after = slot ? [slot, ...free.filter((name) => HIDING.indexOf(name) > HIDING.indexOf(slot))] : free;
  return after.slice(0, count);
}

async function takeFiles(target, files, options) {
  if (!files.length) return;
  const names = slotsFor(target, files.length);
  if (!names.length) {
    warn('encode', 'Every box holds a picture: drop the new one on the box whose picture it replaces.');
    return;
  }
  await Promise.all(names.map(async (name, i) => {
    await takeFile(name, files[i], options);
    await changed(name);
  }));
}

function markDropping(names) {
  for (const slot of document.querySelectorAll('[data-slot]')) slot.classList.toggle('dropping', names.includes(slot.dataset.slot));
}

// Files dropped anywhere are the page's to take (the browser would leave the page to show them);
// other drags, such as text into a field, keep their usual way.
const carriesFiles = (event) => Boolean(event.dataTransfer?.types.includes('Files'));
window.addEventListener('dragover', (event) => {
  if (!carriesFiles(event)) return;
  event.preventDefault();
  event.dataTransfer.dropEffect = 'copy';
  markDropping(slotsFor(event.target, event.dataTransfer.items.length || 1));
});
window.addEventListener('dragleave', (event) => {
  if (!event.relatedTarget) markDropping([]);
});
window.addEventListener('drop', (event) => {
  if (!carriesFiles(event)) return;
  event.preventDefault();
  markDropping([]);
  takeFiles(event.target, [...event.dataTransfer.files]);
});

// Ctrl+V with a picture on the clipboard puts it where the focus is, as a drop there would.
document.addEventListener('paste', (event) => {
  const files = [...(event.clipboardData?.files ?? [])];
  if (!files.length) return;
  event.preventDefault();
  takeFiles(document.activeElement === document.body ? null : document.activeElement, files, { pasted: true });
});

// The samples README shows: the carrier and both hidden pictures.
const SAMPLES = [['carrier', 'samples/main.png'], ['hidden1', 'samples/hidden-1.png'], ['hidden2', 'samples/hidden-2.png']];

async function trySamples() {
  let files;
  try {
    files = await Promise.all(SAMPLES.map(async ([, path]) => {
      const response = await fetch(path);
      if (!response.ok) throw new Error(`${path}: ${response.status} ${response.statusText}`);
      return new File([await response.blob()], path.slice(path.lastIndexOf('/') + 1), { type: 'image/png' });
    }));
  } catch (error) {
    warn('encode', `The sample pictures could not be loaded (${error.message}).`);
    return;
  }
  await Promise.all(SAMPLES.map(([name], i) => takeFile(name, files[i])));
  await encodeChanged();
}

// ---- Hiding ------------------------------------------------------------------------------------

// In the classic form a hidden picture of another size than the carrier is scaled into its
// frame: the slot says so. The compact form keeps each at its own size.
const FIT_WORDS = { contain: 'whole, centred', cover: 'filling it, cropped around the centre', stretch: 'stretched' };
const fitChosen = () => document.querySelector('input[name=encode-fit]:checked').value;
const formChosen = () => document.querySelector('input[name=encode-hiding]:checked').value;

// The options of the form not chosen are set aside: build and fit are the classic form's, the
// carrier bits the compact form's.
function formChanged() {
  const classic = formChosen() === 'classic';
  $('classic-options').disabled = !classic;
  $('encode-carrier-bits').disabled = formChosen() !== 'compact';
  encodeChanged();
}

async function checkHiddenPictures() {
  const carrier = chosen.carrier?.id ? chosen.carrier : null;
  for (const name of ['hidden1', 'hidden2']) {
    const hidden = chosen[name];
    if (!hidden?.id) continue;
    hidden.refusal = null;
    let text = describe(hidden);
    if (carrier) {
      const check = await work('checkHidden', { carrier: carrier.id, hidden: hidden.id });
      if (chosen[name] !== hidden || chosen.carrier !== carrier) return;
      const c = carrier.geometry;
      if (check.scaled && formChosen() === 'classic') text += `; it will be scaled to fit ${c.width} × ${c.height} (${FIT_WORDS[fitChosen()]})`;
    }
    tell(name, text, 'ready');
  }
}

function encodeReady() {
  const slots = HIDING.map((name) => chosen[name]);
  return Boolean(chosen.carrier?.id) && slots.every((slot) => !slot || (slot.id && !slot.refusal));
}

async function encodeChanged() {
  await checkHiddenPictures();
  $('encode-button').disabled = !encodeReady();
}

const objectUrls = new Map();

// Offers `blob` through `link` as the file the kit named ({name, size}).
function offer(link, blob, file) {
  if (objectUrls.has(link)) URL.revokeObjectURL(objectUrls.get(link));
  const url = URL.createObjectURL(blob);
  objectUrls.set(link, url);
  link.href = url;
  link.download = file.name;
  link.textContent = `${file.name} (${file.size})`;
}

// The password typed in a field, or null when it is empty (the pictures are then not keyed).
function passwordIn(field) {
  const password = $(field).value;
  return password === '' ? null : password;
}

async function encode() {
  if (!encodeReady()) return;
  const request = ++requests.encode;
  const build = document.querySelector('input[name=encode-build]:checked').value;
  $('encode-button').disabled = true;
  showProgress('encode', { step: 'starting', done: -1 });
  try {
    const result = await work('encode', {
      carrier: chosen.carrier.id,
      hidden1: chosen.hidden1?.id ?? null,
      hidden2: chosen.hidden2?.id ?? null,
      form: formChosen(),
      carrierBits: formChosen() === 'stealth' ? 0 : Number($('encode-carrier-bits').value),
      build,
      fit: fitChosen(),
      password: passwordIn('encode-password'),
      confirmation: $('encode-password-again').value,
      outputs: ['bmp', 'png', 'preview'],
    }, (progress) => request === requests.encode && showProgress('encode', progress));
    if (request !== requests.encode) return;
    const { coded, notes, report, milliseconds } = result;
    drawInto($('carrier-view'), chosen.carrier.preview);
    drawInto($('coded-view'), coded.preview);
    drawInto($('compare-before'), chosen.carrier.preview);
    drawInto($('compare-after'), coded.preview);
    offer($('coded-bmp'), new Blob([coded.bmp], { type: 'image/bmp' }), coded.files.bmp);
    $('coded-png').hidden = !coded.png;
    if (coded.png) offer($('coded-png'), coded.png, coded.files.png);
    $('encode-report-lines').replaceChildren(...report.map((line) => {
      const item = document.createElement('li');
      item.textContent = sentence(line);
      return item;
    }));
    $('encode-results').hidden = false;
    showProgress('encode', null);
    const names = HIDING.map((name) => chosen[name]?.label);
    tell('encode', `Done in ${took(milliseconds)}.`);
    showNotes('encode', notes, names);
  } catch (error) {
    if (request !== requests.encode) return;
    // Nothing of an earlier hiding stays on offer beside the refusal.
    $('encode-results').hidden = true;
    showProgress('encode', null);
    warn('encode', `Nothing was hidden: ${error.message}.`);
  } finally {
    $('encode-button').disabled = !encodeReady();
  }
}

// ---- Taking out --------------------------------------------------------------------------------

const TITLES = { 'hidden-1': 'Hidden picture 1', 'hidden-2': 'Hidden picture 2', revealed: 'The low bits, revealed' };

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
  downloads.append('Download:');
  for (const [blob, format] of [[picture.png, 'png'], [new Blob([picture.bmp], { type: 'image/bmp' }), 'bmp']]) {
    if (!blob) continue;
    const link = document.createElement('a');
    link.id = `${picture.name}-${format}`;
    offer(link, blob, picture.files[format]);
    downloads.append(link);
  }
  caption.append(downloads);
  figure.append(canvas, caption);
  return figure;
}

const HOLDS_WORDS = { 1: 'hidden picture 1', 2: 'hidden picture 2', 12: 'hidden pictures 1 and 2' };

// What was taken out, in the kit's words; a compact picture says what it held and its k.
function decodeSummary({ used, keyed, compact, carrierBits, raw, pictures }) {
  if (compact) {
    const held = HOLDS_WORDS[pictures.map((picture) => picture.which).join('')];
    // A stealth picture (hard to detect) takes no whole low bits: its k is 0.
    const bits = carrierBits === 0 ? 'hard to detect' : `${carrierBits} low bit${carrierBits === 1 ? '' : 's'}`;
    return `${keyed ? 'Opened with the password: a' : 'A'} compact picture (${bits}) holding ${held}, each at its own size.`;
  }
  const what = keyed ? `Opened with the password: ${used.words}.` : `${sentence(used.words)}.`;
  const shown = raw ? ' Shown as the raw levels: the stored bits at full range.'
    : ' Reconstructed: the dither\'s grain filtered out.';
  return what + shown;
}

function clearDecodeResults() {
  const results = $('decode-results');
  results.hidden = true;
  $('decode-figures').replaceChildren();
  results.setAttribute('aria-busy', 'false');
}

async function decode() {
  const request = ++requests.decode;
  const results = $('decode-results');
  const coded = chosen.coded;
  decodePasswordChanged();
  if (!coded?.id) {
    clearDecodeResults();
    showProgress('decode', null);
    tell('decode', '');
    return;
  }
  const keyed = passwordIn('decode-password') !== null;
  // A keyed picture says itself what it holds: the choices are not given with a password.
  const chosenOrNull = (id) => (keyed || $(id).value === '' ? null : $(id).value);
  const outputs = ['bmp', 'png', 'preview'];
  const progress = (report) => request === requests.decode && showProgress('decode', report);
  showProgress('decode', { step: 'starting', done: -1 });
  results.setAttribute('aria-busy', 'true');
  try {
    const result = await work('extract', {
      coded: coded.id,
      build: chosenOrNull('decode-build'),
      content: chosenOrNull('decode-content'),
      password: passwordIn('decode-password'),
      raw: $('decode-reading').value === 'raw',
      outputs,
    }, progress);
    const revealed = await work('reveal', { picture: coded.id, outputs }, progress);
    if (request !== requests.decode) return;
    $('decode-figures').replaceChildren(...[...result.pictures, { name: 'revealed', ...revealed }].map(decodedFigure));
    results.hidden = false;
    results.setAttribute('aria-busy', 'false');
    showProgress('decode', null);
    tell('decode', decodeSummary(result));
    showNotes('decode', result.notes, [coded.label]);
  } catch (error) {
    if (request !== requests.decode) return;
    // Nothing of an earlier picture stays on offer.
    clearDecodeResults();
    showProgress('decode', null);
    warn('decode', `Nothing was taken out: ${error.message}.`);
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

// ---- Wiring ------------------------------------------------------------------------------------

// Each show/hide button shows its password fields' text, or hides it again.
for (const button of document.querySelectorAll('.show-password')) {
  button.addEventListener('click', () => {
    const fields = button.getAttribute('aria-controls').split(' ').map($);
    const shown = fields[0].type === 'password';
    for (const field of fields) field.type = shown ? 'text' : 'password';
    button.textContent = shown ? 'Hide password' : 'Show password';
    button.setAttribute('aria-pressed', String(shown));
  });
}

for (const name of [...HIDING, 'coded']) setUpSlot(name);
$('samples-button').addEventListener('click', trySamples);
// The hide button submits the form, as Enter in either password field does.
$('encode-form').addEventListener('submit', (event) => {
  event.preventDefault();
  encode();
});
for (const choice of document.querySelectorAll('input[name=encode-fit]')) choice.addEventListener('change', encodeChanged);
for (const choice of document.querySelectorAll('input[name=encode-hiding]')) choice.addEventListener('change', formChanged);
formChanged();
for (const id of ['decode-build', 'decode-content', 'decode-reading']) $(id).addEventListener('change', decode);
$('decode-password').addEventListener('input', decodePasswordChanged);
// The before-and-after view: the slider sets how much of the carrier shows over the coded picture.
$('compare-split').addEventListener('input', (event) => {
  $('compare').style.setProperty('--split', `${event.target.value}%`);
});
$('decode-key').addEventListener('submit', (event) => {
  event.preventDefault();
  decode();
});

// The page works offline once loaded: a service worker keeps its files. Where one cannot be
// registered (a page opened from a file), the page works as before, online.
if ('serviceWorker' in navigator && window.isSecureContext) {
  navigator.serviceWorker.register('sw.js').catch(() => {});
}
document.body.dataset.ready = 'true';

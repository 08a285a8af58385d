// worker.js: runs the picture kit off the page's thread, so that the page stays responsive while
// a large picture is worked on. One set of operations serves the page and window.vornhold alike.
// The worker only carries: every decision (how a picture is read, fitted, keyed, which layout a
// coded picture holds, what a download is called) and every refusal is the kit's, in the kit's
// words.
//
// A request is {id, operation, args}; the answer is {id, result} or {id, error, code}, and
// {id, progress: {step, done}} messages may come before it: the kit's step in words, and how far
// it is, from 0 to 1, or -1 where it cannot be counted. Results hand their buffers over rather
// than copying them.
//
// A picture argument is file bytes (a Uint8Array or a File), read as vorn reads its inputs, or
// the number of a picture held from an earlier `hold`, which stays inside the module until it
// is released. Builds, contents and fits are the kit's words ('vornhold2', 'vornhold'; 'hidden1',
// 'hidden2', 'both'; 'contain', 'cover', 'stretch'). `outputs` lists what to give back of each
// resulting picture: 'bmp' (its file image), 'png' (a Blob written as vorn writes PNG) and
// 'preview' (an ImageBitmap); png and preview are null for a picture without pixels. With bmp
// or png, `files` gives the download the page offers of each, {name, size}: named by the kit
// after the file the picture came from, its size in the kit's words.
//
// A `password` (a string) makes encode write a keyed picture and extract open one, as vorn does:
// it goes to the kit as the UTF-8 of what was typed, and the kit normalises it, derives the key
// and draws the salt.
import { loadEngine } from './engine.js';
import { decodeWithBrowser, previewOf } from './pictures.js';

const enginePromise = loadEngine();
const held = new Map();
let nextHeld = 1;

// Reads file bytes as vorn does: {buffer, name, from, geometry, source, note}, source being 'bmp'
// (a BMP used as it stands), 'vorn' (decoded by the kit's readers) or 'browser' (a carrier or
// hidden picture in a format the kit does not read, which the browser decodes); the note says
// what reading left out, in the kit's words ('' when nothing). `name` begins the kit's texts
// about the picture; `from` is the file name downloads are named after ('' for none).
async function readPicture(engine, file, role, name, progress, from = '') {
  const bytes = file instanceof Uint8Array ? file : new Uint8Array(await file.arrayBuffer());
  const buffer = engine.bufferOf(bytes);
  try {
    const { asIs, note } = engine.read(buffer, role, name, progress);
    return { buffer, name, from, geometry: engine.geometry(buffer), source: asIs ? 'bmp' : 'vorn', note };
  } catch (refusal) {
    buffer.free();
    if (!refusal.otherFormat || role !== 'source') throw refusal;
    const pixels = await decodeWithBrowser(new Blob([bytes]));
    if (!pixels) throw refusal;
    const decoded = engine.bufferOfRgba(pixels.rgba, pixels.width, pixels.height, name, pixels.alphaDropped);
    return { buffer: decoded.buffer, name, from, geometry: engine.geometry(decoded.buffer), source: 'browser', note: decoded.note };
  }
}

// The bytes of a password as typed. A lone surrogate (a JavaScript string need not be Unicode)
// is written as its own three bytes, which are not UTF-8, so that the kit refuses it as it
// refuses any password that is not UTF-8 text.
function passwordBytes(password) {
  if (typeof password !== 'string') throw new Error('the password must be a string');
  const threeBytes = (unit) => [0xe0 | (unit >> 12), 0x80 | ((unit >> 6) & 0x3f), 0x80 | (unit & 0x3f)];
  return Uint8Array.from(password.split(/(\p{Surrogate})/u)
    .flatMap((part, i) => (i % 2 === 0 ? [...new TextEncoder().encode(part)] : threeBytes(part.charCodeAt(0)))));
}

function heldPicture(id, name) {
  const picture = held.get(id);
  if (!picture) throw new Error(`${name}: no picture is held as ${id}`);
  return picture;
}

// A picture argument as a buffer of the caller's own, to free: a held picture is copied inside
// the module, since every operation works on it in place or gives it to the kit, and stays held.
// Texts about it begin with `name`, or a held picture's own name.
async function pictureOf(engine, value, role, name, progress) {
  if (typeof value !== 'number') return readPicture(engine, value, role, name, progress, value.name ?? '');
  const picture = heldPicture(value, name);
  return { ...picture, buffer: engine.copy(picture.buffer) };
}

// Runs body(use) and frees every picture that use(picture) was given, whatever happens.
async function withPictures(body) {
  const taken = [];
  try {
    return await body((picture) => {
      if (picture) taken.push(picture);
      return picture;
    });
  } finally {
    for (const picture of taken) picture.buffer.free();
  }
}

// The outputs asked for of a picture of this geometry; a PNG is written as the kit writes a
// picture of its `kind`: 'coded', 'decoded' (raw levels, revealed pictures) or 'reconstructed'.
// With an `offer` ({from, what}: the file the picture came from and the kit's word for what it
// is), `files` names the downloads; the PNG is named so in the kit's progress reports too. The
// PNG comes last: writing it lets go of the picture's buffer.
function outputsOf(engine, buffer, geometry, outputs, transfer, { kind = 'decoded', offer = null, progress = null } = {}) {
  const result = {};
  const offered = (format, size) => engine.offeredFile(offer.from, offer.what, format, size);
  if (offer && (outputs.includes('bmp') || outputs.includes('png'))) result.files = {};
  const empty = geometry.width === 0 || geometry.height === 0;
  if (outputs.includes('bmp')) {
    result.bmp = engine.bytesOf(buffer);
    transfer.push(result.bmp.buffer);
    if (offer) result.files.bmp = offered('bmp', result.bmp.length);
  }
  if (outputs.includes('preview')) {
    result.preview = null;
    if (!empty) {
      const rgba = engine.rgbaOf(buffer);
      try {
        result.preview = previewOf(engine.viewOf(rgba), geometry.width, geometry.height);
      } finally {
        rgba.free();
      }
      transfer.push(result.preview);
    }
  }
  if (outputs.includes('png')) {
    result.png = null;
    if (!empty) {
      const name = offer ? offered('png', 0).name : 'PNG';
      const png = engine.pngOf(buffer, kind, name, progress);
      try {
        result.png = new Blob([engine.viewOf(png)], { type: 'image/png' });
      } finally {
        png.free();
      }
      if (offer) result.files.png = offered('png', result.png.size);
    }
  }
  return result;
}

const operations = {
  // Reads a file once and keeps it for later operations: {id, geometry, source, note, preview}.
  // role is 'source' (a carrier or hidden picture) or 'coded'; `name` names the picture in the
  // kit's texts (the file's name when not given), and downloads are named after the file's name.
  async hold(engine, { file, role = 'source', name = file.name ?? 'picture' }, progress) {
    // The page names the file itself.
    const unnamed = (text) => (text.startsWith(`${name}: `) ? text.slice(name.length + 2) : text);
    const picture = await readPicture(engine, file, role, name, progress, file.name ?? '').catch((error) => {
      error.message = unnamed(error.message);
      throw error;
    });
    const id = nextHeld++;
    held.set(id, picture);
    const transfer = [];
    const { preview } = outputsOf(engine, picture.buffer, picture.geometry, ['preview'], transfer);
    const { geometry, source } = picture;
    return { result: { id, geometry, source, note: unnamed(picture.note), preview }, transfer };
  },

  release(engine, { id }) {
    held.get(id)?.buffer.free();
    held.delete(id);
    return { result: null, transfer: [] };
  },

  // Whether held hidden picture `hidden` is to be scaled into held carrier `carrier`'s frame,
  // which the page says beside it: {scaled}, true when its size is not the carrier's.
  checkHidden(engine, { carrier, hidden }) {
    const frame = heldPicture(carrier, 'carrier').geometry;
    const { geometry } = heldPicture(hidden, 'hidden');
    return { result: { scaled: geometry.width !== frame.width || geometry.height !== frame.height }, transfer: [] };
  },

  // {coded: outputs, notes, report, compact, carrierBits, milliseconds}: the kit hides the hidden
  // pictures (either may be null) in the carrier in the `form` given: 'classic' (the programs'
  // layouts, fitting a picture of another size as `fit` says, in `build`'s bit order) or
  // 'compact' (each picture at its own size, in `carrierBits` low bits, 0 letting the kit
  // choose). `notes` says what was done to the inputs (what scaling did, how a compact picture
  // stores each one and what the carrier keeps), `report` what was stored where, in the kit's
  // words; `compact` and `carrierBits` what it wrote. With a password the picture is keyed; a
  // `confirmation` (the password typed again, '' for none) must match it, as the kit judges.
  // Every encoding draws its own salt.
  async encode(engine, { carrier, hidden1, hidden2, form = 'classic', carrierBits = 0, build, fit = 'contain', password = null, confirmation = null, outputs = ['bmp'] }, progress) {
    const keyed = password !== null;
    engine.checkHide({ form, carrierBits, build, fit, hidden1: hidden1 != null, hidden2: hidden2 != null, keyed });
    if (confirmation !== null) engine.checkTypedTwice(passwordBytes(password ?? ''), passwordBytes(confirmation));
    const secret = keyed ? passwordBytes(password) : null;
    return withPictures(async (use) => {
      const image = use(await pictureOf(engine, carrier, 'source', 'carrier', progress));
      const h1 = hidden1 == null ? null : use(await pictureOf(engine, hidden1, 'source', 'hidden1', progress));
      const h2 = hidden2 == null ? null : use(await pictureOf(engine, hidden2, 'source', 'hidden2', progress));
      const started = performance.now();
      const { notes, report, compact, carrierBits: k } = engine.hide({ carrier: image, hidden1: h1, hidden2: h2, form,
        carrierBits, build, fit, password: secret, progress });
      const milliseconds = performance.now() - started;
      const transfer = [];
      const coded = outputsOf(engine, image.buffer, engine.geometry(image.buffer), outputs, transfer,
        { kind: 'coded', offer: { from: image.from, what: 'coded' }, progress });
      return { result: { coded, notes, report, compact, carrierBits: k, milliseconds }, transfer };
    }).finally(() => secret?.fill(0));
  },

  // The programs' decoding: {decoded1, decoded2}, each the outputs asked for.
  async decode(engine, { coded, build, outputs = ['bmp'] }, progress) {
    return withPictures(async (use) => {
      const picture = use(await pictureOf(engine, coded, 'coded', 'coded', progress));
      const decoded1 = use({ buffer: engine.programDecode(picture.buffer, picture.name, build) });
      const transfer = [];
      const result = {
        decoded1: outputsOf(engine, decoded1.buffer, picture.geometry, outputs, transfer),
        decoded2: outputsOf(engine, picture.buffer, picture.geometry, outputs, transfer),
      };
      return { result, transfer };
    });
  },

  // Each hidden picture on its own: {used, notes, keyed, compact, carrierBits, raw, pictures},
  // each picture {name: 'hidden-N', which, geometry, ...outputs}, reconstructed as vorn decode
  // writes it (the tones its levels stand for, the dither's grain filtered out), or with `raw` its
  // stored levels at full range as vorn decode --raw writes them. The kit takes them out as vorn
  // decode does: a compact picture first (`compact`, its pictures at their own sizes, with its
  // k), then from the build and content given (null: guessed from the picture) or refusing; with
  // a password, a compact or keyed picture opened (`keyed`), or a classic one taken out all the
  // same. `used` is {build, content, words}, build null where both builds lay the picture out
  // alike, all null ('' words) for a compact picture; `notes` are the kit's, of what was guessed
  // or found.
  async extract(engine, { coded, build = null, content = null, password = null, raw = false, outputs = ['bmp'] }, progress) {
    const secret = password === null ? null : passwordBytes(password);
    return withPictures(async (use) => {
      // The kit takes the picture: a held one is copied.
      const picture = use(await pictureOf(engine, coded, 'coded', 'coded', progress));
      const found = engine.decode(picture.buffer, picture.name, { build, content, password: secret, raw, progress });
      found.pictures.forEach((buffer) => use({ buffer }));
      const transfer = [];
      const kind = raw ? 'decoded' : 'reconstructed';
      const pictures = found.holds.map((which) => {
        const buffer = found.pictures[which - 1];
        // A compact picture's hidden pictures keep their own sizes.
        const geometry = found.compact ? engine.geometry(buffer) : picture.geometry;
        return {
          name: `hidden-${which}`,
          which,
          geometry,
          ...outputsOf(engine, buffer, geometry, outputs, transfer,
            { kind, offer: { from: picture.from, what: `hidden-${which}` }, progress }),
        };
      });
      const used = { build: found.build, content: found.content, words: found.words };
      const { keyed, compact, carrierBits } = found;
      return { result: { used, notes: found.notes, keyed, compact, carrierBits, raw, pictures }, transfer };
    }).finally(() => secret?.fill(0));
  },

  // The low bits moved to the top. With `filter`, a BMP's bytes are revealed as they stand, as
  // the reveal filter does (whatever their header says); otherwise the picture is read first.
  async reveal(engine, { picture, filter = false, outputs = ['bmp'] }, progress) {
    return withPictures(async (use) => {
      const isBmp = picture instanceof Uint8Array && picture[0] === 0x42 && picture[1] === 0x4d;
      const taken = filter && isBmp
        ? use({ buffer: engine.bufferOf(picture), name: 'picture', from: '', geometry: { width: 0, height: 0 } })
        : use(await pictureOf(engine, picture, 'coded', 'picture', progress));
      engine.reveal(taken.buffer, taken.name);
      const transfer = [];
      const offer = { from: taken.from, what: 'revealed' };
      return { result: outputsOf(engine, taken.buffer, taken.geometry, outputs, transfer, { offer, progress }), transfer };
    });
  },

  // How many times picture bytes crossed into and out of the module so far.
  crossings(engine) {
    return { result: { ...engine.crossings }, transfer: [] };
  },
};

onmessage = async ({ data: { id, operation, args } }) => {
  const progress = (step, done = -1) => postMessage({ id, progress: { step, done } });
  try {
    const engine = await enginePromise;
    if (!(operation in operations)) throw new Error(`unknown operation "${operation}"`);
    const { result, transfer } = await operations[operation](engine, args, progress);
    postMessage({ id, result }, transfer);
  } catch (error) {
    postMessage({ id, error: error.message, code: error.code ?? null });
  }
};

// worker.js: runs the picture kit off the page's thread, so that the page stays responsive while
// a large picture is worked on. One set of operations serves the page and window.vornhold alike.
// The worker only carries: every decision (how a picture is read, fitted, keyed, which layout a
// coded picture holds) and every refusal is the kit's, in the kit's words.
//
// A request is {id, operation, args}; the answer is {id, result} or {id, error, code}, and
// {id, progress} messages may come before it. Results hand their buffers over rather than
// copying them.
//
// A picture argument is file bytes (a Uint8Array or a File), read as vorn reads its inputs, or
// the number of a picture held from an earlier `hold`, which stays inside the module until it
// is released. Builds, contents and fits are the kit's words ('vornhold2', 'vornhold'; 'hidden1',
// 'hidden2', 'both'; 'contain', 'cover', 'stretch'). `outputs` lists what to give back of each
// resulting picture: 'bmp' (its file image), 'png' (a Blob written as vorn writes PNG) and
// 'preview' (an ImageBitmap); png and preview are null for a picture without pixels.
//
// A `password` (a string) makes encode write a keyed picture and extract open one, as vorn does:
// it goes to the kit as the UTF-8 of what was typed, and the kit normalises it, derives the key
// and draws the salt.
import { loadEngine } from './engine.js';
import { decodeWithBrowser, previewOf } from './pictures.js';

const enginePromise = loadEngine();
const held = new Map();
let nextHeld = 1;

// Reads file bytes as vorn does: {buffer, geometry, source, alphaDropped}, source being 'bmp'
// (a BMP used as it stands), 'vorn' (decoded by the kit's readers) or 'browser' (a carrier or
// hidden picture in a format the kit does not read, which the browser decodes).
async function readPicture(engine, file, role, name, progress) {
  const bytes = file instanceof Uint8Array ? file : new Uint8Array(await file.arrayBuffer());
  progress('Reading the picture');
  const buffer = engine.bufferOf(bytes);
  try {
    const { asIs, alphaDropped } = engine.read(buffer, role, name);
    return { buffer, name, geometry: engine.geometry(buffer), source: asIs ? 'bmp' : 'vorn', alphaDropped };
  } catch (refusal) {
    buffer.free();
    if (!refusal.otherFormat || role !== 'source') throw refusal;
    progress('Decoding the picture');
    const pixels = await decodeWithBrowser(new Blob([bytes]));
    if (!pixels) throw refusal;
    const decoded = engine.bufferOfRgba(pixels.rgba, pixels.width, pixels.height);
    return { buffer: decoded, name, geometry: engine.geometry(decoded), source: 'browser', alphaDropped: pixels.alphaDropped };
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

// A picture argument as a buffer of the caller's own, to free (unless it is `borrowed`): a held
// picture is copied inside the module when the caller works on it in place (`changes`), and
// stays held either way. Texts about it begin with `name`, or a held picture's file name.
async function pictureOf(engine, value, role, name, progress, { changes = true } = {}) {
  if (typeof value !== 'number') return readPicture(engine, value, role, name, progress);
  const picture = heldPicture(value, name);
  return changes ? { ...picture, buffer: engine.copy(picture.buffer) } : { ...picture, borrowed: true };
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
    for (const picture of taken) if (!picture.borrowed) picture.buffer.free();
  }
}

// The outputs asked for of a picture of this geometry; a PNG is written as the kit writes a
// picture of its kind: 'coded', 'decoded' (raw levels, revealed pictures) or 'reconstructed'. The
// PNG comes last: writing it lets go of the picture's buffer.
function outputsOf(engine, buffer, geometry, outputs, transfer, kind = 'decoded') {
  const result = {};
  const empty = geometry.width === 0 || geometry.height === 0;
  if (outputs.includes('bmp')) {
    result.bmp = engine.bytesOf(buffer);
    transfer.push(result.bmp.buffer);
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
      const png = engine.pngOf(buffer, kind);
      try {
        result.png = new Blob([engine.viewOf(png)], { type: 'image/png' });
      } finally {
        png.free();
      }
    }
  }
  return result;
}

const operations = {
  // Reads a file once and keeps it for later operations: {id, geometry, source, alphaDropped,
  // preview}. role is 'source' (a carrier or hidden picture) or 'coded'.
  async hold(engine, { file, role = 'source' }, progress) {
    const name = file.name ?? 'picture';
    const picture = await readPicture(engine, file, role, name, progress).catch((error) => {
      // The page names the file itself.
      if (error.message.startsWith(`${name}: `)) error.message = error.message.slice(name.length + 2);
      throw error;
    });
    const id = nextHeld++;
    held.set(id, picture);
    const transfer = [];
    const { preview } = outputsOf(engine, picture.buffer, picture.geometry, ['preview'], transfer);
    const { geometry, source, alphaDropped } = picture;
    return { result: { id, geometry, source, alphaDropped, preview }, transfer };
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

  // {coded: outputs, notes, report, milliseconds}: the kit hides the hidden pictures (either may
  // be null) in the carrier, fitting one of another size as `fit` says. `notes` says what was
  // done to the inputs (what scaling did), `report` what was stored where, in the kit's words.
  // With a password the picture is keyed. `salt` is for the tests alone: the page and
  // window.vornhold never give one, so that every encoding draws its own.
  async encode(engine, { carrier, hidden1, hidden2, build, fit = 'contain', password = null, salt = null, outputs = ['bmp'] }, progress) {
    const keyed = password !== null;
    engine.checkHide({ build, fit, hidden1: hidden1 != null, hidden2: hidden2 != null, keyed });
    const secret = keyed ? passwordBytes(password) : null;
    return withPictures(async (use) => {
      const image = use(await pictureOf(engine, carrier, 'source', 'carrier', progress));
      const h1 = hidden1 == null ? null : use(await pictureOf(engine, hidden1, 'source', 'hidden1', progress));
      const h2 = hidden2 == null ? null : use(await pictureOf(engine, hidden2, 'source', 'hidden2', progress));
      progress(keyed ? 'Deriving the key from the password' : 'Hiding the pictures');
      const started = performance.now();
      const { notes, report } = engine.hide({ carrier: image, hidden1: h1, hidden2: h2, build, fit, password: secret, salt });
      const milliseconds = performance.now() - started;
      progress('Writing the coded picture');
      const transfer = [];
      const coded = outputsOf(engine, image.buffer, engine.geometry(image.buffer), outputs, transfer, 'coded');
      return { result: { coded, notes, report, milliseconds }, transfer };
    }).finally(() => secret?.fill(0));
  },

  // The programs' decoding: {decoded1, decoded2}, each the outputs asked for.
  async decode(engine, { coded, build, outputs = ['bmp'] }, progress) {
    return withPictures(async (use) => {
      const picture = use(await pictureOf(engine, coded, 'coded', 'coded', progress));
      progress('Decoding');
      const decoded1 = use({ buffer: engine.programDecode(picture.buffer, picture.name, build) });
      const transfer = [];
      const result = {
        decoded1: outputsOf(engine, decoded1.buffer, picture.geometry, outputs, transfer),
        decoded2: outputsOf(engine, picture.buffer, picture.geometry, outputs, transfer),
      };
      return { result, transfer };
    });
  },

  // Each hidden picture on its own: {used, note, keyed, raw, pictures}, each picture {name:
  // 'hidden-N', which, ...outputs}, reconstructed as vorn decode writes it (the tones its levels
  // stand for, the dither's grain filtered out), or with `raw` its stored levels at full range as
  // vorn decode --raw writes them. The kit decides what to take out from the build and content
  // given (null: guessed from the picture, `note` saying so) or refuses; `used` is {build,
  // content, words}, build null where both builds lay the picture out alike. With a password
  // the picture is opened as a keyed one, and `used` is what its tag verified.
  async extract(engine, { coded, build = null, content = null, password = null, raw = false, outputs = ['bmp'] }, progress) {
    const secret = password === null ? null : passwordBytes(password);
    return withPictures(async (use) => {
      const picture = use(await pictureOf(engine, coded, 'coded', 'coded', progress, { changes: false }));
      progress('Looking at the picture');
      const plan = engine.planDecode(picture.buffer, picture.name, { build, content, keyed: secret !== null });
      let layout = plan;
      let taken;
      if (secret) {
        progress('Deriving the key from the password');
        layout = engine.openKeyed(picture.buffer, picture.name, secret, raw);
        layout.pictures.forEach((buffer) => use({ buffer }));
        taken = (which) => layout.pictures[which - 1];
      } else {
        taken = (which) => {
          progress(`${raw ? 'Taking out' : 'Reconstructing'} hidden picture ${which}`);
          return use({ buffer: engine.takeOut(picture.buffer, picture.name, plan.layout, which, raw) }).buffer;
        };
      }
      const transfer = [];
      const kind = raw ? 'decoded' : 'reconstructed';
      const pictures = layout.holds.map((which) => ({
        name: `hidden-${which}`, which, ...outputsOf(engine, taken(which), picture.geometry, outputs, transfer, kind),
      }));
      const used = { build: layout.build, content: layout.content, words: layout.words };
      return { result: { used, note: plan.note, keyed: secret !== null, raw, pictures }, transfer };
    }).finally(() => secret?.fill(0));
  },

  // The low bits moved to the top. With `filter`, a BMP's bytes are revealed as they stand, as
  // the reveal filter does (whatever their header says); otherwise the picture is read first.
  async reveal(engine, { picture, filter = false, outputs = ['bmp'] }, progress) {
    return withPictures(async (use) => {
      const isBmp = picture instanceof Uint8Array && picture[0] === 0x42 && picture[1] === 0x4d;
      const taken = filter && isBmp
        ? use({ buffer: engine.bufferOf(picture), name: 'picture', geometry: { width: 0, height: 0 } })
        : use(await pictureOf(engine, picture, 'coded', 'picture', progress));
      progress('Revealing the low bits');
      engine.reveal(taken.buffer, taken.name);
      const transfer = [];
      return { result: outputsOf(engine, taken.buffer, taken.geometry, outputs, transfer), transfer };
    });
  },

  // How many times picture bytes crossed into and out of the module so far.
  crossings(engine) {
    return { result: { ...engine.crossings }, transfer: [] };
  },
};

onmessage = async ({ data: { id, operation, args } }) => {
  const progress = (text) => postMessage({ id, progress: text });
  try {
    const engine = await enginePromise;
    if (!(operation in operations)) throw new Error(`unknown operation "${operation}"`);
    const { result, transfer } = await operations[operation](engine, args, progress);
    postMessage({ id, result }, transfer);
  } catch (error) {
    postMessage({ id, error: error.message, code: error.code ?? null });
  }
};

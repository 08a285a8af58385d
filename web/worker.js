// worker.js: runs the engine and vorn's picture code off the page's thread, so that the page
// stays responsive while a large picture is worked on. One set of operations serves the page
// and window.vornhold alike.
//
// A request is {id, operation, args}; the answer is {id, result} or {id, error, code}, and
// {id, progress} messages may come before it. Results hand their buffers over rather than
// copying them.
//
// A picture argument is file bytes (a Uint8Array or a File), read as vorn reads its inputs, or
// the number of a picture held from an earlier `hold`, which stays inside the module until it
// is released. Builds are named 'vornhold2' and 'vornhold', contents 'hidden1', 'hidden2' and
// 'both'. `outputs` lists what to give back of each resulting picture: 'bmp' (its file image),
// 'png' (a Blob written as vorn writes PNG) and 'preview' (an ImageBitmap); png and preview are
// null for a picture without pixels.
//
// A `password` (a string) makes encode write a keyed picture and extract open one, as vorn does:
// the password is taken as the UTF-8 bytes of its NFC form, the key is derived here, in the
// worker, and the library draws the salt for every encoding.
import { EngineError, loadEngine } from './engine.js';
import { decodeWithBrowser, previewOf } from './pictures.js';

const enginePromise = loadEngine();
const held = new Map();
let nextHeld = 1;

const BUILDS = { vornhold2: 'VORN_VORNHOLD2', vornhold: 'VORN_VORNHOLD' };
const CONTENTS = { hidden1: [1], hidden2: [2], both: [1, 2] };
// How a hidden picture of another size than the carrier goes into its frame.
const FITS = { contain: 'VORN_FIT_CONTAIN', cover: 'VORN_FIT_COVER', stretch: 'VORN_FIT_STRETCH' };
// Each layout as the build that wrote it (none where both builds write it alike) and what it
// holds.
const LAYOUTS = {
  VORN_LAYOUT_NONE: { build: null, content: null },
  VORN_LAYOUT_HIDDEN1: { build: null, content: 'hidden1' },
  VORN_LAYOUT_HIDDEN2_VORNHOLD: { build: 'vornhold', content: 'hidden2' },
  VORN_LAYOUT_HIDDEN2_VORNHOLD2: { build: 'vornhold2', content: 'hidden2' },
  VORN_LAYOUT_BOTH_VORNHOLD: { build: 'vornhold', content: 'both' },
  VORN_LAYOUT_BOTH_VORNHOLD2: { build: 'vornhold2', content: 'both' },
};

function checkName(table, name, what) {
  if (!(name in table)) throw new Error(`unknown ${what} "${name}" (${Object.keys(table).join(' or ')})`);
  return name;
}
const buildNumber = (engine, name) => engine.C[BUILDS[checkName(BUILDS, name, 'build')]];
const layoutWords = (engine, layout) => LAYOUTS[Object.keys(LAYOUTS).find((name) => engine.C[name] === layout)];

// Reads file bytes as vorn does: {buffer, geometry, source, alphaDropped}, source being 'bmp'
// (a BMP used as it stands), 'vorn' (decoded by vorn's readers) or 'browser' (a format vorn
// does not read, decoded by the browser; never for a picture whose low bits matter).
async function readPicture(engine, file, role, name, progress) {
  const bytes = file instanceof Uint8Array ? file : new Uint8Array(await file.arrayBuffer());
  progress('Reading the picture');
  let buffer = engine.bufferOf(bytes);
  let found;
  try {
    found = engine.read(buffer, role, name);
    if (found) {
      return { buffer, geometry: engine.geometry(buffer), source: found.asIs ? 'bmp' : 'vorn', alphaDropped: found.alphaDropped };
    }
  } catch (error) {
    buffer.free();
    throw error;
  }
  buffer.free();
  if (role === 'CODED') {
    throw new EngineError(null, `${name}: not a PNG or BMP picture; give the PNG or BMP that encoding wrote`);
  }
  progress('Decoding the picture');
  const pixels = await decodeWithBrowser(new Blob([bytes]));
  if (!pixels) throw new EngineError(null, 'this browser cannot read it as a picture (PNG, JPEG, WebP or BMP)');
  buffer = engine.bufferOfRgba(pixels.rgba, pixels.width, pixels.height);
  return { buffer, geometry: engine.geometry(buffer), source: 'browser', alphaDropped: pixels.alphaDropped };
}

// A password as vorn takes it: the UTF-8 bytes of its NFC form, so that the same word typed on
// any system gives the same key. A string with a lone surrogate is no Unicode text, and is
// refused as vorn refuses bytes that are not UTF-8.
function passwordBytes(password) {
  if (typeof password !== 'string') throw new Error('the password must be a string');
  if (/\p{Surrogate}/u.test(password)) throw new EngineError(null, 'the password is not valid Unicode text');
  return new TextEncoder().encode(password.normalize('NFC'));
}

// A test's own salt, to compare keyed bytes with the native library's; null (the library draws
// one) when none is given.
function saltOf(engine, salt) {
  const length = engine.C.VORN_KEYED_SALT_BYTES;
  if (salt == null) return null;
  if (!(salt instanceof Uint8Array) || salt.length !== length) throw new Error(`the salt must be ${length} bytes`);
  return salt;
}

function heldPicture(id, name) {
  const picture = held.get(id);
  if (!picture) throw new Error(`${name}: no picture is held as ${id}`);
  return picture;
}

// A picture argument as a buffer of the caller's own, to free (unless it is `borrowed`): a held
// picture is copied inside the module when the caller works on it in place (`changes`), and
// stays held either way.
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

// The outputs asked for of a picture; a PNG is written with vorn's settings for its kind: 'coded',
// 'decoded' (raw levels, revealed pictures) or 'reconstructed'.
const PNG_KINDS = { coded: 'WEB_PNG_CODED', decoded: 'WEB_PNG_DECODED', reconstructed: 'WEB_PNG_RECONSTRUCTED' };
function outputsOf(engine, buffer, geometry, outputs, transfer, { kind = 'decoded' } = {}) {
  const result = {};
  const empty = geometry.width === 0 || geometry.height === 0;
  if (outputs.includes('bmp')) {
    result.bmp = engine.bytesOf(buffer);
    transfer.push(result.bmp.buffer);
  }
  if (outputs.includes('png')) {
    result.png = null;
    if (!empty) {
      const png = engine.pngOf(buffer, engine.C[PNG_KINDS[kind]]);
      try {
        result.png = new Blob([engine.viewOf(png)], { type: 'image/png' });
      } finally {
        png.free();
      }
    }
  }
  if (outputs.includes('preview')) {
    result.preview = null;
    if (!empty) {
      const rgba = engine.rgbaOf(buffer, geometry);
      try {
        result.preview = previewOf(engine.viewOf(rgba), geometry.width, geometry.height);
      } finally {
        rgba.free();
      }
      transfer.push(result.preview);
    }
  }
  return result;
}

const operations = {
  // Reads a file once and keeps it for later operations: {id, geometry, source, alphaDropped,
  // preview}. role is 'source' (a carrier or hidden picture) or 'coded'.
  async hold(engine, { file, role = 'source' }, progress) {
    const name = file.name ?? 'picture';
    const picture = await readPicture(engine, file, role.toUpperCase(), name, progress).catch((error) => {
      // The page names the file itself.
      if (error.message.startsWith(`${name}: `)) error.message = error.message.slice(name.length + 2);
      throw error;
    });
    const id = nextHeld++;
    held.set(id, { ...picture, name });
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

  // How held hidden picture `hidden` goes with held carrier `carrier`: {code, text, scaled}, code
  // VORN_OK (every picture read goes: as it is, in the carrier's frame, or scaled into it), scaled
  // true when its size is not the carrier's.
  checkHidden(engine, { carrier, hidden }) {
    const frame = heldPicture(carrier, 'carrier').geometry;
    const picture = heldPicture(hidden, 'hidden');
    const scaled = picture.geometry.width !== frame.width || picture.geometry.height !== frame.height;
    const code = engine.C.VORN_OK;
    return { result: { code, text: engine.errorText(code), scaled }, transfer: [] };
  },

  // {coded: outputs, report, milliseconds}. A hidden picture goes with the carrier as vorn puts
  // it there (as it is, its pixels in the carrier's frame, or scaled into it as `fit` says:
  // 'contain', 'cover' or 'stretch'); one that cannot go is refused, its text beginning "hidden
  // picture N: ". The report says whether each layer was scrambled ('ran') or left in place
  // ('skipped'; 'none' where there is no such layer), whether the picture is keyed, and in
  // `fitted` what scaling did, in vorn's words (one text per picture scaled).
  // With a password the picture is keyed (never scrambled): it needs a hidden picture, and the
  // carrier is taken by its pixels, the file its PNG is read back as, so that both the BMP and
  // the PNG of it open. `salt` is for the tests alone: the page and window.vornhold never give
  // one, so that every encoding draws its own.
  async encode(engine, { carrier, hidden1, hidden2, build, fit = 'contain', password = null, salt = null, outputs = ['bmp'] }, progress) {
    const number = buildNumber(engine, build);
    const fitNumber = engine.C[FITS[checkName(FITS, fit, 'fit')]];
    const keyed = password !== null;
    if (keyed && hidden1 == null && hidden2 == null) {
      throw new EngineError(null, 'a password keys hidden pictures: give hidden picture 1 or 2');
    }
    const saltBytes = keyed ? saltOf(engine, salt) : null;
    const secret = keyed ? passwordBytes(password) : null;
    return withPictures(async (use) => {
      const image = use(await pictureOf(engine, carrier, 'SOURCE', 'carrier', progress));
      const h1 = hidden1 == null ? null : use(await pictureOf(engine, hidden1, 'SOURCE', 'hidden1', progress));
      const h2 = hidden2 == null ? null : use(await pictureOf(engine, hidden2, 'SOURCE', 'hidden2', progress));
      if (keyed && image.source === 'bmp') engine.takePixels(image.buffer);
      const fitted = [];
      for (const [which, hidden] of [[1, h1], [2, h2]]) {
        if (!hidden) continue;
        if (hidden.geometry.width !== image.geometry.width || hidden.geometry.height !== image.geometry.height) {
          progress(`Scaling hidden picture ${which}`);
        }
        const done = engine.fitHidden(image.buffer, hidden.buffer, which, fitNumber);
        if (done) fitted.push(done);
      }
      const started = performance.now();
      if (keyed) {
        progress('Deriving the key from the password');
        const layout = engine.layoutOf(number, h1 !== null, h2 !== null);
        engine.keyedEncode(image.buffer, h1?.buffer, h2?.buffer, layout, secret, saltBytes);
      } else {
        progress('Hiding the pictures');
        engine.encode(image.buffer, h1?.buffer, h2?.buffer, number);
      }
      const milliseconds = performance.now() - started;
      progress('Writing the coded picture');
      const transfer = [];
      const geometry = keyed ? engine.geometry(image.buffer) : image.geometry;
      const coded = outputsOf(engine, image.buffer, geometry, outputs, transfer, { kind: 'coded' });
      const moved = !keyed && engine.scrambles(geometry) ? 'ran' : 'skipped';
      const report = {
        keyed,
        hidden1Permutation: h1 && !keyed ? moved : 'none',
        hidden2Permutation: h2 && !h1 && !keyed ? moved : 'none',
        fitted,
      };
      return { result: { coded, report, milliseconds }, transfer };
    }).finally(() => secret?.fill(0));
  },

  // The programs' decoding: {decoded1, decoded2}, each the outputs asked for.
  async decode(engine, { coded, build, outputs = ['bmp'] }, progress) {
    const number = buildNumber(engine, build);
    return withPictures(async (use) => {
      const picture = use(await pictureOf(engine, coded, 'CODED', 'coded', progress));
      progress('Decoding');
      const decoded1 = use({ buffer: engine.decode(picture.buffer, number) });
      const transfer = [];
      const result = {
        decoded1: outputsOf(engine, decoded1.buffer, picture.geometry, outputs, transfer),
        decoded2: outputsOf(engine, picture.buffer, picture.geometry, outputs, transfer),
      };
      return { result, transfer };
    });
  },

  // Each hidden picture on its own: {detected, used, keyed, raw, pictures}, each picture {name:
  // 'hidden-N', which, ...outputs}, reconstructed as vorn decode writes it (the tones its levels
  // stand for, the dither's grain filtered out), or with `raw` its stored levels at full range as
  // vorn decode --raw writes them. detected and used are {build, content}; build
  // is null where both builds lay the picture out alike (hidden picture 1 alone). build and
  // content are guessed from the picture where they are null; a picture whose four low bits are
  // 0 everywhere holds no hidden picture, and is refused unless the content is given, and so is
  // one whose low bits look random, which a keyed picture's do.
  // With a password the picture is opened as a keyed one: build and content are what its tag
  // verified (detected is null), and a wrong password or a changed picture is refused with
  // VORN_ERR_KEY_MISMATCH, nothing taken out.
  async extract(engine, { coded, build = null, content = null, password = null, raw = false, outputs = ['bmp'] }, progress) {
    if (build !== null) checkName(BUILDS, build, 'build');
    if (content !== null) checkName(CONTENTS, content, 'content');
    const secret = password === null ? null : passwordBytes(password);
    return withPictures(async (use) => {
      const picture = use(await pictureOf(engine, coded, 'CODED', 'coded', progress, { changes: false }));
      const name = picture.name ?? 'coded';
      const transfer = [];
      const pictures = [];
      const kind = raw ? 'decoded' : 'reconstructed';
      const taken = (which, buffer) => pictures.push({
        name: `hidden-${which}`, which, ...outputsOf(engine, buffer, picture.geometry, outputs, transfer, { kind }),
      });
      if (secret) {
        progress('Deriving the key from the password');
        const opened = engine.keyedDecode(picture.buffer, secret);
        opened.pictures.forEach((buffer) => use({ buffer }));
        const used = { ...layoutWords(engine, opened.layout) };
        for (const which of CONTENTS[used.content]) {
          if (!raw) {
            progress(`Reconstructing hidden picture ${which}`);
            engine.keyedReconstruct(opened.pictures[which - 1], opened.layout, which);
          }
          taken(which, opened.pictures[which - 1]);
        }
        return { result: { detected: null, used, keyed: true, raw, pictures }, transfer };
      }
      progress('Looking at the picture');
      const detected = layoutWords(engine, engine.detect(picture.buffer));
      if (content === null && detected.content === null) {
        throw new EngineError(null, `${name}: holds no hidden picture (its four low bits are 0 ` +
          'everywhere); choose what it holds to decode it all the same');
      }
      if (content === null && engine.keyedLikely(picture.buffer)) {
        throw new EngineError(null, `${name}: no hidden picture found (its low bits look random); ` +
          'if it was hidden with a password, give the password');
      }
      const usedContent = content ?? detected.content;
      const holds = CONTENTS[usedContent];
      const usedBuild = build ?? detected.build ?? 'vornhold2';
      const layout = engine.layoutOf(buildNumber(engine, usedBuild), holds.includes(1), holds.includes(2));
      const used = { ...layoutWords(engine, layout) };
      for (const which of holds) {
        progress(`${raw ? 'Taking out' : 'Reconstructing'} hidden picture ${which}`);
        const buffer = raw ? engine.extract(picture.buffer, layout, which) : engine.reconstruct(picture.buffer, layout, which);
        taken(which, use({ buffer }).buffer);
      }
      return { result: { detected, used, keyed: false, raw, pictures }, transfer };
    }).finally(() => secret?.fill(0));
  },

  // The low bits moved to the top. With `filter`, a BMP's bytes are revealed as they stand, as
  // the reveal filter does (whatever their header says); otherwise the picture is read first.
  async reveal(engine, { picture, filter = false, outputs = ['bmp'] }, progress) {
    return withPictures(async (use) => {
      const isBmp = picture instanceof Uint8Array && picture[0] === 0x42 && picture[1] === 0x4d;
      const taken = filter && isBmp
        ? use({ buffer: engine.bufferOf(picture), geometry: null })
        : use(await pictureOf(engine, picture, 'CODED', 'picture', progress));
      progress('Revealing the low bits');
      engine.reveal(taken.buffer);
      const transfer = [];
      const geometry = taken.geometry ?? { width: 0, height: 0 };
      return { result: outputsOf(engine, taken.buffer, geometry, outputs, transfer), transfer };
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

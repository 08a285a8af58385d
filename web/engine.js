// engine.js: the picture kit's calls (through the glue) on buffers held inside the module, for
// the worker.
//
// A picture is written into the module once (bufferOf) and then read, hidden in, taken out,
// revealed, previewed and written as PNG where it lies; only results are copied out (bytesOf,
// viewOf). Every buffer is freed by whoever took it. Pointers are read with >>> 0: memory
// reaches 4 GiB, so an address may have its top bit set. Every decision and every refusal is the
// kit's: a call that fails throws an EngineError with the kit's text, its `code` the kind of
// fault ('usage', 'input', 'output' or 'memory'). A call given a `progress` function hears the
// kit's reports through it while it runs: progress(step, done), done from 0 to 1, or -1 where
// the step cannot be counted.
import createVornModule from './vorn.js';

export class EngineError extends Error {
  constructor(text, code = null) {
    super(text);
    this.code = code;
  }
}

export async function loadEngine() {
  return makeEngine(await createVornModule());
}

function makeEngine(module) {
  const heap = () => module.HEAPU8;  // a new view after every growth of memory
  // How many times picture bytes were copied into and out of the module, for the tests.
  const crossings = { in: 0, out: 0 };
  const outOfMemory = () => new EngineError('not enough memory for this picture in the browser', 'memory');

  function cString(pointer) {
    const bytes = heap();
    let end = pointer;
    while (bytes[end] !== 0) end++;
    return new TextDecoder().decode(bytes.subarray(pointer, end));
  }

  // Calls the glue's web_NAME(...args): its answer, or the kit's refusal thrown. An answer that
  // marks a file of a format the kit does not read sets `otherFormat` on the error.
  function call(name, ...args) {
    const failed = module[`_web_${name}`](...args);
    const answer = JSON.parse(cString(module._web_answer() >>> 0));
    if (!failed) return answer;
    const error = new EngineError(answer.text, answer.fault);
    if (answer.otherFormat) error.otherFormat = true;
    throw error;
  }

  // Runs body() with the kit's progress reports going to `progress` (if any) while it runs.
  function reporting(progress, body) {
    module.vornProgress = progress ?? null;
    try {
      return body();
    } finally {
      module.vornProgress = null;
    }
  }

  // Runs body(pointers) with each text (null stays a null pointer) in the module as
  // NUL-terminated UTF-8, freed whatever happens.
  function withTexts(texts, body) {
    const pointers = [];
    try {
      for (const text of texts) {
        if (text === null || text === undefined) {
          pointers.push(0);
          continue;
        }
        const bytes = new TextEncoder().encode(`${text}\0`);
        const at = module._malloc(bytes.length) >>> 0;
        if (at === 0) throw outOfMemory();
        pointers.push(at);
        heap().set(bytes, at);
      }
      return body(...pointers);
    } finally {
      for (const at of pointers) if (at !== 0) module._free(at);
    }
  }

  class Buffer {
    constructor(pointer) {
      if (pointer === 0) throw outOfMemory();
      this.pointer = pointer;
    }
    get data() { return module._web_buffer_data(this.pointer) >>> 0; }
    get length() { return module._web_buffer_length(this.pointer) >>> 0; }
    free() {
      module._web_buffer_free(this.pointer);
      this.pointer = 0;
    }
  }
  const newBuffer = (length = 0) => new Buffer(module._web_buffer_new(length) >>> 0);
  const pointerOf = (buffer) => buffer?.pointer ?? 0;

  function bufferOf(bytes) {
    const buffer = newBuffer(bytes.length);
    heap().set(bytes, buffer.data);
    crossings.in++;
    return buffer;
  }

  // A password in a buffer of its own: not a picture, so not counted. The password's
  // bytes are wiped here once they are inside the module, and the glue wipes the module's copy.
  function secretBuffer(bytes) {
    const buffer = bufferOf(bytes);
    crossings.in--;
    bytes.fill(0);
    return buffer;
  }

  // A copy inside the module, for a step that works in place on a picture still wanted.
  function copy(buffer) {
    const twin = newBuffer(buffer.length);
    heap().copyWithin(twin.data, buffer.data, buffer.data + buffer.length);
    return twin;
  }

  function bytesOf(buffer) {
    crossings.out++;
    return heap().slice(buffer.data, buffer.data + buffer.length);
  }

  // A view of the buffer's bytes for a consumer that copies them at once (a canvas, a Blob).
  function viewOf(buffer) {
    crossings.out++;
    return new Uint8ClampedArray(heap().buffer, buffer.data, buffer.length);
  }

  // Runs body(buffer) on a new buffer, which it returns; freed if body throws.
  function filled(body) {
    const buffer = newBuffer();
    try {
      body(buffer);
    } catch (error) {
      buffer.free();
      throw error;
    }
    return buffer;
  }

  // {width, height} of a picture the engine takes.
  const geometry = (buffer) => call('geometry', buffer.pointer);

  // Reads the file in `buffer` as the kit does ('source' or 'coded' `role`, named `name` in its
  // texts) and leaves its coder file image there: {asIs, alphaDropped, note}, the note saying
  // what reading left out ('' when nothing).
  const read = (buffer, role, name, progress) => reporting(progress,
    () => withTexts([role, name], (r, n) => call('read_picture', buffer.pointer, r, n)));

  // RGBA pixels the browser decoded, written in and turned into their equivalent BMP: {buffer,
  // note}, the note as read() gives it.
  function bufferOfRgba(rgba, width, height, name, alphaDropped) {
    const buffer = bufferOf(rgba);
    try {
      const { note } = withTexts([name], (n) => call('bmp_from_rgba', buffer.pointer, width, height, n, alphaDropped ? 1 : 0));
      return { buffer, note };
    } catch (error) {
      buffer.free();
      throw error;
    }
  }

  // Whether a password and its confirmation (the bytes of each, wiped) were typed alike.
  function checkTypedTwice(password, confirmation) {
    const buffers = [secretBuffer(password), secretBuffer(confirmation)];
    try {
      call('check_typed_twice', buffers[0].pointer, buffers[1].pointer);
    } finally {
      for (const buffer of buffers) buffer.free();
    }
  }

  // Whether a hiding can be asked for, before any picture is read: `form` is 'compact',
  // 'stealth' or 'classic', `carrierBits` 0 (the kit's choice) or the k asked for.
  const checkHide = ({ form, carrierBits, build, fit, hidden1, hidden2, keyed }) => withTexts([form, build, fit],
    (h, b, f) => call('check_hide', h, carrierBits, b, f, hidden1 ? 1 : 0, hidden2 ? 1 : 0, keyed ? 1 : 0));

  // Hides in place: carrier.buffer holds the carrier and then the coded picture; the hidden
  // pictures ({buffer, name}, or null) are used up. `password` is the bytes of the password (or
  // null). {notes, report, compact, carrierBits, formWords}: the kit's texts, and whether it wrote
  // a compact picture with its k.
  function hide({ carrier, hidden1, hidden2, form, carrierBits, build, fit, password, progress }) {
    const secrets = [];
    const secretOf = (bytes) => {
      if (!bytes) return 0;
      secrets.push(secretBuffer(bytes));
      return secrets.at(-1).pointer;
    };
    try {
      const secret = secretOf(password);
      return reporting(progress, () => withTexts([carrier.name, hidden1?.name, hidden2?.name, form, build, fit],
        (c, h1, h2, h, b, f) => call('hide', carrier.buffer.pointer, c, pointerOf(hidden1?.buffer), h1,
          pointerOf(hidden2?.buffer), h2, h, carrierBits, b, f, secret)));
    } finally {
      for (const buffer of secrets) buffer.free();
    }
  }

  // The programs' decoding: Decoded_2 over `coded`, Decoded_1 in the buffer returned.
  const programDecode = (coded, name, build) => filled((decoded1) => withTexts([name, build],
    (n, b) => call('program_decode', coded.pointer, n, b, decoded1.pointer)));

  // Takes every hidden picture out of `coded` (its buffer used up) as the kit decides from the
  // build and content words given (null: guessed), with the bytes of `password` (or null): {keyed,
  // compact, carrierBits, notes, layout, build, content, words, holds} and `pictures`, two buffers
  // (empty where it holds none), the caller's to free. A compact picture's pictures have their
  // own sizes.
  function decode(coded, name, { build, content, password, raw, progress }) {
    const secret = password ? secretBuffer(password) : null;
    const pictures = [];
    try {
      pictures.push(newBuffer(), newBuffer());
      const found = reporting(progress, () => withTexts([name, build, content], (n, b, c) => call('decode',
        coded.pointer, n, b, c, pointerOf(secret), raw ? 1 : 0, pictures[0].pointer, pictures[1].pointer)));
      return { ...found, pictures };
    } catch (error) {
      for (const picture of pictures) picture.free();
      throw error;
    } finally {
      secret?.free();
    }
  }

  const reveal = (buffer, name) => withTexts([name], (n) => call('reveal', buffer.pointer, n));

  // The opaque RGBA pixels of a picture the engine takes, for a canvas.
  const rgbaOf = (buffer) => filled((rgba) => call('rgba_of', buffer.pointer, rgba.pointer));

  // The PNG of a picture as the kit writes one of its `kind` ('coded', 'decoded' or
  // 'reconstructed'), `name` naming it in the kit's reports; the picture's buffer is let go (left
  // empty).
  const pngOf = (buffer, kind, name, progress) => filled((png) => reporting(progress,
    () => withTexts([kind, name], (k, n) => call('png_of', buffer.pointer, k, n, png.pointer))));

  // The file offered of what came from the file named `from` ('' for none): {name, size}, the
  // kit's name for the offer `what` ('coded', 'hidden-1', 'hidden-2', 'revealed') as `format`
  // ('png' or 'bmp') and its `size` (bytes) in words.
  const offeredFile = (from, what, format, size) => withTexts([from, what, format],
    (f, w, x) => call('offered_file', f, w, x, size));

  return {
    crossings, bufferOf, bufferOfRgba, copy, bytesOf, viewOf, geometry, read, checkTypedTwice, checkHide, hide,
    programDecode, decode, reveal, rgbaOf, pngOf, offeredFile,
  };
}

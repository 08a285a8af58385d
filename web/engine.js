// engine.js: the engine and vorn's picture code on buffers held inside the module, for the
// worker.
//
// A picture is written into the module once (bufferOf) and then read, encoded, extracted,
// revealed, previewed and written as PNG where it lies; only results are copied out (bytesOf,
// viewOf). Every buffer is freed by whoever took it. Pointers are read with >>> 0: memory
// reaches 4 GiB, so an address may have its top bit set. A failure throws an EngineError with
// the engine's code (null for a text from vorn's picture code) and its text. The numbers come
// from the module itself (web_constants), never from a copy here.
import createVornModule from './vorn.js';

export class EngineError extends Error {
  constructor(code, text) {
    super(text);
    this.code = code;
  }
}

export async function loadEngine() {
  return makeEngine(await createVornModule());
}

function makeEngine(module) {
  const heap = () => module.HEAPU8;  // a new view after every growth of memory

  function cString(pointer) {
    const bytes = heap();
    let end = pointer;
    while (bytes[end] !== 0) end++;
    return new TextDecoder().decode(bytes.subarray(pointer, end));
  }

  // A name the module does not define is a fault here, never an undefined number.
  const C = new Proxy(JSON.parse(cString(module._web_constants() >>> 0)), {
    get(constants, name) {
      if (!(name in constants)) throw new Error(`the module defines no constant ${String(name)}`);
      return constants[name];
    },
  });
  const GEOMETRY = C.vorn_geometry;
  // How many times picture bytes were copied into and out of the module, for the tests.
  const crossings = { in: 0, out: 0 };

  const errorText = (code) => cString(module._vorn_strerror(code) >>> 0);
  // Throws for any code but VORN_OK (and 0, which is VORN_OK for the glue too).
  function check(code) {
    if (code === C.VORN_OK) return;
    if (code === C.WEB_FAILED) throw new EngineError(null, cString(module._web_failure_text() >>> 0));
    throw new EngineError(code, errorText(code));
  }
  const outOfMemory = () => new EngineError(null, 'not enough memory for this picture in the browser');

  // Small blocks for the engine's answers, freed whatever happens.
  function withScratch(size, body) {
    const at = module._malloc(size) >>> 0;
    if (at === 0) throw outOfMemory();
    try {
      return body(at);
    } finally {
      module._free(at);
    }
  }
  const int32At = (at, index = 0) => new Int32Array(heap().buffer, at + index * 4, 1)[0];

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
  const newBuffer = (length) => new Buffer(module._web_buffer_new(length) >>> 0);

  function bufferOf(bytes) {
    const buffer = newBuffer(bytes.length);
    heap().set(bytes, buffer.data);
    crossings.in++;
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

  // A view of the buffer's bytes for a consumer that copies them at once (a canvas).
  function viewOf(buffer) {
    crossings.out++;
    return new Uint8ClampedArray(heap().buffer, buffer.data, buffer.length);
  }

  function withGeometry(geometry, body) {
    return withScratch(GEOMETRY.size, (at) => {
      const fields = new Uint32Array(heap().buffer, at, GEOMETRY.size / 4);
      for (const name of ['length', 'offset_raster', 'width', 'height', 'string_length']) {
        fields[GEOMETRY[name] / 4] = geometry[name];
      }
      return body(at);
    });
  }

  // The geometry of a picture the engine accepts; throws its reason otherwise.
  function geometry(buffer) {
    return withScratch(GEOMETRY.size, (at) => {
      check(module._vorn_check_carrier(buffer.data, buffer.length, at));
      const fields = new Uint32Array(heap().buffer, at, GEOMETRY.size / 4);
      const of = (name) => fields[GEOMETRY[name] / 4];
      return {
        length: of('length'), offset_raster: of('offset_raster'), width: of('width'),
        height: of('height'), string_length: of('string_length'),
      };
    });
  }

  // Reads the file in `buffer` as vorn does and leaves its coder file image there. null when the
  // file is none of the formats vorn reads; {asIs, alphaDropped} otherwise.
  function read(buffer, role, name) {
    const nameBuffer = bufferOf(new TextEncoder().encode(`${name}\0`));
    crossings.in--;  // a name, not a picture
    try {
      return withScratch(4, (flagsAt) => {
        const code = module._web_read_picture(buffer.pointer, C[`WEB_ROLE_${role}`], nameBuffer.pointer, flagsAt);
        if (code === C.WEB_UNKNOWN_FORMAT) return null;
        check(code);
        const flags = int32At(flagsAt);
        return { asIs: (flags & C.WEB_READ_AS_IS) !== 0, alphaDropped: (flags & C.WEB_READ_ALPHA_DROPPED) !== 0 };
      });
    } finally {
      nameBuffer.free();
    }
  }

  // RGBA pixels decoded elsewhere, written in and turned into their equivalent BMP.
  function bufferOfRgba(rgba, width, height) {
    const buffer = bufferOf(rgba);
    try {
      check(module._web_bmp_from_rgba(buffer.pointer, width, height));
    } catch (error) {
      buffer.free();
      throw error;
    }
    return buffer;
  }

  // VORN_OK when the hidden picture may go with a carrier of this geometry as it is, else the
  // reason.
  const checkHidden = (carrierGeometry, hidden) => withGeometry(carrierGeometry,
    (at) => module._vorn_check_hidden(at, hidden.data, hidden.length));

  // Whether encoding scrambles the layer of a picture of this geometry.
  const scrambles = (geometry) => withGeometry(geometry, (at) => module._vorn_scrambles(at) !== 0);

  // Makes hidden picture `which` go with the carrier as vorn does (as it is, its pixels in the
  // carrier's frame, or scaled into it as `fit` says: C.VORN_FIT_*). Returns what scaling did,
  // as vorn says it ("hidden picture 1 scaled from 300x200 to 512x341 and centred"), or ''.
  function fitHidden(carrier, hidden, which, fit) {
    check(module._web_fit_hidden(carrier.pointer, hidden.pointer, which, fit));
    return cString(module._web_fit_text() >>> 0);
  }

  // Encodes in place: `image` holds the carrier and then the coded picture; the hidden
  // pictures' rasters are used up. A refused hidden picture's error text begins "hidden
  // picture N: ".
  const encode = (image, hidden1, hidden2, build) => withScratch(4, (at) => {
    const code = module._web_encode(image.pointer, hidden1?.pointer ?? 0, hidden2?.pointer ?? 0, build, at);
    const refused = int32At(at);
    if (code !== C.VORN_OK && code !== C.WEB_FAILED && refused !== 0) {
      throw new EngineError(code, `hidden picture ${refused}: ${errorText(code)}`);
    }
    check(code);
  });

  // The programs' decoding: Decoded_2 over `coded`, Decoded_1 in the buffer returned.
  function decode(coded, build) {
    const decoded1 = newBuffer(coded.length);
    try {
      check(module._web_decode(coded.pointer, build, decoded1.pointer));
    } catch (error) {
      decoded1.free();
      throw error;
    }
    return decoded1;
  }

  const layoutOf = (build, hidden1, hidden2) => module._vorn_layout_of(build, hidden1 ? 1 : 0, hidden2 ? 1 : 0);

  function extract(coded, layout, which) {
    const picture = newBuffer(coded.length);
    try {
      check(module._vorn_extract(coded.data, coded.length, layout, which, picture.data, picture.length));
    } catch (error) {
      picture.free();
      throw error;
    }
    return picture;
  }

  // Hidden picture `which` reconstructed, in a new buffer.
  function reconstruct(coded, layout, which) {
    const picture = newBuffer(coded.length);
    try {
      check(module._web_reconstruct(coded.pointer, layout, which, picture.pointer));
    } catch (error) {
      picture.free();
      throw error;
    }
    return picture;
  }

  // A keyed picture's hidden picture `which` (as keyedDecode gave it) reconstructed in place.
  const keyedReconstruct = (picture, layout, which) => check(module._web_keyed_reconstruct(picture.pointer, layout, which));

  const detect = (coded) => withScratch(4, (at) => {
    check(module._vorn_detect(coded.data, coded.length, at));
    return int32At(at);
  });

  const reveal = (buffer) => check(module._vorn_reveal(buffer.data, buffer.length, buffer.data, buffer.length));

  // The keyed form. A password arrives as the bytes of its NFC form, which are wiped here once
  // they are inside the module; the glue wipes the module's copy before it returns.
  function secretBuffer(bytes) {
    const buffer = bufferOf(bytes);
    crossings.in--;  // a password or a salt, not a picture
    bytes.fill(0);
    return buffer;
  }

  // Keys the carrier in `image` in place with the hidden pictures its layout stores (null where
  // it stores none); their rasters are used up. The library draws the salt; `salt`
  // (VORN_KEYED_SALT_BYTES bytes) is given by tests alone, and null otherwise.
  function keyedEncode(image, hidden1, hidden2, layout, password, salt = null) {
    const secret = secretBuffer(password);
    const saltBuffer = salt === null ? null : bufferOf(salt);
    if (saltBuffer) crossings.in--;
    try {
      check(module._web_keyed_encode(image.pointer, hidden1?.pointer ?? 0, hidden2?.pointer ?? 0, layout,
        secret.pointer, saltBuffer?.pointer ?? 0));
    } finally {
      secret.free();
      saltBuffer?.free();
    }
  }

  // Opens a keyed picture: {layout, pictures: [hidden 1, hidden 2]}, two buffers of the coded
  // picture's length (all zero for a picture the layout does not hold), the caller's to free.
  // Throws VORN_ERR_KEY_MISMATCH for a wrong password or a changed picture.
  function keyedDecode(coded, password) {
    const secret = secretBuffer(password);
    const pictures = [];
    try {
      pictures.push(newBuffer(coded.length), newBuffer(coded.length));
      const layout = withScratch(4, (at) => {
        check(module._web_keyed_decode(coded.pointer, secret.pointer, pictures[0].pointer, pictures[1].pointer, at));
        return int32At(at);
      });
      return { layout, pictures };
    } catch (error) {
      for (const picture of pictures) picture.free();
      throw error;
    } finally {
      secret.free();
    }
  }

  // Whether the low bits of a picture look random, as a keyed picture's do.
  const keyedLikely = (buffer) => module._web_keyed_likely(buffer.pointer) !== 0;

  // Replaces a picture with the 24-bit BMP of its pixels, as its PNG is read back.
  const takePixels = (buffer) => check(module._web_take_pixels(buffer.pointer));

  // A buffer from a glue call that returns one, or null with its reason (web_failure_text()).
  function made(pointer) {
    if (pointer === 0) check(C.WEB_FAILED);
    return new Buffer(pointer);
  }

  // The opaque RGBA pixels of an accepted picture, and its PNG as vorn writes it (with the
  // settings for its kind, C.WEB_PNG_*).
  const rgbaOf = (buffer, geometry) => withGeometry(geometry,
    (at) => made(module._web_rgba_of(buffer.pointer, at) >>> 0));
  const pngOf = (buffer, kind) => made(module._web_png_of(buffer.pointer, kind) >>> 0);

  return {
    C, crossings, errorText, bufferOf, bufferOfRgba, copy, bytesOf, viewOf, geometry, read,
    checkHidden, scrambles, fitHidden, encode, decode, layoutOf, extract, reconstruct, detect,
    reveal, rgbaOf, pngOf, keyedEncode, keyedDecode, keyedReconstruct, keyedLikely, takePixels,
  };
}

// engine.js: the engine's functions on JavaScript byte arrays, inside the worker.
//
// Every call copies its inputs into the module's memory, runs, copies its outputs back out and
// frees what it took, whatever happens. Pointers are read with >>> 0: memory reaches 4 GiB, so
// an address may have its top bit set. A failure throws an EngineError carrying the engine's
// error code and its text.

/* exported makeEngine, EngineError, VORN, BUILDS */

const VORN = {
  OK: 0,
  BIT_COUNT: 4,
  NEGATIVE_SIZE: 5,
  NO_MEMORY: -1,  // the glue's own code: malloc failed
};

// The layouts of vorn.h in their order, from the build and the content the page chooses.
const LAYOUTS = { none: 0, hidden1: 1 };

const BUILDS = { vornhold2: 0, vornhold: 1 };

class EngineError extends Error {
  constructor(code, text) {
    super(text);
    this.code = code;
  }
}

function makeEngine(module) {
  const heap = () => module.HEAPU8;  // a new view after every growth of memory

  function cString(pointer) {
    const bytes = heap();
    let end = pointer;
    while (bytes[end] !== 0) end++;
    return new TextDecoder().decode(bytes.subarray(pointer, end));
  }

  const errorText = (code) => (code === VORN.NO_MEMORY ? 'not enough memory'
    : cString(module._vorn_strerror(code) >>> 0));
  const fail = (code) => { throw new EngineError(code, errorText(code)); };

  // Runs body(take) and frees every block that take(size) handed out.
  function withMemory(body) {
    const taken = [];
    const take = (size) => {
      const pointer = module._malloc(Math.max(size, 1)) >>> 0;
      if (pointer === 0) fail(VORN.NO_MEMORY);
      taken.push(pointer);
      return pointer;
    };
    try {
      return body(take);
    } finally {
      for (const pointer of taken) module._free(pointer);
    }
  }

  function copyIn(take, bytes) {
    const pointer = take(bytes.length);
    heap().set(bytes, pointer);
    return pointer;
  }

  const copyOut = (pointer, length) => heap().slice(pointer, pointer + length);
  const int32At = (pointer, index) => new Int32Array(heap().buffer, pointer + index * 4, 1)[0];

  function report(pointer) {
    return {
      hidden1: int32At(pointer, 0),
      hidden2: int32At(pointer, 1),
      hidden1Permutation: int32At(pointer, 2),
      hidden2Permutation: int32At(pointer, 3),
      decoded2Permutation: int32At(pointer, 4),
    };
  }

  // The geometry struct is five uint32 fields in this order.
  const GEOMETRY_FIELDS = ['length', 'offsetRaster', 'width', 'height', 'stringLength'];

  function geometry(image) {
    return withMemory((take) => {
      const at = take(20);
      const code = module._vorn_check_carrier(copyIn(take, image), image.length, at);
      if (code !== VORN.OK) fail(code);
      const fields = new Uint32Array(heap().buffer, at, 5);
      return Object.fromEntries(GEOMETRY_FIELDS.map((name, i) => [name, fields[i]]));
    });
  }

  // VORN.OK when the hidden picture may go with a carrier of this geometry, else the reason.
  function checkHidden(carrierGeometry, image) {
    return withMemory((take) => {
      const at = take(20);
      new Uint32Array(heap().buffer, at, 5).set(GEOMETRY_FIELDS.map((n) => carrierGeometry[n]));
      return module._vorn_check_hidden(at, copyIn(take, image), image.length);
    });
  }

  // The coded file image is written over the carrier's copy, which saves a picture's memory.
  function encode(carrier, hidden1, hidden2, build) {
    return withMemory((take) => {
      const coded = copyIn(take, carrier);
      const h1 = hidden1 ? copyIn(take, hidden1) : 0;
      const h2 = hidden2 ? copyIn(take, hidden2) : 0;
      const fields = take(20);
      const code = module._web_encode(coded, carrier.length, h1, hidden1 ? hidden1.length : 0,
                                      h2, hidden2 ? hidden2.length : 0, build, fields);
      if (code !== VORN.OK) fail(code);
      return { coded: copyOut(coded, carrier.length), report: report(fields) };
    });
  }

  // Decoded_2 is written over the coded picture's copy; Decoded_1 needs a block of its own.
  function decode(coded, build) {
    return withMemory((take) => {
      const image = copyIn(take, coded);
      const decoded1 = take(coded.length);
      const fields = take(20);
      const code = module._web_decode(image, coded.length, build, decoded1, image, fields);
      if (code !== VORN.OK) fail(code);
      return {
        decoded1: copyOut(decoded1, coded.length),
        decoded2: copyOut(image, coded.length),
        report: report(fields),
      };
    });
  }

  function extract(coded, build, content, which) {
    return withMemory((take) => {
      const image = copyIn(take, coded);
      const picture = take(coded.length);
      const layout = module._vorn_layout_of(build, content & 1, content & 2);
      const code = module._vorn_extract(image, coded.length, layout, which, picture, coded.length);
      if (code !== VORN.OK) fail(code);
      return copyOut(picture, coded.length);
    });
  }

  // The layout as the page's build and content; a picture without hidden bits reads as
  // vornhold2 with both, as the page's defaults.
  function detect(coded) {
    return withMemory((take) => {
      const answer = take(4);
      const code = module._vorn_detect(copyIn(take, coded), coded.length, answer);
      if (code !== VORN.OK) fail(code);
      const layout = int32At(answer, 0);
      if (layout === LAYOUTS.none) return { build: BUILDS.vornhold2, content: 3 };
      if (layout === LAYOUTS.hidden1) return { build: BUILDS.vornhold2, content: 1 };
      // 2 to 5: hidden 2 alone or both, vornhold before vornhold2.
      return { build: layout % 2 === 0 ? BUILDS.vornhold : BUILDS.vornhold2, content: layout < 4 ? 2 : 3 };
    });
  }

  function reveal(picture) {
    return withMemory((take) => {
      const image = copyIn(take, picture);
      const code = module._vorn_reveal(image, picture.length, image, picture.length);
      if (code !== VORN.OK) fail(code);
      return copyOut(image, picture.length);
    });
  }

  // The equivalent 24-bit BMP of RGBA pixels, top row first (what a canvas gives).
  function bmpFromRgba(rgba, width, height) {
    return withMemory((take) => {
      const lengthAt = take(4);
      let code = module._vorn_bmp_length(width, height, lengthAt);
      if (code !== VORN.OK) fail(code);
      const length = new Uint32Array(heap().buffer, lengthAt, 1)[0];
      const bmp = take(length);
      code = module._vorn_bmp_from_rgb(copyIn(take, rgba), width, height, width * 4, 4, bmp, length);
      if (code !== VORN.OK) fail(code);
      return copyOut(bmp, length);
    });
  }

  // The pixels of a BMP as RGBA, top row first and opaque, for a canvas.
  function rgbaOf(bmp) {
    const { width, height } = geometry(bmp);
    return withMemory((take) => {
      const rgb = take(width * height * 3);
      const code = module._vorn_bmp_to_rgb(copyIn(take, bmp), bmp.length, rgb, width * height * 3);
      if (code !== VORN.OK) fail(code);
      const source = heap().subarray(rgb, rgb + width * height * 3);
      const rgba = new Uint8ClampedArray(width * height * 4);
      for (let s = 0, d = 0; s < source.length; s += 3, d += 4) {
        rgba[d] = source[s];
        rgba[d + 1] = source[s + 1];
        rgba[d + 2] = source[s + 2];
        rgba[d + 3] = 255;
      }
      return { width, height, rgba };
    });
  }

  return {
    errorText, geometry, checkHidden, encode, decode, extract, detect, reveal, bmpFromRgba, rgbaOf,
  };
}

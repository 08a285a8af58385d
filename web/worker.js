// worker.js: runs the engine off the page's thread, so that the page stays responsive while a
// large picture is worked on.
//
// A request is {id, operation, args}; the answer is {id, result} or {id, error, code}, and
// {id, progress} messages may come before it. Results hand their buffers over rather than
// copying them.

/* global createVornModule, makeEngine, EngineError, VORN, decodeWithBrowser, pngOf, previewOf */
importScripts('vorn.js', 'engine.js', 'pictures.js');

const enginePromise = createVornModule().then(makeEngine);

const buffersOf = (...arrays) => arrays.filter(Boolean).map((a) => a.buffer);

// Which hidden pictures each content value holds (VORN_HOLDS_HIDDEN1, _HIDDEN2, _BOTH).
const HELD = { 1: [1], 2: [2], 3: [1, 2] };

function refuseHidden(engine, which, code) {
  throw new EngineError(code, `hidden picture ${which}: ${engine.errorText(code)}`);
}

const operations = {
  // window.vornhold: the programs' outputs on BMP file bytes.
  encode(engine, { carrier, hidden1, hidden2, build }) {
    const { coded, report } = engine.encode(carrier, hidden1, hidden2, build);
    if (hidden1 && report.hidden1 !== VORN.OK) refuseHidden(engine, 1, report.hidden1);
    if (hidden2 && report.hidden2 !== VORN.OK) refuseHidden(engine, 2, report.hidden2);
    return { result: coded, transfer: buffersOf(coded) };
  },

  decode(engine, { coded, build }) {
    const { decoded1, decoded2 } = engine.decode(coded, build);
    return { result: { decoded1, decoded2 }, transfer: buffersOf(decoded1, decoded2) };
  },

  reveal(engine, { picture }) {
    const revealed = engine.reveal(picture);
    return { result: revealed, transfer: buffersOf(revealed) };
  },

  // The page: a chosen file as the BMP the engine works on. A 24-bit BMP is taken as its bytes;
  // BMPs of other depths or row orders and every other format go through the browser's decoder
  // and become the equivalent 24-bit BMP.
  async prepare(engine, { file }, progress) {
    progress('Reading the picture');
    const bytes = new Uint8Array(await file.arrayBuffer());
    let bmp = null;
    let alphaDropped = false;
    if (bytes[0] === 0x42 && bytes[1] === 0x4d) {
      try {
        engine.geometry(bytes);
        bmp = bytes;
      } catch (error) {
        if (error.code !== VORN.BIT_COUNT && error.code !== VORN.NEGATIVE_SIZE) throw error;
      }
    }
    const source = bmp ? 'bmp' : 'browser';
    if (!bmp) {
      progress('Decoding the picture');
      const pixels = await decodeWithBrowser(file);
      if (!pixels) throw new Error('this browser cannot read it as a picture (PNG, JPEG, WebP or BMP)');
      alphaDropped = pixels.alphaDropped;
      bmp = engine.bmpFromRgba(pixels.rgba, pixels.width, pixels.height);
    }
    const geometry = engine.geometry(bmp);
    const preview = previewOf(engine.rgbaOf(bmp));
    return {
      result: { bmp, geometry, source, alphaDropped, preview },
      transfer: [bmp.buffer, ...(preview ? [preview] : [])],
    };
  },

  checkHidden(engine, { carrierGeometry, hidden }) {
    const code = engine.checkHidden(carrierGeometry, hidden);
    return { result: { code, text: engine.errorText(code) }, transfer: [] };
  },

  async encodePage(engine, { carrier, hidden1, hidden2, build }, progress) {
    progress('Hiding the pictures');
    const started = performance.now();
    const { coded, report } = engine.encode(carrier, hidden1, hidden2, build);
    const milliseconds = performance.now() - started;
    if (hidden1 && report.hidden1 !== VORN.OK) refuseHidden(engine, 1, report.hidden1);
    if (hidden2 && report.hidden2 !== VORN.OK) refuseHidden(engine, 2, report.hidden2);
    progress('Writing the PNG');
    const pixels = engine.rgbaOf(coded);
    const png = await pngOf(pixels);
    const preview = previewOf(pixels);
    return {
      result: { coded, png, preview, report, milliseconds },
      transfer: [coded.buffer, ...(preview ? [preview] : [])],
    };
  },

  // Each hidden picture on its own at full strength, and the low bits revealed. build and
  // content are guessed from the picture where they are null.
  async decodePage(engine, { coded, build, content }, progress) {
    progress('Looking at the picture');
    const detected = engine.detect(coded);
    const used = { build: build ?? detected.build, content: content ?? detected.content };
    const pictures = [];
    for (const which of HELD[used.content]) {
      progress(`Taking out hidden picture ${which}`);
      pictures.push({ name: `hidden-${which}`, which, bmp: engine.extract(coded, used.build, used.content, which) });
    }
    progress('Revealing the low bits');
    pictures.push({ name: 'revealed', which: 0, bmp: engine.reveal(coded) });
    const transfer = [];
    for (const picture of pictures) {
      progress(`Writing ${picture.name}.png`);
      const pixels = engine.rgbaOf(picture.bmp);
      picture.png = await pngOf(pixels);
      picture.preview = previewOf(pixels);
      transfer.push(picture.bmp.buffer, ...(picture.preview ? [picture.preview] : []));
    }
    return { result: { detected, used, pictures }, transfer };
  },
};

onmessage = async ({ data: { id, operation, args } }) => {
  const progress = (text) => postMessage({ id, progress: text });
  try {
    const engine = await enginePromise;
    const { result, transfer } = await operations[operation](engine, args, progress);
    postMessage({ id, result }, transfer);
  } catch (error) {
    postMessage({ id, error: error.message, code: error.code ?? null });
  }
};

// vornhold.js: the page's one worker, and window.vornhold, the programs' work for scripts and
// tests, on the bytes (Uint8Array) of PNG, JPEG or BMP files, read as vorn reads them (a BMP the
// engine takes as it stands is used byte for byte, so BMP inputs give the programs' files):
//   encode(carrier, hidden1OrNull, hidden2OrNull, build, {password, fit} = {}) -> Promise of the
//                            bytes of Coded.bmp; with a password, of a keyed picture (below); a
//                            hidden picture of another size than the carrier is scaled into its
//                            frame as fit says: "contain" (the default), "cover" or "stretch"
//   decode(coded, build)  -> Promise of {decoded1, decoded2}, the bytes of Decoded_1/_2.bmp
//   reveal(picture)       -> Promise of the bytes of out.bmp (a BMP is revealed as it stands,
//                            as the reveal filter does; a PNG is read first)
//   extract(coded, {build, content, password, raw} = {}) -> Promise of {build, content, guessed,
//                            keyed, hidden1, hidden2}: each hidden picture the coded picture
//                            holds, on its own and reconstructed, as the BMP bytes vorn decode
//                            writes as PNG (with raw: true, the stored levels at full range, as
//                            vorn decode --raw writes them); build and content are guessed where
//                            they are not given; with a password, they are what the keyed
//                            picture holds (keyed: true), and a picture that is not keyed is
//                            taken out all the same, as vorn decode takes it (keyed: false)
// build is "vornhold2" or "vornhold"; content "hidden1", "hidden2" or "both". A coded picture
// must be a PNG or BMP (a JPEG's compression changes the low bits). A picture that cannot be
// used, or a call that cannot be, rejects the promise with vorn's text for it (a text about a
// picture begins with its name: "carrier: ", "hidden1: ", "coded: "...), the error's code being
// the kind of fault: "usage", "input", "output" or "memory".
// A password (a string, normalised to NFC) keys the hidden pictures as `vorn encode --password`
// does, with a fresh random salt each time, and opens a keyed picture from vorn or this page; a
// wrong password, or a picture changed after it was coded, rejects with "coded: wrong password,
// or the picture was changed after it was coded". Deriving the key takes a few seconds.

const worker = new Worker(new URL('worker.js', import.meta.url), { type: 'module' });
const pending = new Map();
let nextId = 1;

worker.onmessage = ({ data }) => {
  const request = pending.get(data.id);
  if (!request) return;
  if ('progress' in data) {
    request.onProgress?.(data.progress);
    return;
  }
  pending.delete(data.id);
  if ('error' in data) {
    const error = new Error(data.error);
    error.code = data.code;
    request.reject(error);
  } else {
    request.resolve(data.result);
  }
};

// A worker that cannot start (its script or the module failed to load) fails every request.
worker.onerror = (event) => {
  event.preventDefault();
  const error = new Error(`the page's engine could not start (${event.message || 'no reason given'})`);
  for (const request of pending.values()) request.reject(error);
  pending.clear();
};

// Runs one of the worker's operations; onProgress receives its progress reports, {step, done}:
// the kit's step in words, and how far it is, from 0 to 1, or -1 where it cannot be counted.
export function work(operation, args, onProgress) {
  return new Promise((resolve, reject) => {
    const id = nextId++;
    pending.set(id, { resolve, reject, onProgress });
    worker.postMessage({ id, operation, args });
  });
}

function bytes(value, what) {
  if (!(value instanceof Uint8Array)) throw new Error(`${what} must be a Uint8Array`);
  return value;
}

const optionalBytes = (value, what) => (value == null ? null : bytes(value, what));

// Checks the arguments before anything is sent, so that a wrong call rejects like a refusal.
const checked = (body) => (...args) => {
  try {
    return body(...args);
  } catch (error) {
    return Promise.reject(error);
  }
};

// A password given to the API: a string, or absent.
function passwordOf(options) {
  const password = options?.password ?? null;
  if (password !== null && typeof password !== 'string') throw new Error('password must be a string');
  return password;
}

window.vornhold = Object.freeze({
  encode: checked((carrier, hidden1, hidden2, build = 'vornhold2', options = {}) => work('encode', {
    carrier: bytes(carrier, 'carrier'),
    hidden1: optionalBytes(hidden1, 'hidden1'),
    hidden2: optionalBytes(hidden2, 'hidden2'),
    build,
    fit: options?.fit ?? 'contain',
    password: passwordOf(options),
  }).then(({ coded }) => coded.bmp)),
  decode: checked((coded, build = 'vornhold2') => work('decode', { coded: bytes(coded, 'coded'), build })
    .then(({ decoded1, decoded2 }) => ({ decoded1: decoded1.bmp, decoded2: decoded2.bmp }))),
  reveal: checked((picture) => work('reveal', { picture: bytes(picture, 'picture'), filter: true })
    .then(({ bmp }) => bmp)),
  extract: checked((coded, { build = null, content = null, password = null, raw = false } = {}) => work('extract', {
    coded: bytes(coded, 'coded'), build, content, password: passwordOf({ password }), raw: raw === true,
  }).then(({ used, keyed, pictures }) => {
    const guessed = { build: !keyed && build === null, content: !keyed && content === null };
    const found = { build: used.build, content: used.content, guessed, keyed };
    for (const picture of pictures) found[`hidden${picture.which}`] = picture.bmp;
    return found;
  })),
});

// vornhold.js: the page's one worker, and window.vornhold, the programs' work for scripts and
// tests, on BMP file bytes:
//   encode(carrier, hidden1OrNull, hidden2OrNull, build) -> Promise of the bytes of Coded.bmp
//   decode(coded, build)  -> Promise of {decoded1, decoded2}, the bytes of Decoded_1/_2.bmp
//   reveal(picture)       -> Promise of the bytes of out.bmp
// build is "vornhold2" or "vornhold". A picture the engine refuses rejects the promise with the
// engine's text; a hidden picture that cannot go with the carrier is refused too (the programs
// would leave it out), its text beginning "hidden picture N: ".

const BUILD_NUMBERS = { vornhold2: 0, vornhold: 1 };

const worker = new Worker(new URL('worker.js', import.meta.url));
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

// Runs one of the worker's operations; onProgress receives its progress texts.
export function work(operation, args, onProgress) {
  return new Promise((resolve, reject) => {
    const id = nextId++;
    pending.set(id, { resolve, reject, onProgress });
    worker.postMessage({ id, operation, args });
  });
}

function buildNumber(build) {
  if (!(build in BUILD_NUMBERS)) throw new Error(`unknown build "${build}" (vornhold2 or vornhold)`);
  return BUILD_NUMBERS[build];
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

window.vornhold = Object.freeze({
  encode: checked((carrier, hidden1, hidden2, build = 'vornhold2') => work('encode', {
    carrier: bytes(carrier, 'carrier'),
    hidden1: optionalBytes(hidden1, 'hidden1'),
    hidden2: optionalBytes(hidden2, 'hidden2'),
    build: buildNumber(build),
  })),
  decode: checked((coded, build = 'vornhold2') => work('decode', {
    coded: bytes(coded, 'coded'), build: buildNumber(build),
  })),
  reveal: checked((picture) => work('reveal', { picture: bytes(picture, 'picture') })),
});

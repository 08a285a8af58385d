// The built page served on 127.0.0.1 and opened in headless Chromium, for the tests and the
// benchmark.
import { createServer } from 'node:http';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { extname, join, normalize } from 'node:path';
import { tmpdir } from 'node:os';
import puppeteer from 'puppeteer-core';
import { rgbOf } from './bmp.mjs';
import { root } from './native.mjs';

export const site = join(root, 'build/wasm/web/site');
const TYPES = {
  '.html': 'text/html', '.css': 'text/css', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.png': 'image/png',
};

// A static server of the site on a free port of 127.0.0.1; with `extra`, the files of that
// folder are served under /extra/ as well. While `state.down`, it answers nothing but 503, as a
// server out of reach would give nothing.
function serve(extra, state) {
  const server = createServer((request, response) => {
    if (state.down) {
      response.writeHead(503).end();
      return;
    }
    const path = normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname));
    const file = extra && path.startsWith('/extra/')
      ? join(extra, path.slice('/extra/'.length))
      : join(site, path.endsWith('/') ? `${path}index.html` : path);
    try {
      const body = readFileSync(file);
      response.writeHead(200, { 'content-type': TYPES[extname(file)] ?? 'application/octet-stream' });
      response.end(body);
    } catch {
      response.writeHead(404).end();
    }
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// Opens the page; close() ends the browser and the server, and offline(true) takes the page off
// the network and the server down (offline(false) brings both back). Requests that leave
// 127.0.0.1 fail the test that made them: the page must need nothing from elsewhere.
export async function openPage({ width = 1200, height = 900, extra = null, protocolTimeout = undefined } = {}) {
  const state = { down: false };
  const server = await serve(extra, state);
  const profile = mkdtempSync(join(tmpdir(), 'vorn-web-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    protocolTimeout,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      `--user-data-dir=${profile}`],
  });
  const page = await browser.newPage();
  await page.setViewport({ width, height });
  const address = `http://127.0.0.1:${server.address().port}/`;
  const foreign = [];
  const problems = [];
  page.on('request', (request) => {
    const url = request.url();
    if (!url.startsWith(address) && !url.startsWith('blob:') && !url.startsWith('data:')) foreign.push(url);
  });
  page.on('pageerror', (error) => problems.push(error.message));
  page.on('console', (message) => message.type() === 'error' && problems.push(message.text()));
  await page.goto(address, { waitUntil: 'load' });
  await page.waitForSelector('body[data-ready="true"]');
  return {
    page,
    browser,
    address,
    foreign,
    problems,
    async offline(off) {
      state.down = off;
      await page.setOfflineMode(off);
    },
    async close() {
      await browser.close();
      server.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

// Buffers (at any depth of arrays and plain objects) as {base64} for page.evaluate, and back.
const toPage = (value) => (Buffer.isBuffer(value) ? { base64: value.toString('base64') }
  : Array.isArray(value) ? value.map(toPage)
    : value && typeof value === 'object' ? Object.fromEntries(Object.entries(value).map(([k, v]) => [k, toPage(v)]))
      : value);
const fromPage = (value) => (value?.base64 !== undefined ? Buffer.from(value.base64, 'base64')
  : Array.isArray(value) ? value.map(fromPage)
    : value && typeof value === 'object' ? Object.fromEntries(Object.entries(value).map(([k, v]) => [k, fromPage(v)]))
      : value);

// Calls window.vornhold[name](...args) (`how` 'api') or the page worker's operation `name` with
// args[0] (`how` 'worker'), Buffers going as Uint8Arrays, and gives back the result with every
// Uint8Array and Blob in it as a Buffer; a rejection comes back as {error}.
async function callInPage(page, how, name, args) {
  const answer = await page.evaluate(async (how, name, sent) => {
    const base64 = (bytes) => {
      let text = '';
      for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
      return { base64: btoa(text) };
    };
    const inPage = (value) => (value?.base64 !== undefined ? Uint8Array.from(atob(value.base64), (c) => c.charCodeAt(0))
      : Array.isArray(value) ? value.map(inPage)
        : value && typeof value === 'object' ? Object.fromEntries(Object.entries(value).map(([k, v]) => [k, inPage(v)]))
          : value);
    const outOfPage = async (value) => {
      if (value instanceof Blob) return base64(new Uint8Array(await value.arrayBuffer()));
      if (value instanceof Uint8Array) return base64(value);
      if (Array.isArray(value)) return Promise.all(value.map(outOfPage));
      if (value && typeof value === 'object') {
        return Object.fromEntries(await Promise.all(Object.entries(value).map(async ([k, v]) => [k, await outOfPage(v)])));
      }
      return value;
    };
    try {
      const args = inPage(sent);
      const value = how === 'api' ? await window.vornhold[name](...args)
        : await (await import('./vornhold.js')).work(name, args[0]);
      return { value: await outOfPage(value) };
    } catch (error) {
      return { error: error.message };
    }
  }, how, name, toPage(args));
  return answer.error !== undefined ? { error: answer.error } : fromPage(answer.value);
}

// window.vornhold[name](...args), as a script calls it.
export const callApi = (page, name, ...args) => callInPage(page, 'api', name, args);

// The worker's operation with its arguments, as the page calls it: for what window.vornhold does
// not offer (the PNG of a hidden picture).
export const callWorker = (page, operation, args) => callInPage(page, 'worker', operation, [args]);

// A PNG or JPEG (`type`) of a BMP's pixels, written by the browser's own encoder.
export async function pictureFile(page, file, type) {
  const { width, height, rgb } = rgbOf(file);
  return Buffer.from(await page.evaluate(async (width, height, base64, type) => {
    const rgb = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
    const rgba = new Uint8ClampedArray(width * height * 4).map((_, i) => (i % 4 === 3 ? 255 : rgb[(i >> 2) * 3 + (i % 4)]));
    const canvas = new OffscreenCanvas(width, height);
    canvas.getContext('2d').putImageData(new ImageData(rgba, width, height), 0, 0);
    const bytes = new Uint8Array(await (await canvas.convertToBlob({ type, quality: 0.9 })).arrayBuffer());
    return Array.from(bytes);
  }, width, height, rgb.toString('base64'), type));
}

// The pixels of a PNG as the browser decodes it without colour management, R G B.
export async function pngPixels(page, png) {
  return Buffer.from(await page.evaluate(async (base64) => {
    const bytes = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
    const bitmap = await createImageBitmap(new Blob([bytes]), { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
    const context = new OffscreenCanvas(bitmap.width, bitmap.height).getContext('2d');
    context.drawImage(bitmap, 0, 0);
    const rgba = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
    return Array.from(rgba.filter((_, i) => i % 4 !== 3));
  }, png.toString('base64')));
}

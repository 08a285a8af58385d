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
};

// A static server of the site on a free port of 127.0.0.1; with `extra`, the files of that
// folder are served under /extra/ as well.
function serve(extra) {
  const server = createServer((request, response) => {
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

// Opens the page; close() ends the browser and the server. Requests that leave 127.0.0.1 fail
// the test that made them: the page must need nothing from elsewhere.
export async function openPage({ width = 1200, height = 900, extra = null } = {}) {
  const server = await serve(extra);
  const profile = mkdtempSync(join(tmpdir(), 'vorn-web-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
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
    async close() {
      await browser.close();
      server.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

// Calls window.vornhold[name] with byte arguments (Buffers or null; other values go as they are)
// and gives back its result with every Uint8Array (itself or a field of it) turned into a
// Buffer; a rejection comes back as {error}.
export async function callApi(page, name, ...args) {
  const encoded = args.map((a) => (a instanceof Uint8Array ? { base64: Buffer.from(a).toString('base64') } : a));
  const result = await page.evaluate(async (name, encoded) => {
    const toBytes = (a) => (a && a.base64 !== undefined
      ? Uint8Array.from(atob(a.base64), (c) => c.charCodeAt(0)) : a);
    const toBase64 = (bytes) => {
      let text = '';
      for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
      return { base64: btoa(text) };
    };
    try {
      const value = await window.vornhold[name](...encoded.map(toBytes));
      if (value instanceof Uint8Array) return toBase64(value);
      return Object.fromEntries(Object.entries(value).map(([k, v]) => [k, v instanceof Uint8Array ? toBase64(v) : v]));
    } catch (error) {
      return { error: error.message };
    }
  }, name, encoded);
  const decode = (v) => Buffer.from(v.base64, 'base64');
  if (result.error !== undefined) return result;
  if (result.base64 !== undefined) return decode(result);
  return Object.fromEntries(Object.entries(result).map(([k, v]) => [k, v?.base64 !== undefined ? decode(v) : v]));
}

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

// Encoding SIDE x SIDE with two hidden pictures in headless Chromium beside the native library
// and program.
//   node bench.mjs [SIDE]
// The pictures are the photograph-like ones of vorn_sample_pictures. Printed: the native
// library on memory (vorn_bench's case, which may use two threads), the native program's own
// run time (reading and writing files included), the engine's time inside the page's worker,
// and the whole window.vornhold.encode call (copies into and out of the worker included); each
// the median of 5 runs after one that is not counted. The page's output must equal the
// program's.
import { execFileSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { readFileSync, statSync } from 'node:fs';
import { join } from 'node:path';
import * as native from './native.mjs';
import { openPage, site } from './browser.mjs';

const side = Number(process.argv[2] ?? 4096);
const runs = 5;
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const folder = native.scratchFolder('bench');
execFileSync(join(native.root, 'build/default/bench/vorn_sample_pictures'), [folder, String(side), String(side)]);
const read = (name) => readFileSync(join(folder, name));
const inputs = [read('Main.bmp'), read('Hidden 1.bmp'), read('Hidden 2.bmp')];

const benchOutput = execFileSync(join(native.root, 'build/default/bench/vorn_bench'),
  [String(side), String(runs), 'library encode both'], { encoding: 'utf8' });
const libraryMs = Number(/library encode both\s+vornhold2\s+([\d.]+)/.exec(benchOutput)[1]);

const nativeTimes = [];
let expected;
for (let run = 0; run <= runs; run++) {
  const { coded, printed } = await native.encode('vornhold2', ...inputs);
  expected = coded;
  if (run > 0) nativeTimes.push(Number(/Execution time: (-?\d+) ms/.exec(printed)[1]));
}

const session = await openPage({ extra: folder });
const measured = await session.page.evaluate(async (runs) => {
  const { work } = await import('./vornhold.js');
  const load = async (name) => new Uint8Array(await (await fetch(`extra/${name}`)).arrayBuffer());
  const [carrier, hidden1, hidden2] = await Promise.all(['Main.bmp', 'Hidden 1.bmp', 'Hidden 2.bmp'].map(load));
  const engine = [];
  const whole = [];
  let coded;
  for (let run = 0; run <= runs; run++) {
    const started = performance.now();
    coded = await window.vornhold.encode(carrier, hidden1, hidden2, 'vornhold2');
    if (run > 0) whole.push(performance.now() - started);
    const { milliseconds } = await work('encode', { carrier, hidden1, hidden2, build: 'vornhold2' });
    if (run > 0) engine.push(milliseconds);
  }
  const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', coded));
  return { engine, whole, digest: Array.from(digest, (b) => b.toString(16).padStart(2, '0')).join('') };
}, runs);
await session.close();

const same = measured.digest === createHash('sha256').update(expected).digest('hex');
const size = (name) => statSync(join(site, name)).size;
const page = ['index.html', 'style.css', 'page.js', 'vornhold.js', 'worker.js', 'engine.js', 'pictures.js', 'vorn.js', 'vorn.wasm']
  .reduce((sum, name) => sum + size(name), 0);
const nativeMs = median(nativeTimes);
const engineMs = median(measured.engine);
const wholeMs = median(measured.whole);
console.log(`encode ${side}x${side}, two hidden pictures, vornhold2 (median of ${runs}):`);
const times = (ms) => `${ms.toFixed(0)} ms (${(ms / libraryMs).toFixed(2)}x the native library)`;
console.log(`  native library on memory:      ${libraryMs.toFixed(0)} ms`);
console.log(`  native program vornhold2:      ${times(nativeMs)}`);
console.log(`  page, engine in its worker:    ${times(engineMs)}`);
console.log(`  page, window.vornhold.encode:  ${times(wholeMs)}`);
console.log(`  the page's output equals the program's: ${same ? 'yes' : 'NO'}`);
console.log(`size: vorn.wasm ${size('vorn.wasm')} bytes, the whole page ${page} bytes`);
process.exitCode = same ? 0 : 1;

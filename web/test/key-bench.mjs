// Deriving a keyed picture's key at the format's cost (Argon2id, 3 passes over 256 MiB), in
// headless Chromium beside the native library.
//   node key-bench.mjs [RUNS]
// Both sides key a 64 x 64 picture holding hidden picture 2, where the key derivation is nearly
// all the work: natively vorn_keyed_encode in vorn_keyed_fixture, in the page the worker's keyed
// encoding (the engine's time inside the worker, as the page reports it). Printed: the median of
// RUNS runs after one that is not counted (natively; in the page the first run is printed too,
// since it also grows the module's memory by the 256 MiB), and the size of vorn.wasm.
import { statSync } from 'node:fs';
import { join } from 'node:path';
import { bmp } from './bmp.mjs';
import * as native from './native.mjs';
import { openPage, site } from './browser.mjs';

const runs = Number(process.argv[2] ?? 5);
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

native.keyedTime(1);  // not counted: the first run touches the memory first
const nativeLine = native.keyedTime(runs);

const carrier = bmp({ width: 64, height: 64, seed: 1 }).toString('base64');
const hidden2 = bmp({ width: 64, height: 64, seed: 2 }).toString('base64');
const session = await openPage();
const measured = await session.page.evaluate(async (runs, carrier, hidden2) => {
  const { work } = await import('./vornhold.js');
  const bytes = (text) => Uint8Array.from(atob(text), (c) => c.charCodeAt(0));
  const times = [];
  for (let run = 0; run <= runs; run++) {
    const { milliseconds } = await work('encode', {
      carrier: bytes(carrier), hidden1: null, hidden2: bytes(hidden2), build: 'vornhold2',
      password: 'password', outputs: [],
    });
    times.push(milliseconds);
  }
  return { agent: navigator.userAgent, times };
}, runs, carrier, hidden2);
await session.close();

const [first, ...rest] = measured.times;
console.log(`keying 64x64 at the format's cost (Argon2id, 3 passes over 256 MiB):`);
console.log(`  ${nativeLine}`);
console.log(`  headless Chromium: median of ${runs} runs: ${median(rest).toFixed(0)} ms wall-clock ` +
  `(first run ${first.toFixed(0)} ms); ${(median(rest) / Number(/([\d.]+) ms wall/.exec(nativeLine)[1])).toFixed(2)}x native`);
console.log(`  ${measured.agent.match(/(HeadlessChrome|Chrome)\/[\d.]+/)?.[0] ?? measured.agent}`);
console.log(`size: vorn.wasm ${statSync(join(site, 'vorn.wasm')).size} bytes`);

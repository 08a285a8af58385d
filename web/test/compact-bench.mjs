// The page's default (compact) form in headless Chromium beside vorn on the same pictures:
// hiding two SIDE x SIDE pictures in a SIDE x SIDE carrier, and taking them out again.
//   node compact-bench.mjs [SIDE] [RUNS]
// The pictures are the photograph-like ones of vorn_sample_pictures. vorn runs as a user runs it
// (--compact, as the page asks; reading the BMPs, writing the PNG), on one thread and on the
// cores it finds. The page runs as its buttons do: the pictures read into the worker, hidden,
// and the coded picture given back as BMP, PNG and preview; then the coded PNG read and its
// hidden pictures taken out with the same outputs. Each time is the median of RUNS (3) runs after one that is not counted. The kit's
// steps are timed from its progress reports: every step that took over a second is listed, with
// whether its bar showed an amount. Exits with failure when a step over a second showed none.
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import * as native from './native.mjs';
import { openPage } from './browser.mjs';

const side = Number(process.argv[2] ?? 4096);
const runs = Number(process.argv[3] ?? 3);
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const folder = native.scratchFolder('compact-bench');
execFileSync(join(native.root, 'build/default/bench/vorn_sample_pictures'), [folder, String(side), String(side)]);
const vornProgram = join(native.root, 'build/default/vorn/vorn');

// vorn's run time in milliseconds, the median of `runs` after one (what it prints is not shown).
function timeVorn(args) {
  const times = [];
  for (let run = 0; run <= runs; run++) {
    const started = process.hrtime.bigint();
    execFileSync(vornProgram, args, { cwd: folder, stdio: 'ignore' });
    if (run > 0) times.push(Number(process.hrtime.bigint() - started) / 1e6);
  }
  return median(times);
}

const hideArgs = ['encode', '--compact', 'Main.bmp', '--hidden1', 'Hidden 1.bmp', '--hidden2', 'Hidden 2.bmp', '-f'];
const vornMs = {
  hide1: timeVorn([...hideArgs, '-o', 'coded.png', '--threads', '1']),
  hide: timeVorn([...hideArgs, '-o', 'coded.png']),
  out1: timeVorn(['decode', 'coded.png', '-o', 'out', '-f', '--threads', '1']),
  out: timeVorn(['decode', 'coded.png', '-o', 'out', '-f']),
};

// A whole run may take longer than the browser's calls are given by default.
const session = await openPage({ extra: folder, protocolTimeout: 0 });
const measured = await session.page.evaluate(async (runs) => {
  const { work } = await import('./vornhold.js');
  const load = async (name) => new Uint8Array(await (await fetch(`extra/${name}`)).arrayBuffer());
  const outputs = ['bmp', 'png', 'preview'];
  // Runs body(progress) and gives back its milliseconds and the kit's steps: {step, ms, amount},
  // amount telling whether any report of the step carried one.
  const timed = async (body) => {
    const steps = [];
    const started = performance.now();
    const progress = ({ step, done }) => {
      const now = performance.now();
      const last = steps.at(-1);
      if (last?.step === step) {
        last.amount ||= done >= 0;
        last.reports++;
        return;
      }
      if (last) last.ms = now - last.started;
      steps.push({ step, started: now, ms: 0, amount: done >= 0, reports: 1 });
    };
    const value = await body(progress);
    const ended = performance.now();
    if (steps.length) steps.at(-1).ms = ended - steps.at(-1).started;
    return { value, ms: ended - started, steps };
  };
  const hides = [];
  const outs = [];
  let slow = [];
  for (let run = 0; run <= runs; run++) {
    const [carrier, hidden1, hidden2] = await Promise.all(['Main.bmp', 'Hidden 1.bmp', 'Hidden 2.bmp'].map(load));
    const hide = await timed(async (progress) => {
      const hold = (file, name) => work('hold', { file, name }, progress);
      const ids = [await hold(carrier, 'Main.bmp'), await hold(hidden1, 'Hidden 1.bmp'), await hold(hidden2, 'Hidden 2.bmp')]
        .map(({ id }) => id);
      const result = await work('encode', { carrier: ids[0], hidden1: ids[1], hidden2: ids[2], form: 'compact',
        build: 'vornhold2', outputs }, progress);
      for (const id of ids) await work('release', { id });
      return result;
    });
    const png = new Uint8Array(await hide.value.coded.png.arrayBuffer());
    const out = await timed(async (progress) => {
      const { id } = await work('hold', { file: png, role: 'coded', name: 'coded.png' }, progress);
      const result = await work('extract', { coded: id, outputs }, progress);
      await work('release', { id });
      return result;
    });
    if (out.value.pictures.length !== 2) throw new Error('the page did not take out both pictures');
    if (run > 0) {
      hides.push(hide.ms);
      outs.push(out.ms);
    }
    slow = [...hide.steps, ...out.steps].filter(({ ms }) => ms > 1000);
    if (run === runs) slow = slow.map(({ step, ms, amount, reports }) => ({ step, ms, amount, reports }));
  }
  return { hides, outs, slow };
}, runs);
await session.close();

const pageHide = median(measured.hides);
const pageOut = median(measured.outs);
const seconds = (ms) => `${(ms / 1000).toFixed(2)} s`;
const ratio = (ms, base) => `${(ms / base).toFixed(2)}x`;
console.log(`compact form, two hidden pictures, ${side}x${side} (median of ${runs}):`);
console.log(`  vorn encode, one thread:  ${seconds(vornMs.hide1)}`);
console.log(`  vorn encode:              ${seconds(vornMs.hide)}`);
console.log(`  page hide:                ${seconds(pageHide)} (${ratio(pageHide, vornMs.hide1)} vorn on one thread, ` +
  `${ratio(pageHide, vornMs.hide)} vorn)`);
console.log(`  vorn decode, one thread:  ${seconds(vornMs.out1)}`);
console.log(`  vorn decode:              ${seconds(vornMs.out)}`);
console.log(`  page take out:            ${seconds(pageOut)} (${ratio(pageOut, vornMs.out1)} vorn on one thread, ` +
  `${ratio(pageOut, vornMs.out)} vorn)`);
console.log('steps of the page over a second (last run):');
for (const { step, ms, amount, reports } of measured.slow) {
  console.log(`  ${seconds(ms).padStart(8)}  ${step}: ${amount ? `an amount (${reports} reports)` : 'NO AMOUNT'}`);
}
if (measured.slow.length === 0) console.log('  none');
process.exitCode = measured.slow.every(({ amount }) => amount) ? 0 : 1;

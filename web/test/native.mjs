// The native programs, run as a user runs them, for the outputs the page must equal.
//
// Each program is copied into a scratch folder with its inputs and started with its input's
// name as argument (so it works in its own folder); once it has printed its run time it would
// only pause, so it is stopped there.
import { execFile, execFileSync, spawn } from 'node:child_process';
import { copyFileSync, mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { tmpdir } from 'node:os';

export const root = new URL('../../', import.meta.url).pathname;
const programs = {
  vornhold2: join(root, 'build/default/coder/vornhold2'),
  vornhold: join(root, 'build/default/coder/vornhold'),
  vornlens: join(root, 'build/default/filter/vornlens'),
  vorn: join(root, 'build/default/vorn/vorn'),
  keyedFixture: join(root, 'build/default/tests/vorn_keyed_fixture'),
};

export function scratchFolder(name) {
  return mkdtempSync(join(process.env.VORN_WEB_SCRATCH ?? tmpdir(), `${name}-`));
}

function run(folder, program, argument) {
  const path = join(folder, program);
  copyFileSync(programs[program], path);
  return new Promise((resolve, reject) => {
    const child = spawn(path, [argument], { stdio: ['ignore', 'pipe', 'inherit'] });
    let printed = '';
    const timer = setTimeout(() => child.kill(), 120_000);
    child.stdout.on('data', (chunk) => {
      printed += chunk;
      if (/Execution time: -?\d+ ms/.test(printed)) child.kill();
    });
    child.on('error', reject);
    child.on('close', () => {
      clearTimeout(timer);
      if (/Done!/.test(printed)) resolve(printed);
      else reject(new Error(`${program} ${argument} did not finish: ${printed}`));
    });
  });
}

// Coded.bmp from a carrier and the hidden pictures that are not null.
export async function encode(build, carrier, hidden1, hidden2) {
  const folder = scratchFolder(`encode-${build}`);
  writeFileSync(join(folder, 'Main.bmp'), carrier);
  if (hidden1) writeFileSync(join(folder, 'Hidden 1.bmp'), hidden1);
  if (hidden2) writeFileSync(join(folder, 'Hidden 2.bmp'), hidden2);
  const printed = await run(folder, build, 'Main.bmp');
  return { coded: readFileSync(join(folder, 'Coded.bmp')), printed };
}

export async function decode(build, coded) {
  const folder = scratchFolder(`decode-${build}`);
  writeFileSync(join(folder, 'Coded.bmp'), coded);
  await run(folder, build, 'Coded.bmp');
  return {
    decoded1: readFileSync(join(folder, 'Decoded_1.bmp')),
    decoded2: readFileSync(join(folder, 'Decoded_2.bmp')),
  };
}

export async function reveal(picture) {
  const folder = scratchFolder('reveal');
  writeFileSync(join(folder, 'in_main.bmp'), picture);
  await run(folder, 'vornlens', 'in_main.bmp');
  return readFileSync(join(folder, 'out.bmp'));
}

// Runs `vorn ARGS...` in `folder`: {status, stderr}; a run that fails is an answer, not an error.
export function vorn(folder, ...args) {
  // An encode is in the classic form, which window.vornhold.encode gives unless asked for another,
  // unless it names the compact form.
  const classic = args[0] === 'encode' && !args.includes('--compact');
  const words = classic ? ['encode', '--classic', ...args.slice(1)] : args;
  return new Promise((resolve) => {
    execFile(programs.vorn, words, { cwd: folder }, (error, stdout, stderr) => {
      resolve({ status: error ? error.code : 0, stderr });
    });
  });
}

// How long the native library takes to key a small picture at the format's cost, which is
// nearly all deriving the key: its printed line.
export function keyedTime(runs) {
  return execFileSync(programs.keyedFixture, ['time', String(runs)], { encoding: 'utf8' }).trim();
}

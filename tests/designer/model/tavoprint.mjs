// The engine's command-line tool for the model tests: its check and its preview, with the
// control registered into a registry file of the test's own.
import { execFileSync, spawnSync } from 'node:child_process';
import { existsSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { inflateSync } from 'node:zlib';

import { sourceDir } from './fixtures.mjs';

const buildDir = path.resolve(process.env.TAVO_BUILD_DIR ?? path.join(sourceDir, 'build'));
const binary = path.join(buildDir, 'bin', 'tavoprint');
const module = path.join(buildDir, 'bin', 'TavoPreFmtPrinter2X.so');

/** Why the tool cannot be used here (a test's skip reason), or false when it can. */
export const tavoprintMissing = existsSync(binary) && existsSync(module)
  ? false : `tavoprint is not built in ${buildDir} (set TAVO_BUILD_DIR)`;

/** Runs `fn` with a tavoprint function taking the tool's arguments, in a scratch folder. */
export function withTavoprint(fn) {
  const work = mkdtempSync(path.join(tmpdir(), 'tavo-model-'));
  const registry = path.join(work, 'registry.reg');
  try {
    execFileSync(binary, ['register', '--registry', registry, module], { stdio: 'pipe' });
    const file = (name, text) => {
      const target = path.join(work, name);
      writeFileSync(target, text);
      return target;
    };
    const run = (...args) => {
      const result = spawnSync(binary, [...args, '--registry', registry], { encoding: 'utf8', env: { ...process.env, QT_QPA_PLATFORM: 'offscreen' } });
      return { status: result.status, output: `${result.stdout}${result.stderr}` };
    };
    return fn({ run, file, work });
  } finally {
    rmSync(work, { recursive: true, force: true });
  }
}

/**
 * The pixels of an 8-bit RGB or RGBA PNG without interlacing, as the preview writes them.
 * @param {Buffer} png
 */
export function readPng(png) {
  let at = 8;
  let header = null;
  const data = [];
  while (at < png.length) {
    const length = png.readUInt32BE(at);
    const type = png.toString('latin1', at + 4, at + 8);
    const body = png.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') header = { width: body.readUInt32BE(0), height: body.readUInt32BE(4), depth: body[8], colour: body[9], interlace: body[12] };
    if (type === 'IDAT') data.push(body);
    at += 12 + length;
  }
  if (!header || header.depth !== 8 || ![2, 6].includes(header.colour) || header.interlace !== 0) throw new Error('unsupported PNG');
  const channels = header.colour === 6 ? 4 : 3;
  const stride = header.width * channels;
  const raw = inflateSync(Buffer.concat(data));
  const pixels = Buffer.alloc(stride * header.height);
  for (let y = 0; y < header.height; y += 1) {
    const filter = raw[y * (stride + 1)];
    for (let x = 0; x < stride; x += 1) {
      const value = raw[y * (stride + 1) + 1 + x];
      const a = x >= channels ? pixels[y * stride + x - channels] : 0;
      const b = y > 0 ? pixels[(y - 1) * stride + x] : 0;
      const c = x >= channels && y > 0 ? pixels[(y - 1) * stride + x - channels] : 0;
      const p = a + b - c;
      const paeth = Math.abs(p - a) <= Math.abs(p - b) && Math.abs(p - a) <= Math.abs(p - c) ? a : Math.abs(p - b) <= Math.abs(p - c) ? b : c;
      const predictor = [0, a, b, (a + b) >> 1, paeth][filter];
      pixels[y * stride + x] = (value + predictor) & 0xff;
    }
  }
  return {
    width: header.width,
    height: header.height,
    /** The grey level (mean of red, green and blue) at a pixel. */
    grey(x, y) {
      const i = y * stride + x * channels;
      return (pixels[i] + pixels[i + 1] + pixels[i + 2]) / 3;
    },
  };
}

// What the end-to-end tests of the bridge stand on: the built tavobridge on a free port with a
// registry, origin policies and files folder of its own; loopback HTTP servers for pages and
// downloads; headless Chromium and Firefox (browsers.mjs).
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';
import { fileURLToPath } from 'node:url';

export { browserNames, launchBrowser } from './browsers.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
export const sourceDir = path.resolve(here, '../../..');
export const buildDir = path.resolve(process.env.TAVO_BUILD_DIR ?? path.join(sourceDir, 'build'));
export const bridgeProgram = path.join(buildDir, 'bin', 'tavobridge');
export const invoiceData = fs.readFileSync(path.join(sourceDir, 'examples/invoice/data.xml'), 'utf8');
export const invoiceRule = fs.readFileSync(path.join(sourceDir, 'examples/invoice/rule.xml'), 'utf8');

/** The sample invoice with another invoice number, which is also its print job's title. */
export function invoiceNumbered(number) {
  return invoiceData.replace(/<fphm>\d+<\/fphm>/, `<fphm>${number}</fphm>`);
}
export const invoiceTitle = (number) => `票据打印，发票号码: ${number}`;

/** The fields pdfinfo reports of a PDF. */
export function pdfInfo(file) {
  const run = spawnSync('pdfinfo', ['-enc', 'UTF-8', file], { encoding: 'utf8' });
  if (run.status !== 0) throw new Error(`pdfinfo ${file}: ${run.stderr}`);
  const fields = {};
  for (const line of run.stdout.split('\n')) {
    const colon = line.indexOf(':');
    if (colon > 0) fields[line.slice(0, colon)] = line.slice(colon + 1).trim();
  }
  return fields;
}

/** The folder name of an origin's files: scheme_host_port, other bytes percent-encoded. */
export function originFolderName(origin) {
  const url = new URL(origin);
  const port = url.port || (url.protocol === 'https:' ? '443' : '80');
  const encode = (part) => [...Buffer.from(part)].map((byte) => (/[A-Za-z0-9.-]/.test(String.fromCharCode(byte))
    ? String.fromCharCode(byte) : `%${byte.toString(16).toUpperCase().padStart(2, '0')}`)).join('');
  return [url.protocol.slice(0, -1), url.hostname, port].map(encode).join('_');
}

/**
 * Starts tavobridge; `stop()` ends it and removes its folder. Its machine policy is a file of its
 * own (`machinePolicy`, missing unless written) unless the environment given names one.
 */
export async function startBridge({ allow = [], policy = '', env: extraEnv = {}, stdio = ['ignore', 'pipe', 'pipe'] } = {}) {
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'tavobridge-'));
  const files = {
    registry: path.join(work, 'registry.reg'),
    policy: path.join(work, 'bridge-origins'),
    machinePolicy: path.join(work, 'machine', 'bridge-origins'),
    files: path.join(work, 'files'),
  };
  fs.writeFileSync(files.policy, policy);
  const args = ['--port', '0', '--registry', files.registry, '--policy', files.policy,
    '--files', files.files, ...allow.flatMap((origin) => ['--allow', origin])];
  // No display unless the test gives one: the bridge chooses offscreen itself, and unknown
  // origins are refused.
  const env = { ...process.env };
  delete env.DISPLAY;
  delete env.WAYLAND_DISPLAY;
  delete env.QT_QPA_PLATFORM;
  env.TAVO_MACHINE_POLICY = files.machinePolicy;
  Object.assign(env, extraEnv);
  const child = spawn(bridgeProgram, args, { env, stdio });
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  const port = await new Promise((resolve, reject) => {
    const lines = readline.createInterface({ input: child.stdout });
    lines.on('line', (line) => {
      const found = /^tavobridge listening on 127\.0\.0\.1:(\d+)$/.exec(line);
      if (found) resolve(Number(found[1]));
    });
    child.on('exit', (code) => reject(new Error(`tavobridge ended (${code}): ${stderr}`)));
  });
  return {
    port, work, ...files, child,
    get stderr() { return stderr; },
    /** The folder of an origin's files. */
    folderOf: (origin) => path.join(files.files, originFolderName(origin)),
    /** The bridge's worker processes, oldest first. */
    workers() {
      const run = spawnSync('ps', ['-o', 'pid=', '--ppid', String(child.pid), '--sort', 'start_time'], { encoding: 'utf8' });
      return run.stdout.split('\n').map((s) => Number(s.trim())).filter(Boolean);
    },
    async stop() {
      if (child.exitCode === null) {
        child.kill('SIGTERM');
        await new Promise((resolve) => child.once('exit', resolve));
      }
      fs.rmSync(work, { recursive: true, force: true });
    },
  };
}

/**
 * This machine's first address outside loopback and link-local, where a download for a page
 * may go (the bridge refuses loopback ones); undefined when it has none.
 */
export function outsideAddress() {
  for (const entries of Object.values(os.networkInterfaces())) {
    for (const entry of entries ?? []) {
      if (entry.family === 'IPv4' && !entry.internal && !entry.address.startsWith('169.254.')) return entry.address;
    }
  }
  return undefined;
}

/**
 * An HTTP server on `host` (default loopback) answering with `handler`; resolves to
 * {server, port, origin, close}.
 */
export async function startServer(handler, host = '127.0.0.1') {
  const server = http.createServer(handler);
  await new Promise((resolve) => server.listen(0, host, resolve));
  const { port } = server.address();
  return {
    server, port, origin: `http://${host}:${port}`,
    close: () => new Promise((resolve) => { server.closeAllConnections(); server.close(resolve); }),
  };
}

/** A server of one empty page, the origin the tests' pages come from. */
export const startPageServer = () => startServer((request, response) => {
  response.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' });
  response.end('<!doctype html><meta charset="utf-8"><title>page</title>');
});

/** A new page of `browser` (launchBrowser's) at `url` with the client imported as window.tavo. */
export async function openPage(browser, url, bridgePort) {
  const page = await browser.newPage();
  await page.goto(url);
  await page.evaluate(async (port) => {
    window.tavo = await import(`http://127.0.0.1:${port}/tavo.js`);
  }, bridgePort);
  return page;
}

/**
 * Runs `body(control, tavo, args, attempt)` inside a new page at `url` connected to the bridge on `port`
 * (`attempt(call)` gives {value} or the call's {code, hresult, message}); resolves to {value} or
 * {error: {name, code, hresult, message}}. The page closes after.
 */
export async function runInPage(browser, url, port, body, ...args) {
  const page = await openPage(browser, url, port);
  try {
    return await page.evaluate(async ([source, values]) => {
      const control = await window.tavo.connect({ port: Number(values[0]) });
      // A call's value, or the error it failed with: for bodies that try several calls.
      const attempt = async (call) => {
        try {
          return { value: await call() };
        } catch (error) {
          return { code: error.code, hresult: error.hresult, message: error.message };
        }
      };
      const outcome = {};
      try {
        // eslint-disable-next-line no-new-func
        outcome.value = await new Function('control', 'tavo', 'args', 'attempt',
          `return (${source})(control, tavo, args, attempt);`)(control, window.tavo, values.slice(1), attempt);
      } catch (error) {
        outcome.error = { name: error.name, code: error.code, hresult: error.hresult, message: error.message };
      }
      control.close();
      return outcome;
    }, [body.toString(), [port, ...args]]);
  } finally {
    await page.close();
  }
}

// A page's preview dialog waits modally in its worker while the page's further calls are
// served, as the system's message loop served the host; on a display of its own (Xvfb).
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { after, before, test } from 'node:test';
import { invoiceData, invoiceRule, startBridge } from './harness.mjs';
import { rawWebSocket } from './rawSocket.mjs';

const origin = 'http://127.0.0.1:1';
let xvfb;
let bridge;

before(async () => {
  xvfb = spawn('Xvfb', ['-displayfd', '1', '-screen', '0', '1280x1024x24', '-nolisten', 'tcp'], { stdio: ['ignore', 'pipe', 'ignore'] });
  const display = await new Promise((resolve, reject) => {
    xvfb.stdout.once('data', (chunk) => resolve(`:${String(chunk).trim()}`));
    xvfb.once('exit', (code) => reject(new Error(`Xvfb ended (${code})`)));
  });
  bridge = await startBridge({ allow: [origin], env: { DISPLAY: display } });
});
after(async () => {
  await bridge?.stop();
  xvfb?.kill();
});

test('while the preview waits, the page is served and a second preview returns at once', { timeout: 60000 }, async () => {
  const ws = await rawWebSocket(bridge.port, { origin });
  ws.call(1, 'PreviewXmlData', [invoiceData, invoiceRule, '']);
  ws.call(2, 'GetOcxVersion', ['2.0.0.2']);
  ws.call(3, 'PreviewXmlData', [invoiceData, invoiceRule, '']);
  ws.call(4, 'GetDefaultPrinter', []);
  assert.deepEqual(await ws.next(), { jsonrpc: '2.0', id: 2, result: 1 });
  assert.deepEqual(await ws.next(), { jsonrpc: '2.0', id: 3, result: null });
  const printer = await ws.next();
  assert.equal(printer.id, 4);
  assert.equal(typeof printer.result, 'string');
  // The first preview is still open; the page leaving ends its worker, dialog and all.
  const [worker] = bridge.workers();
  assert.ok(worker);
  ws.close();
  for (let i = 0; i < 50 && bridge.workers().includes(worker); ++i) await new Promise((r) => setTimeout(r, 100));
  assert.ok(!bridge.workers().includes(worker), 'the worker ended with its page');
});

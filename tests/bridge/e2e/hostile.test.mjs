// A hostile page, over plain sockets as no browser would stop it: control characters in every
// path, links planted in its folder, downloads aimed at this machine's own services, answers
// that would tell it where its folder is, log lines it would forge. None of it leaves the
// page's folder, and the bridge serves on.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import {
  invoiceData, invoiceRule, outsideAddress, sourceDir, startBridge, startServer,
} from './harness.mjs';
import { rawHttp, rawWebSocket, statusOf } from './rawSocket.mjs';

const origin = 'https://hostile.example';
let bridge, ws, folder, outside;
let nextId = 1;

before(async () => {
  bridge = await startBridge({ allow: [origin], env: { HOSTILE_HOST_SECRET: 'kept from workers' },
    stdio: ['ignore', 'pipe', 'pipe', 'pipe'] });
  ws = await rawWebSocket(bridge.port, { origin });
  folder = bridge.folderOf(origin);
  outside = path.join(bridge.work, 'outside');
  fs.mkdirSync(outside);
});
after(async () => {
  ws?.close();
  await bridge?.stop();
});

/** One call over the page's connection; resolves to its result or {error}. */
async function call(method, params) {
  const id = nextId++;
  ws.call(id, method, params);
  const answer = await ws.next();
  assert.equal(answer.id, id);
  return answer.error ? { error: answer.error } : { result: answer.result };
}

const denied = (answer) => answer.error?.data?.hresult === '0x80070005';

describe('paths', () => {
  test('a control character in any path argument of any method is refused before anything happens', async () => {
    assert.deepEqual(await call('tavo.writeFile', ['ok.txt', 'x']), { result: null });
    const target = path.join(outside, 'reached.txt');
    const form = fs.readFileSync(path.join(sourceDir, 'examples/invoice/form.png'));
    fs.writeFileSync(path.join(outside, 'form.png'), form);
    const uses = [
      (p) => ['downloadImg', ['http://192.0.2.1/x.png', p]],
      (p) => ['tavo.writeFile', [p, 'written']],
      (p) => ['SetDefaultPrinter', [`pdf:${p}`]],
      (p) => ['PreviewXmlData', ['<a/>', '<a/>', p.replace('reached.txt', 'form.png')]],
      (p) => ['tavo.renderPreview', [invoiceData, invoiceRule, p.replace('reached.txt', 'form.png')]],
      (p) => ['GetVer', [p]],
    ];
    const controls = [...Array(32).keys(), 127].map((code) => String.fromCharCode(code));
    for (const c of controls) {
      // What the system sees cut at the character is inside; the rest climbs out.
      const hostile = `ok.txt${c}/${'../'.repeat(12)}${target.slice(1)}`;
      for (const use of uses) {
        const [method, params] = use(hostile);
        const answer = await call(method, params);
        assert.ok(denied(answer), `${method} with U+${c.charCodeAt(0).toString(16)}: ${JSON.stringify(answer)}`);
      }
    }
    assert.deepEqual(fs.readdirSync(outside), ['form.png']);
    // A picture given as Base64 text in lines is no path: its line breaks pass.
    const wrapped = form.toString('base64').replace(/.{76}/g, '$&\r\n');
    const picture = await call('tavo.renderPreview', [invoiceData, invoiceRule, wrapped]);
    assert.ok(picture.result?.png, JSON.stringify(picture.error));
  });

  test('links planted in the folder lead no write outside', async () => {
    fs.symlinkSync(outside, path.join(folder, 'planted'));
    fs.symlinkSync(path.join(outside, 'planted.txt'), path.join(folder, 'planted.txt'));
    for (const p of ['planted/x.txt', 'planted.txt']) {
      assert.ok(denied(await call('tavo.writeFile', [p, 'x'])), p);
      assert.ok(denied(await call('SetDefaultPrinter', [`pdf:${p}`])), p);
    }
    assert.deepEqual(fs.readdirSync(outside).sort(), ['form.png']);
  });
});

describe('downloads', () => {
  test('loopback addresses, and a redirect to one, are refused and write nothing', async (t) => {
    const local = await startServer((request, response) => response.end('local secret'));
    for (const url of [`http://127.0.0.1:${local.port}/`, `http://[::1]:${local.port}/`,
      `http://localhost:${local.port}/`, `http://127.1.2.3:${local.port}/`]) {
      const answer = await call('downloadImg', [url, 'local.txt']);
      assert.ok(denied(answer), `${url}: ${JSON.stringify(answer)}`);
      assert.match(answer.error.message, /may not reach the address (127\.|::1)/);
    }
    await local.close();
    if (!outsideAddress()) return t.skip('this machine has no address outside loopback');
    const redirecting = await startServer((request, response) => {
      response.writeHead(302, { Location: `http://127.0.0.1:${bridge.port}/status` });
      response.end();
    }, outsideAddress());
    const redirected = await call('downloadImg', [`${redirecting.origin}/go`, 'local.txt']);
    await redirecting.close();
    assert.ok(redirected.error, JSON.stringify(redirected));
    assert.ok(!fs.existsSync(path.join(folder, 'local.txt')));
  });
});

describe('what the page is told', () => {
  test('answers name paths inside the folder relative to it, never where the folder is', async () => {
    assert.deepEqual(await call('SetDefaultPrinter', ['pdf:mine.pdf']), { result: true });
    assert.deepEqual(await call('GetDefaultPrinter', []), { result: 'pdf:mine.pdf' });
    await call('PrintXmlData', [invoiceData, invoiceRule]);
    const printed = await call('tavo.lastPrint', []);
    assert.equal(printed.result.printed, true);
    assert.equal(printed.result.printer, 'pdf:mine.pdf');
    // A folder where the PDF should go: the print fails, and says so in the page's terms.
    fs.mkdirSync(path.join(folder, 'taken.pdf'));
    await call('SetDefaultPrinter', ['pdf:taken.pdf']);
    await call('PrintXmlData', [invoiceData, invoiceRule]);
    const failed = await call('tavo.lastPrint', []);
    assert.equal(failed.result.printed, false);
    assert.match(failed.result.message, /taken\.pdf/);
    for (const answer of [printed, failed]) assert.ok(!JSON.stringify(answer).includes(bridge.work), JSON.stringify(answer));
  });

  test('log lines show page-controlled text escaped and cut short', async () => {
    await call('Evil\u001b[31m\nforged: line', []);
    await call('x'.repeat(5000), []);
    assert.match(bridge.stderr, /Evil\\x1b\[31m\\x0aforged: line/);
    assert.doesNotMatch(bridge.stderr, /\u001b/);
    assert.doesNotMatch(bridge.stderr, /x{201}/);
  });
});

describe('the worker', () => {
  test('starts with a small environment, no descriptor of the bridge and SIGCHLD at its default', async () => {
    const [worker] = bridge.workers();
    const environment = fs.readFileSync(`/proc/${worker}/environ`, 'utf8').split('\0');
    assert.ok(environment.some((entry) => entry.startsWith('HOME=')));
    assert.ok(!environment.some((entry) => entry.startsWith('HOSTILE_HOST_SECRET=')));
    const temporary = environment.find((entry) => entry.startsWith('TMPDIR=')).slice(7);
    assert.match(temporary, /tavo-worker-/);
    const inherited = fs.readlinkSync(`/proc/${bridge.child.pid}/fd/3`);
    const open = fs.readdirSync(`/proc/${worker}/fd`).map((fd) => fs.readlinkSync(`/proc/${worker}/fd/${fd}`));
    assert.ok(!open.includes(inherited), `the worker holds the bridge's ${inherited}`);
    const ignored = BigInt(`0x${/^SigIgn:\s*(\w+)/m.exec(fs.readFileSync(`/proc/${worker}/status`, 'utf8'))[1]}`);
    assert.equal(ignored & (1n << 16n), 0n, 'SIGCHLD is ignored');
  });
});

describe('headers', () => {
  test('the bridge\'s own pages are never framed; preflights name no header the page asked for', async () => {
    const get = (p) => rawHttp(bridge.port, [`GET ${p} HTTP/1.1`, `Host: 127.0.0.1:${bridge.port}`]);
    for (const page of ['/', '/designer/']) {
      const answer = await get(page);
      assert.equal(statusOf(answer), 200, page);
      assert.match(answer, /\r\nContent-Security-Policy: [^\r]*frame-ancestors 'none'/, page);
      assert.match(answer, /\r\nContent-Security-Policy: default-src /, page);
      assert.match(answer, /\r\nX-Frame-Options: DENY\r\n/, page);
    }
    assert.equal(statusOf(await get('/designer/favicon.svg')), 200);
    const preflight = await rawHttp(bridge.port, ['OPTIONS /status HTTP/1.1', `Host: 127.0.0.1:${bridge.port}`,
      `Origin: ${origin}`, 'Access-Control-Request-Method: GET', 'Access-Control-Request-Headers: x-evil\rInjected: yes']);
    assert.equal(statusOf(preflight), 204);
    assert.doesNotMatch(preflight, /x-evil|Injected|Access-Control-Allow-Headers/i);
  });
});

test('a display that cannot be opened fails the preview with the reason, and the worker lives', async () => {
  const headless = await startBridge({ allow: [origin], env: { DISPLAY: ':9871' } });
  try {
    assert.match(headless.stderr, /no origin prompt \(cannot open display :9871\)/);
    const page = await rawWebSocket(headless.port, { origin });
    page.call(1, 'PreviewXmlData', [invoiceData, invoiceRule, '']);
    const answer = await page.next();
    assert.equal(answer.error?.message, 'Preview needs a display: cannot open display :9871');
    page.call(2, 'GetOcxVersion', ['2.0.0.2']);
    assert.equal((await page.next()).result, 1);
    page.close();
  } finally {
    await headless.stop();
  }
});

// The bridge's rules for clients that break them, over plain sockets: the Host header, the
// origins, the routes, malformed requests and the limits. After each, the bridge serves on.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import { after, before, describe, test } from 'node:test';
import { outsideAddress, startBridge, startServer } from './harness.mjs';
import { rawHttp, rawWebSocket, statusOf } from './rawSocket.mjs';

const allowed = 'http://127.0.0.1:1';
// Four more origins the bridge allows, to fill its 32 connections 8 at a time.
const more = ['http://127.0.0.1:2', 'http://127.0.0.1:3', 'http://127.0.0.1:4', 'http://127.0.0.1:5'];
let bridge;
let stalled;

before(async () => {
  // Downloads from this server never finish: calls to it stay pending in the worker (downloads
  // for a page never reach a loopback address).
  stalled = await startServer(() => {}, outsideAddress() ?? '127.0.0.1');
  bridge = await startBridge({ allow: [allowed, ...more], policy: 'block http://blocked.example\n' });
});
after(async () => {
  await bridge?.stop();
  await stalled?.close();
});

const get = (path, host = `127.0.0.1:${bridge.port}`, extra = []) =>
  rawHttp(bridge.port, [`GET ${path} HTTP/1.1`, `Host: ${host}`, ...extra]);

async function stillServing() {
  assert.equal(statusOf(await get('/status')), 200);
}

describe('HTTP', () => {
  test('a Host that is not the bridge gets 421 and nothing else happens', async () => {
    for (const host of ['evil.example', `evil.example:${bridge.port}`, '127.0.0.1', `127.0.0.1:${bridge.port + 1}`, `localhost.evil.example:${bridge.port}`]) {
      const answer = await get('/status', host);
      assert.equal(statusOf(answer), 421, host);
      assert.doesNotMatch(answer, /registered/);
    }
    const upgrade = await rawWebSocket(bridge.port, { origin: allowed, host: `rebound.example:${bridge.port}` });
    assert.equal(upgrade.status, 421);
    assert.deepEqual(bridge.workers(), []);
    for (const host of [`127.0.0.1:${bridge.port}`, `localhost:${bridge.port}`, `[::1]:${bridge.port}`])
      assert.equal(statusOf(await get('/status', host)), 200, host);
    const v6 = await rawHttp(bridge.port, ['GET /status HTTP/1.1', `Host: [::1]:${bridge.port}`], { host: '::1' });
    assert.match(v6, /"registered":true/);
  });

  test('the routes and their headers', async () => {
    const script = await get('/tavo.js');
    assert.equal(statusOf(script), 200);
    assert.match(script, /\r\nContent-Type: text\/javascript; charset=utf-8\r\n/);
    assert.match(script, /\r\nAccess-Control-Allow-Origin: \*\r\n/);
    assert.match(script, /export function connect/);
    const status = await get('/status', undefined, [`Origin: ${allowed}`]);
    assert.match(status, new RegExp(`\\r\\nAccess-Control-Allow-Origin: ${allowed}\\r\\n`));
    assert.deepEqual(JSON.parse(status.slice(status.indexOf('\r\n\r\n') + 4)),
      { product: 'tavo', version: '2.0.0.2', protocol: 1, registered: true, user: os.userInfo().username, display: false });
    assert.match(await get('/'), /<html lang="en">.*tavobridge is running/s);
    // The bridge's page speaks the browser's first language it knows; its switch is remembered.
    const chinese = await get('/', undefined, ['Accept-Language: fr-FR,zh-CN;q=0.9,en;q=0.8']);
    assert.match(chinese, /<html lang="zh-CN">.*<a href="\/\?lang=en" lang="en">English<\/a>.*tavobridge 正在运行/s);
    assert.match(chinese, /\r\nVary: Accept-Language, Cookie\r\n/);
    const switched = await get('/?lang=en', undefined, ['Accept-Language: zh-CN']);
    assert.match(switched, /\r\nSet-Cookie: tavo-lang=en; Path=\/; Max-Age=31536000; SameSite=Strict\r\n/);
    assert.match(switched, /tavobridge is running/);
    assert.match(await get('/', undefined, ['Accept-Language: zh-CN', 'Cookie: a=b; tavo-lang=en']), /lang="en"/);
    assert.equal(statusOf(await get('/nothing')), 404);
    assert.equal(statusOf(await get('/designer/../../etc/passwd')), 404);
    const head = await rawHttp(bridge.port, ['HEAD /status HTTP/1.1', `Host: 127.0.0.1:${bridge.port}`]);
    assert.equal(statusOf(head), 200);
    assert.ok(head.endsWith('\r\n\r\n'));
    const post = await rawHttp(bridge.port, ['POST /status HTTP/1.1', `Host: 127.0.0.1:${bridge.port}`, 'Content-Length: 0']);
    assert.equal(statusOf(post), 405);
    const preflight = (origin) => rawHttp(bridge.port, ['OPTIONS /status HTTP/1.1', `Host: 127.0.0.1:${bridge.port}`,
      `Origin: ${origin}`, 'Access-Control-Request-Method: GET', 'Access-Control-Request-Private-Network: true']);
    const yes = await preflight(allowed);
    assert.equal(statusOf(yes), 204);
    assert.match(yes, /\r\nAccess-Control-Allow-Private-Network: true\r\n/);
    assert.match(yes, new RegExp(`\\r\\nAccess-Control-Allow-Origin: ${allowed}\\r\\n`));
    const no = await preflight('http://unknown.example');
    assert.equal(statusOf(no), 403);
    assert.doesNotMatch(no, /Access-Control-Allow/);
  });

  test('an oversized request head is refused', async () => {
    const answer = await rawHttp(bridge.port, ['GET / HTTP/1.1', `Host: 127.0.0.1:${bridge.port}`, `X-Padding: ${'a'.repeat(20000)}`]);
    assert.equal(statusOf(answer), 431);
    await stillServing();
  });
});

describe('WebSocket', () => {
  test('upgrades without an allowed Origin are refused before any worker starts', async () => {
    for (const origin of [undefined, 'null', 'http://unknown.example', 'http://blocked.example', 'file://']) {
      const upgrade = await rawWebSocket(bridge.port, { origin });
      assert.equal(upgrade.status, 403, String(origin));
    }
    assert.deepEqual(bridge.workers(), []);
  });

  test('malformed requests get JSON-RPC errors and the connection goes on', async () => {
    const ws = await rawWebSocket(bridge.port, { origin: allowed });
    const cases = [
      ['{"jsonrpc":"2.0","id":1,"method":', -32700, null],
      ['[{"jsonrpc":"2.0","id":2,"method":"GetOcxVersion","params":["2.0.0.2"]}]', -32600, null],
      ['{"jsonrpc":"2.0","id":3,"method":"Shutdown","params":[]}', -32601, 3],
      ['{"jsonrpc":"2.0","id":4,"method":"GetOcxVersion","params":[]}', -32602, 4],
      ['{"jsonrpc":"2.0","id":5,"method":"fprintText","params":["x",1,"SimSun",12,"t"]}', -32602, 5],
      ['{"jsonrpc":"2.0","id":"six","method":"GetOcxVersion","params":{"version":"1"}}', -32602, 'six'],
    ];
    for (const [text, code, id] of cases) {
      ws.send(text);
      const answer = await ws.next();
      assert.equal(answer.error.code, code, text);
      assert.equal(answer.id, id, text);
    }
    ws.call(7, 'getocxversion', ['2.0.0.2']);
    assert.deepEqual(await ws.next(), { jsonrpc: '2.0', id: 7, result: 1 });
    ws.close();
  });

  test('at most 64 calls wait for answers', async () => {
    const ws = await rawWebSocket(bridge.port, { origin: allowed });
    for (let id = 1; id <= 65; ++id) ws.call(id, 'downloadImg', [`${stalled.origin}/slow`, `slow${id}.png`]);
    const answer = await ws.next();
    assert.equal(answer.id, 65);
    assert.equal(answer.error.code, -32000);
    ws.close();
    await stillServing();
  });

  test('a message over 64 MiB and a binary frame close their connection only', async () => {
    const big = await rawWebSocket(bridge.port, { origin: allowed });
    const other = await rawWebSocket(bridge.port, { origin: allowed });
    big.send(JSON.stringify({ jsonrpc: '2.0', id: 1, method: 'GetVer', params: ['x'.repeat(64 * 1024 * 1024)] }));
    // The bridge closes with 1009 at once; the rest of the frame still being sent may reset the
    // socket before the close frame is read.
    assert.ok([1009, 1006].includes(await big.closed));
    const binary = await rawWebSocket(bridge.port, { origin: allowed });
    binary.sendBinary([1, 2, 3]);
    assert.equal(await binary.closed, 1003);
    other.call(1, 'GetOcxVersion', ['2.0.0.2']);
    assert.equal((await other.next()).result, 1);
    other.close();
    for (let i = 0; i < 100 && !/a message over 64 MiB/.test(bridge.stderr); ++i) await new Promise((r) => setTimeout(r, 100));
    assert.match(bridge.stderr, /a message over 64 MiB; connection closed/);
    assert.match(bridge.stderr, /a binary frame; connection closed/);
  });

  test('a connection that does not answer pings is closed', async () => {
    // A bridge of its own that waits 1.5 s for pongs instead of 60 s.
    const impatient = await startBridge({ allow: [allowed], env: { TAVO_BRIDGE_PING_TIMEOUT_MS: '1500' } });
    try {
      const silent = await rawWebSocket(impatient.port, { origin: allowed, answerPings: false });
      const polite = await rawWebSocket(impatient.port, { origin: allowed });
      assert.equal(await silent.closed, 1001);
      polite.call(1, 'GetOcxVersion', ['2.0.0.2']);
      assert.equal((await polite.next()).result, 1);
      polite.close();
      assert.match(impatient.stderr, /no answer to pings; connection closed/);
    } finally {
      await impatient.stop();
    }
  });

  test('at most 8 connections of one origin and 32 in all; beyond, 503 and the others are served', async () => {
    // Wait for the workers of earlier tests to go.
    for (let i = 0; i < 50 && bridge.workers().length > 0; ++i) await new Promise((r) => setTimeout(r, 100));
    const open = [];
    for (let i = 0; i < 12; ++i) {
      const ws = await rawWebSocket(bridge.port, { origin: allowed });
      if (ws.status === 101) open.push(ws);
      else assert.equal(ws.status, 503, `connection ${i + 1}`);
    }
    assert.equal(open.length, 8);
    assert.match(bridge.stderr, /at most 8 pages of one origin at once/);
    for (const origin of more.slice(0, 3)) {
      for (let i = 0; i < 8; ++i) {
        const ws = await rawWebSocket(bridge.port, { origin });
        assert.equal(ws.status, 101, `${origin} connection ${i + 1}`);
        open.push(ws);
      }
    }
    const refused = await rawWebSocket(bridge.port, { origin: more[3] });
    assert.equal(refused.status, 503);
    open[31].call(1, 'GetOcxVersion', ['2.0.0.2']);
    assert.equal((await open[31].next()).result, 1);
    for (const ws of open) ws.close();
    await stillServing();
  });
});

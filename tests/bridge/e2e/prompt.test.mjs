// The origin prompt as a person meets it, under a private X server: keys a page asked the
// person to type answer nothing, Return, space and Escape say "Not now" and write nothing,
// Alt with a button's letter answers for good, one question is shown at a time, and no answer
// ends the bridge. Every wait is on something observable: a window, an answer, the policy.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { sourceDir, startBridge } from './harness.mjs';
import { rawHttp, rawWebSocket, statusOf } from './rawSocket.mjs';
import { startXServer } from './xserver.mjs';

const title = 'Tavo print control';
let x;
let bridge;

before(async () => {
  x = await startXServer();
  bridge = await startBridge({ env: { DISPLAY: x.display, TAVO_BRIDGE_PROMPT_TIMEOUT_MS: '4000' } });
});
after(async () => {
  await bridge?.stop();
  await x?.stop();
});

const policy = () => fs.readFileSync(bridge.policy, 'utf8');

async function until(what, condition, seconds = 30) {
  const deadline = Date.now() + seconds * 1000;
  for (;;) {
    const value = await condition();
    if (value) return value;
    if (Date.now() > deadline) throw new Error(`${what} did not happen within ${seconds} s; bridge: ${bridge.stderr}`);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

const promptShown = () => until('a prompt', () => x.windows(title)[0]);
const promptGone = () => until('no prompt', () => x.windows(title).length === 0);

async function serving() {
  const answer = await rawHttp(bridge.port, ['GET /status HTTP/1.1', `Host: 127.0.0.1:${bridge.port}`]);
  assert.equal(statusOf(answer), 200);
}

/** An upgrade from `origin`, with whether the bridge has answered it yet and a way to close it. */
function upgrade(origin) {
  const state = { settled: false, socket: undefined };
  state.answer = rawWebSocket(bridge.port, { origin, onSocket: (socket) => { state.socket = socket; } })
    .then((result) => { state.settled = true; return result; });
  return state;
}

/** Types `keys` into the window until `done()`, as a person repeats what a window has not taken. */
async function typeUntil(window, keys, done) {
  await until(`${keys} taken`, async () => {
    x.xdotool(['windowfocus', '--sync', window, 'key', ...keys.split(' ')]);
    await new Promise((resolve) => setTimeout(resolve, 200));
    return done();
  });
}

test('the letters of the buttons answer nothing; Return, space and Escape refuse only this connection', async () => {
  const origin = 'https://shop.example';
  for (const key of ['Return', 'space', 'Escape']) {
    const waiting = upgrade(origin);
    const window = await promptShown();
    // Typed for longer than the allowing buttons stay disabled, so a plain-key mnemonic would act.
    const typing = Date.now() + 1600;
    while (Date.now() < typing) {
      x.xdotool(['windowfocus', '--sync', window, 'key', 'a', 'o', 'b', 'w']);
      await new Promise((resolve) => setTimeout(resolve, 100));
    }
    assert.equal(waiting.settled, false, 'a plain letter answered the prompt');
    await typeUntil(window, key, () => waiting.settled);
    assert.equal((await waiting.answer).status, 403, key);
    assert.equal(policy(), '', key);
    await promptGone();
    await serving();
  }
  assert.match(bridge.stderr, /"https:\/\/shop\.example" refused: Origin not allowed/);
});

test('Alt+A always allows: the line is written and the next connection needs no prompt', async () => {
  const origin = 'https://erp.example';
  const waiting = upgrade(origin);
  const window = await promptShown();
  await typeUntil(window, 'alt+a', () => waiting.settled);
  const first = await waiting.answer;
  assert.equal(first.status, 101);
  assert.equal(policy(), `allow ${origin}\n`);
  await promptGone();
  const next = await rawWebSocket(bridge.port, { origin });
  assert.equal(next.status, 101);
  assert.deepEqual(x.windows(title), []);
  next.call(1, 'GetOcxVersion', ['2.0.0.2']);
  assert.equal((await next.next()).result, 1);
  first.close();
  next.close();
  await serving();
});

test('Alt+O allows once and writes nothing; Alt+B blocks for good', async () => {
  const origin = 'https://once.example';
  const once = upgrade(origin);
  await typeUntil(await promptShown(), 'alt+o', () => once.settled);
  const allowed = await once.answer;
  assert.equal(allowed.status, 101);
  assert.doesNotMatch(policy(), /once\.example/);
  allowed.close();
  await promptGone();
  const again = upgrade(origin);
  await typeUntil(await promptShown(), 'alt+b', () => again.settled);
  assert.equal((await again.answer).status, 403);
  assert.match(policy(), /^block https:\/\/once\.example$/m);
  await promptGone();
  const blocked = await rawWebSocket(bridge.port, { origin });
  assert.equal(blocked.status, 403);
  assert.deepEqual(x.windows(title), []);
  await serving();
});

test('one question at a time, 8 waiting behind it, the rest refused; closed pages take their questions along', async () => {
  const waiting = Array.from({ length: 20 }, (_, i) => upgrade(`https://site${i}.example`));
  await promptShown();
  const refused = await until('the refusals', async () => {
    const settled = waiting.filter((w) => w.settled);
    return settled.length === 11 && settled;
  });
  for (const w of refused) assert.equal((await w.answer).status, 503);
  assert.match(bridge.stderr, /Too many pages are waiting for a person's answer/);
  assert.equal(x.windows(title).length, 1);
  for (const w of waiting) if (!w.settled) w.socket.destroy();
  await promptGone();
  await serving();
  // Nobody answers: "Not now" after the bridge's time (4 s here, 60 s as shipped).
  const ignored = upgrade('https://late.example');
  await promptShown();
  await until('the unanswered question to go', () => ignored.settled);
  assert.equal((await ignored.answer).status, 403);
  await promptGone();
  assert.doesNotMatch(policy(), /site\d+\.example|late\.example/);
});

test('under a Chinese locale the prompt asks in Chinese and its Alt keys still answer', async () => {
  const locales = fs.mkdtempSync(path.join(os.tmpdir(), 'tavo-locales-'));
  const made = spawnSync('localedef', ['-i', 'zh_CN', '-f', 'UTF-8', path.join(locales, 'zh_CN.UTF-8')]);
  assert.ok(made.status <= 1, `localedef: ${made.stderr}`); // 1: made, with warnings
  // glibc keeps the list it makes of LOCPATH for good; a sanitized bridge would call it a leak.
  const suppressions = path.join(locales, 'lsan.supp');
  fs.writeFileSync(suppressions, `${fs.readFileSync(path.join(sourceDir, 'tests/lsan.supp'), 'utf8')}leak:__argz_add_sep\n`);
  const chinese = await startBridge({
    env: {
      DISPLAY: x.display, LANG: 'zh_CN.UTF-8', LC_ALL: 'zh_CN.UTF-8', LOCPATH: locales, LANGUAGE: '',
      TAVO_BRIDGE_PROMPT_TIMEOUT_MS: '4000', LSAN_OPTIONS: `suppressions=${suppressions}:print_suppressions=0`,
    },
  });
  try {
    const origin = 'https://erp.example.cn';
    let settled = false;
    const answer = rawWebSocket(chinese.port, { origin }).then((result) => { settled = true; return result; });
    const window = await until('a Chinese prompt', () => x.windows('Tavo 打印控件')[0]);
    assert.deepEqual(x.windows(title), []);
    await typeUntil(window, 'alt+a', () => settled);
    const allowed = await answer;
    assert.equal(allowed.status, 101);
    assert.equal(fs.readFileSync(chinese.policy, 'utf8'), `allow ${origin}\n`);
    allowed.close();
    await until('no prompt', () => x.windows('Tavo 打印控件').length === 0);
  } finally {
    await chinese.stop();
    fs.rmSync(locales, { recursive: true, force: true });
  }
  assert.doesNotMatch(chinese.stderr, /AddressSanitizer|runtime error|Segmentation/);
});

test('SIGTERM with a page connected and a question shown ends the bridge cleanly', async () => {
  const page = await rawWebSocket(bridge.port, { origin: 'https://erp.example' });
  assert.equal(page.status, 101);
  page.call(1, 'GetOcxVersion', ['2.0.0.2']);
  assert.equal((await page.next()).result, 1);
  const workers = bridge.workers();
  assert.equal(workers.length, 1);
  upgrade('https://asking.example');
  await promptShown();
  const ended = new Promise((resolve) => bridge.child.once('exit', (code, signal) => resolve({ code, signal })));
  bridge.child.kill('SIGTERM');
  assert.deepEqual(await ended, { code: 0, signal: null });
  assert.match(bridge.stderr, /SIGTERM: stopping/);
  assert.doesNotMatch(bridge.stderr, /AddressSanitizer|runtime error|Segmentation/);
  // Gone, or a zombie nobody reaps in a bare container.
  await until('the worker to end', () => {
    try {
      return fs.readFileSync(`/proc/${workers[0]}/stat`, 'utf8').split(') ')[1].startsWith('Z');
    } catch {
      return true;
    }
  });
});

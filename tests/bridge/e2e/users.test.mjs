// One port for every user of a machine: the dispatcher (tavobridge --dispatch, its sockets
// passed as systemd passes them, running as a system user with the one capability its unit
// gives it) hands each connection to the bridge of the user whose process made it. Real users
// made for the test, each with a bridge started by the user unit's command and clients run as
// that user; a private CUPS scheduler and X server. Needs root: skipped otherwise.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { cupsInstalled, startCups } from './cups.mjs';
import { invoiceNumbered, invoiceRule, invoiceTitle, originFolderName, pdfInfo, sourceDir } from './harness.mjs';
import { asUser, isRoot, makeShared, makeUser, removeUser, sessionEnv, spawnAs, start } from './users.mjs';
import { startXServer } from './xserver.mjs';

const skip = !isRoot() ? 'needs root: it makes users and runs processes as them'
  : !cupsInstalled() ? 'cupsd is not installed' : false;
const origin = 'https://erp.example';
const tag = `tavo${process.pid % 100000}`;

let shared;
let cups;
let x;
let port;
let ipv6;
let dispatcher;
const users = {};
const bridges = {};
const started = [];  // every process, stopped afterwards

/** A port free on 127.0.0.1 and, where the machine has it, on ::1. */
async function freePorts() {
  const listen = (server, at, host) => new Promise((resolve) => {
    server.once('error', (error) => resolve(error.code));
    server.listen(at, host, () => resolve('ok'));
  });
  for (;;) {
    const four = net.createServer();
    await listen(four, 0, '127.0.0.1');
    const { port: free } = four.address();
    const six = net.createServer();
    const sixState = await listen(six, free, '::1');
    await new Promise((resolve) => four.close(resolve));
    if (sixState === 'ok') await new Promise((resolve) => six.close(resolve));
    if (sixState !== 'EADDRINUSE') return { port: free, ipv6: sixState === 'ok' };
  }
}

/** The user unit's command as the package installs it, with the built program. */
function unitCommand() {
  const unit = fs.readFileSync(path.join(sourceDir, 'debian/tavo.tavobridge.user.service'), 'utf8');
  const [program, ...args] = /^ExecStart=(.*)$/m.exec(unit)[1].trim().split(/\s+/);
  assert.equal(program, '/usr/bin/tavobridge');
  return [shared.bridge, ...args];
}

async function startUserBridge(user, env = {}) {
  const bridge = spawnAs(user, [...unitCommand(), '--registry', path.join(user.home, 'registry.reg'), '--allow', origin],
    { env: sessionEnv(user, { CUPS_SERVER: cups.socket, TAVO_DISPATCH_USER: users.dispatcher.name, ...env }) });
  started.push(bridge);
  await bridge.line((line) => line === `tavobridge listening on ${user.runtime}/tavo/bridge.sock`);
  return bridge;
}

/** The client as `user` doing `job` (see userClient.mjs); ready() and go() for calls. */
function client(user, job) {
  const file = path.join(shared.root, `job-${user.name}-${started.length}.json`);
  fs.writeFileSync(file, JSON.stringify({ port, origin, ...job }), { mode: 0o644 });
  const run = spawnAs(user, ['node', shared.client, file], { env: sessionEnv(user) });
  started.push(run);
  return {
    ready: () => run.line((line) => line.includes('"ready"')),
    go: () => run.child.stdin.write('go\n'),
    result: async () => JSON.parse(await run.line((line) => !line.includes('"ready"'), 60)),
  };
}

/** GET /status as `user`: {status, text, body}. */
async function status(user, job = {}) {
  const answer = await client(user, { status: true, ...job }).result();
  const at = answer.text.indexOf('\r\n\r\n');
  return { ...answer, body: answer.status === 200 ? JSON.parse(answer.text.slice(at + 4)) : undefined };
}

/** How many connections wait, not yet accepted, at the Unix socket `file`. */
function queuedAt(file) {
  const listing = spawnSync('ss', ['-xlnH'], { encoding: 'utf8' }).stdout;
  const line = listing.split('\n').find((l) => l.split(/\s+/).includes(file));
  return line ? Number(line.trim().split(/\s+/)[2]) : 0;
}

/** How many connections to `port` this machine's clients hold. */
const connectionsTo = (port) => spawnSync('ss', ['-tnH', 'state', 'established', `( dport = :${port} )`],
  { encoding: 'utf8' }).stdout.split('\n').filter(Boolean).length;

async function until(what, condition) {
  for (let i = 0; !condition(); ++i) {
    assert.ok(i < 600, `${what} did not happen within 30 s`);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

const filesOf = (user) => path.join(user.home, '.local/share/tavo/bridge-files', originFolderName(origin));

describe('one port for every user', { skip, timeout: 240000 }, () => {
  before(async () => {
    shared = makeShared();
    cups = await startCups();
    // The users' workers reach the scheduler's socket.
    fs.chmodSync(path.dirname(cups.socket), 0o755);
    cups.addSinkQueue('sink');
    x = await startXServer();
    users.dispatcher = makeUser(`${tag}d`, { system: true });
    for (const who of ['a', 'b', 'c']) users[who] = makeUser(`${tag}${who}`, { homeRoot: shared.root });
    ({ port, ipv6 } = await freePorts());
    const listen = ['-l', `127.0.0.1:${port}`, ...(ipv6 ? ['-l', `[::1]:${port}`] : [])];
    dispatcher = start(['systemd-socket-activate', ...listen,
      ...asUser(users.dispatcher, ['dac_read_search']), shared.bridge, '--dispatch'],
    { env: sessionEnv({ home: '/nonexistent', name: users.dispatcher.name }) });
    started.push(dispatcher);
    await dispatcher.said(/Listening on 127\.0\.0\.1:\d+/);
    bridges.a = await startUserBridge(users.a, { DISPLAY: x.display });
    bridges.b = await startUserBridge(users.b);
  });
  after(async () => {
    for (const running of started.reverse()) await running.stop();
    for (const user of Object.values(users)) removeUser(user);
    await x?.stop();
    await cups?.stop();
    shared?.remove();
  });

  test('two users print at the same moment through one port, each as itself into its own folder', async () => {
    assert.match(bridges.a.stderr, /display :\d+: the origin prompt and previews are shown there/);
    assert.match(bridges.b.stderr, /no display, so no origin prompt \(neither DISPLAY nor WAYLAND_DISPLAY is set\)/);
    // One over IPv4, the other over IPv6 where the machine has it.
    const plan = {
      a: { number: '11110001', address: '127.0.0.1' },
      b: { number: '22220002', address: ipv6 ? '::1' : '127.0.0.1' },
    };
    const clients = {};
    for (const [who, { number, address }] of Object.entries(plan)) {
      clients[who] = client(users[who], {
        address,
        calls: [
          ['tavo.hello', []],
          ['SetDefaultPrinter', [`pdf:invoice-${who}.pdf`]],
          ['PrintXmlData', [invoiceNumbered(number), invoiceRule]],
          ['SetDefaultPrinter', ['sink']],
          ['PrintXmlData', [invoiceNumbered(number), invoiceRule]],
          ['tavo.lastPrint', []],
        ],
      });
    }
    await Promise.all(Object.values(clients).map((c) => c.ready()));
    for (const c of Object.values(clients)) c.go();
    const jobs = {};
    for (const [who, { number, address }] of Object.entries(plan)) {
      const { status: code, results } = await clients[who].result();
      assert.equal(code, 101, who);
      assert.equal(results[0].result.origin, origin);
      assert.deepEqual(results.slice(1, 5).map((r) => r.error), [undefined, undefined, undefined, undefined], who);
      const last = results[5].result;
      assert.equal(last.printed, true, JSON.stringify(last));
      assert.equal(last.printer, 'sink');
      jobs[who] = last.job;
      const pdf = path.join(filesOf(users[who]), `invoice-${who}.pdf`);
      assert.equal(fs.statSync(pdf).uid, users[who].uid, `${pdf} is its user's`);
      assert.equal(pdfInfo(pdf).Title, invoiceTitle(number));
      // Whose bridge served a page, and whether it has a display.
      const { body } = await status(users[who], { address });
      assert.equal(body.user, users[who].name);
      assert.equal(body.display, who === 'a');
    }
    const listing = cups.run(['lpstat', '-W', 'all', '-o', 'sink']).stdout;
    for (const who of Object.keys(plan)) {
      assert.match(listing, new RegExp(`^sink-${jobs[who]}\\s+${users[who].name}\\s`, 'm'), listing);
    }
  });

  test('no bridge: 503; garbage, closed sockets, a stopped bridge and a killed one: the dispatcher serves on', async () => {
    const none = await status(users.c);
    assert.equal(none.status, 503);
    assert.match(none.text, /\r\n\r\nThe print control is not running for this user\n$/);

    // 200 connections that break every rule through the port to a's bridge, and 200 of root's,
    // who has no bridge here: answered or closed by the dispatcher itself.
    const junk = (i) => new Promise((resolve) => {
      const socket = net.connect(port, '127.0.0.1');
      socket.on('error', resolve);
      socket.on('close', resolve);
      socket.on('data', () => {});
      socket.on('connect', () => (i % 2 ? socket.destroy() : socket.end('\x16\x03\x01\x02\x00garbage\r\n\r\n')));
    });
    await Promise.all([client(users.a, { garbage: 200 }).result(), ...Array.from({ length: 200 }, (_, i) => junk(i))]);
    for (const who of ['a', 'b']) assert.equal((await status(users[who])).body?.user, users[who].name);

    // A bridge that does not take its connections holds up no one else's.
    process.kill(bridges.b.child.pid, 'SIGSTOP');
    const waitingForB = status(users.b);
    await until('the connection of b reaching its bridge', () => queuedAt(`${users.b.runtime}/tavo/bridge.sock`) === 1);
    assert.equal((await status(users.a)).status, 200);
    process.kill(bridges.b.child.pid, 'SIGCONT');
    assert.equal((await waitingForB).status, 200);

    // One that takes none and holds one in its queue: the next waits 2 s and is answered, and
    // the dispatcher answers others meanwhile.
    const socketOfC = `${users.c.runtime}/tavo/bridge.sock`;
    fs.mkdirSync(path.dirname(socketOfC), { mode: 0o700 });
    fs.chownSync(path.dirname(socketOfC), users.c.uid, users.c.gid);
    const deaf = spawnAs(users.c, ['python3', '-c', 'import os, socket, sys, time\n'
      + 's = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); os.chmod(sys.argv[1], 0o666); s.listen(0)\n'
      + 'print("listening", flush=True); time.sleep(120)',
    socketOfC], { env: sessionEnv(users.c) });
    started.push(deaf);
    await deaf.line((line) => line === 'listening');
    const held = status(users.c);
    await until('the first connection of c queued', () => queuedAt(socketOfC) === 1);
    const before = connectionsTo(port);
    let answered = false;
    const waited = status(users.c).then((answer) => { answered = true; return answer; });
    await until('the second connection of c', () => connectionsTo(port) > before);
    const asked = Date.now();
    const meanwhile = await new Promise((resolve, reject) => {
      const socket = net.connect(port, '127.0.0.1', () => socket.end('GET /status HTTP/1.1\r\n\r\n'));
      let text = '';
      socket.on('data', (chunk) => { text += chunk; });
      socket.on('end', () => resolve(text));
      socket.on('error', reject);
    });
    assert.ok(Date.now() - asked < 1000 && !answered, `root's answer took ${Date.now() - asked} ms`);
    assert.match(meanwhile, /^HTTP\/1\.1 503 /);
    const late = await waited;
    assert.equal(late.status, 503);
    assert.match(late.text, /The print control is not answering for this user\n$/);
    await deaf.stop();
    assert.equal((await held).status, 0);

    // A's bridge dies with calls open: a's page is closed, b's goes on, a gets 503 until its
    // bridge is back.
    const prints = Array.from({ length: 20 }, (_, i) => ['PrintXmlData', [invoiceNumbered(String(33330000 + i)), invoiceRule]]);
    const page = client(users.a, { calls: [['SetDefaultPrinter', ['pdf:killed.pdf']], ...prints] });
    await page.ready();
    page.go();
    await new Promise((resolve) => setTimeout(resolve, 100));
    await bridges.a.stop('SIGKILL');
    assert.equal((await page.result()).results.at(-1), 'closed');
    assert.equal((await status(users.a)).status, 503);
    assert.equal((await status(users.b)).status, 200);
    bridges.a = await startUserBridge(users.a);
    assert.equal((await status(users.a)).body?.user, users.a.name);

    assert.equal(dispatcher.running(), true);
    assert.match(dispatcher.stderr, new RegExp(`uid ${users.c.uid}: no bridge running \\(/run/user/${users.c.uid}/tavo/bridge.sock: No such file or directory\\); answered 503`));
  });

  test("a user's plain bridge on TCP serves its own user's processes and refuses another's", async () => {
    const plain = spawnAs(users.a, [shared.bridge, '--port', '0', '--registry', path.join(users.a.home, 'registry.reg')],
      { env: sessionEnv(users.a) });
    started.push(plain);
    const plainPort = Number(/:(\d+)$/.exec(await plain.line((line) => line.startsWith('tavobridge listening on 127.0.0.1:')))[1]);
    const own = await status(users.a, { port: plainPort });
    assert.equal(own.body?.user, users.a.name);
    const other = await status(users.b, { port: plainPort });
    assert.equal(other.status, 0, other.text);
    const refusals = plain.stderr.match(/a connection from a process of uid \d+ refused: this bridge serves uid \d+/g);
    assert.deepEqual(refusals, [`a connection from a process of uid ${users.b.uid} refused: this bridge serves uid ${users.a.uid}`]);
    await plain.stop();
  });
});

// What the system's dispatcher adds to a page's connection, in one run: the time from
// connecting to the first answer through the dispatcher (systemd-socket-activate passing its
// socket to `tavobridge --dispatch`, which hands the connection to this user's
// `tavobridge --user-socket`) against straight TCP to a plain bridge of the same user, for
// GET /status and for a WebSocket's first call (which starts the page's worker). The two are
// measured in turn, so a change in the machine's load hits both alike. Needs root (it makes
// /run/user/0 where the machine has none). Prints one JSON object.
//   node bench/bridge/dispatch.mjs [BUILD_DIR]
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { sourceDir } from '../../tests/bridge/e2e/harness.mjs';
import { rawHttp, rawWebSocket, statusOf } from '../../tests/bridge/e2e/rawSocket.mjs';
import { start } from '../../tests/bridge/e2e/users.mjs';

const buildDir = path.resolve(process.argv[2] ?? path.join(sourceDir, 'build'));
const program = path.join(buildDir, 'bin', 'tavobridge');
const statusRuns = 400;
const firstCallRuns = 40;
const origin = 'http://127.0.0.1:1';
const now = () => Number(process.hrtime.bigint()) / 1e3;  // microseconds
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

if (process.getuid?.() !== 0) throw new Error('needs root: the dispatcher hands root\'s connections to /run/user/0');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'tavo-dispatch-bench-'));
const madeRunUser = !fs.existsSync('/run/user');
const madeRuntime = !fs.existsSync('/run/user/0');
fs.mkdirSync('/run/user/0', { recursive: true, mode: 0o700 });
const env = {
  PATH: '/usr/bin:/bin', HOME: work, LANG: 'C.UTF-8', XDG_RUNTIME_DIR: '/run/user/0',
  XDG_CONFIG_HOME: path.join(work, 'config'), XDG_DATA_HOME: path.join(work, 'data'),
};
const common = ['--registry', path.join(work, 'registry.reg'), '--allow', origin];
const running = [];
try {
  const plain = start([program, '--port', '0', ...common], { env });
  running.push(plain);
  const straightPort = Number(/:(\d+)$/.exec(await plain.line((l) => l.startsWith('tavobridge listening on 127.0.0.1:')))[1]);
  const mine = start([program, '--user-socket', ...common], { env });
  running.push(mine);
  await mine.line((l) => l.startsWith('tavobridge listening on /run/user/0/'));
  const probe = net.createServer();
  await new Promise((resolve) => probe.listen(0, '127.0.0.1', resolve));
  const dispatchedPort = probe.address().port;
  await new Promise((resolve) => probe.close(resolve));
  const dispatcher = start(['systemd-socket-activate', '-l', `127.0.0.1:${dispatchedPort}`, program, '--dispatch'], { env });
  running.push(dispatcher);
  await dispatcher.said(/Listening on 127\.0\.0\.1:\d+/);

  const status = async (port) => {
    const started = now();
    const answer = await rawHttp(port, ['GET /status HTTP/1.1', `Host: 127.0.0.1:${port}`]);
    if (statusOf(answer) !== 200) throw new Error(`GET /status on ${port}: ${answer}`);
    return now() - started;
  };
  const firstCall = async (port) => {
    const started = now();
    const ws = await rawWebSocket(port, { origin, host: `127.0.0.1:${port}` });
    ws.call(1, 'GetOcxVersion', ['2.0.0.2']);
    const answer = await ws.next();
    const elapsed = now() - started;
    ws.close();
    if (answer.result !== 1) throw new Error(`GetOcxVersion on ${port}: ${JSON.stringify(answer)}`);
    return elapsed;
  };
  // The first connection starts the dispatcher; both bridges warm up.
  for (let i = 0; i < 20; ++i) { await status(straightPort); await status(dispatchedPort); }
  await firstCall(straightPort);
  await firstCall(dispatchedPort);

  const times = { status: { straight: [], dispatched: [] }, first: { straight: [], dispatched: [] } };
  for (let i = 0; i < statusRuns; ++i) {
    const order = i % 2 ? ['straight', 'dispatched'] : ['dispatched', 'straight'];
    for (const way of order) times.status[way].push(await status(way === 'straight' ? straightPort : dispatchedPort));
  }
  for (let i = 0; i < firstCallRuns; ++i) {
    const order = i % 2 ? ['straight', 'dispatched'] : ['dispatched', 'straight'];
    for (const way of order) times.first[way].push(await firstCall(way === 'straight' ? straightPort : dispatchedPort));
  }
  const summary = (pair, unit) => {
    const straight = median(pair.straight) / unit;
    const dispatched = median(pair.dispatched) / unit;
    return { straight: +straight.toFixed(3), dispatched: +dispatched.toFixed(3), added: +(dispatched - straight).toFixed(3), ratio: +(dispatched / straight).toFixed(3) };
  };
  console.log(JSON.stringify({
    bench: 'dispatch',
    status_ms: { ...summary(times.status, 1000), runs: statusRuns },
    first_call_ms: { ...summary(times.first, 1000), runs: firstCallRuns },
  }));
} finally {
  for (const child of running.reverse()) await child.stop();
  fs.rmSync(work, { recursive: true, force: true });
  if (madeRuntime) fs.rmSync('/run/user/0', { recursive: true, force: true });
  if (madeRunUser) { try { fs.rmdirSync('/run/user'); } catch { /* not empty */ } }
}

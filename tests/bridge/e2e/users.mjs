// Real users of this machine for the tests of the bridge's one port (made with useradd, removed
// afterwards), each with a home and a runtime folder of its own, and processes run as them
// (setpriv: the program itself becomes the user, so its pid is the program's). The build's
// bridge and the clients are copied where every user may run them. Needs root.
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';
import { bridgeProgram, sourceDir } from './harness.mjs';

export const isRoot = () => process.getuid?.() === 0;

function run(args) {
  const done = spawnSync(args[0], args.slice(1), { encoding: 'utf8' });
  if (done.status !== 0) throw new Error(`${args.join(' ')}: ${done.stderr}${done.stdout}`);
  return done.stdout;
}

/** A folder every user may read, holding the bridge as built and the clients. */
export function makeShared() {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'tavo-users-'));
  fs.chmodSync(root, 0o755);
  const bin = path.join(root, 'bin');
  fs.mkdirSync(bin);
  const built = path.dirname(bridgeProgram);
  for (const name of ['tavobridge', 'libtavocom.so', 'TavoPreFmtPrinter2X.so', 'TavoPreviewDialog.so']) {
    if (fs.existsSync(path.join(built, name))) fs.copyFileSync(path.join(built, name), path.join(bin, name));
  }
  fs.chmodSync(path.join(bin, 'tavobridge'), 0o755);
  fs.mkdirSync(path.join(root, 'share', 'tavo'), { recursive: true });
  fs.copyFileSync(path.join(sourceDir, 'clients/js/tavo.js'), path.join(root, 'share/tavo/tavo.js'));
  for (const name of ['userClient.mjs', 'rawSocket.mjs']) {
    fs.copyFileSync(path.join(sourceDir, 'tests/bridge/e2e', name), path.join(root, name));
  }
  return {
    root,
    bridge: path.join(bin, 'tavobridge'),
    client: path.join(root, 'userClient.mjs'),
    remove: () => fs.rmSync(root, { recursive: true, force: true }),
  };
}

/**
 * A new user named `name` (a system user without a home when `system`), with uid, gid, home
 * and, for ordinary users, /run/user/UID as a session would make it.
 */
export function makeUser(name, { system = false, homeRoot } = {}) {
  spawnSync('userdel', ['-r', name], { stdio: 'ignore' });  // a leftover of an aborted run
  if (system) run(['useradd', '--system', '--no-create-home', '--shell', '/usr/sbin/nologin', name]);
  else run(['useradd', '--create-home', '--home-dir', path.join(homeRoot, name), '--shell', '/bin/sh', name]);
  const uid = Number(run(['id', '-u', name]));
  const gid = Number(run(['id', '-g', name]));
  const user = { name, uid, gid, home: system ? '/nonexistent' : path.join(homeRoot, name) };
  if (!system) {
    const madeRunUser = !fs.existsSync('/run/user');
    fs.mkdirSync('/run/user', { recursive: true, mode: 0o755 });
    user.runtime = `/run/user/${uid}`;
    fs.mkdirSync(user.runtime, { mode: 0o700 });
    fs.chownSync(user.runtime, uid, gid);
    user.madeRunUser = madeRunUser;
  }
  return user;
}

/** Removes the user with its home and runtime folder (its processes stopped beforehand). */
export function removeUser(user) {
  if (!user) return;
  spawnSync('userdel', ['-r', '-f', user.name], { stdio: 'ignore' });
  if (user.runtime) fs.rmSync(user.runtime, { recursive: true, force: true });
  if (user.madeRunUser) {
    try { fs.rmdirSync('/run/user'); } catch { /* another's folder is still there */ }
  }
}

/** The environment a user's session gives its services, and `extra`. */
export function sessionEnv(user, extra = {}) {
  const env = { HOME: user.home, USER: user.name, LOGNAME: user.name, PATH: '/usr/bin:/bin', LANG: 'C.UTF-8' };
  if (user.runtime) env.XDG_RUNTIME_DIR = user.runtime;
  for (const name of ['ASAN_OPTIONS', 'LSAN_OPTIONS', 'UBSAN_OPTIONS']) {
    if (process.env[name]) env[name] = process.env[name];
  }
  return { ...env, ...extra };
}

/** The setpriv prefix that makes a program `user`, with `caps` (names such as dac_read_search). */
export function asUser(user, caps = []) {
  const prefix = ['setpriv', '--reuid', String(user.uid), '--regid', String(user.gid), '--init-groups'];
  if (caps.length) {
    const list = caps.map((cap) => `+${cap}`).join(',');
    prefix.push('--inh-caps', list, '--ambient-caps', list, '--bounding-set', `-all,${list}`);
  }
  return [...prefix, '--no-new-privs', '--'];
}

/** Starts `args`; its standard output is read line by line, its standard error kept. */
export function start(args, { env, stdio = ['pipe', 'pipe', 'pipe'] } = {}) {
  const child = spawn(args[0], args.slice(1), { env, stdio });
  let stderr = '';
  child.stderr?.on('data', (chunk) => { stderr += chunk; });
  const lines = [];
  const waiting = [];
  if (child.stdout) {
    readline.createInterface({ input: child.stdout }).on('line', (line) => {
      lines.push(line);
      for (const w of waiting.splice(0)) w();
    });
  }
  const exited = new Promise((resolve) => child.once('exit', (code, signal) => resolve(code ?? signal)));
  const running = () => child.exitCode === null && child.signalCode === null;
  return {
    child,
    exited,
    running,
    get stderr() { return stderr; },
    /** The first line of standard output that `test` accepts. */
    async line(test, seconds = 30) {
      const deadline = Date.now() + seconds * 1000;
      for (;;) {
        const found = lines.find(test);
        if (found) return found;
        if (!running() || Date.now() > deadline) {
          throw new Error(`${args.join(' ')}: no such line (${child.exitCode ?? child.signalCode ?? 'running'}): ${lines.join('\n')}\n${stderr}`);
        }
        await new Promise((resolve) => { waiting.push(resolve); setTimeout(resolve, 100); });
      }
    },
    /** Waits until its standard error matches `pattern`. */
    async said(pattern, seconds = 30) {
      for (const deadline = Date.now() + seconds * 1000; !pattern.test(stderr);) {
        if (!running() || Date.now() > deadline) throw new Error(`${args.join(' ')}: never said ${pattern}: ${stderr}`);
        await new Promise((resolve) => setTimeout(resolve, 50));
      }
    },
    /** Ends it with `signal`, and with SIGKILL when that has not done it in 5 s. */
    async stop(signal = 'SIGTERM') {
      if (!running()) return;
      child.kill(signal);
      const timer = setTimeout(() => child.kill('SIGKILL'), 5000);
      await exited;
      clearTimeout(timer);
    },
  };
}

/** Starts `args` as `user` (the same process, no login in between). */
export const spawnAs = (user, args, options) => start([...asUser(user), ...args], options);

// A private CUPS scheduler for the bridge's tests: cupsd with its own configuration, socket,
// spool and logs in a temporary folder; the bridge reaches it through CUPS_SERVER.
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';

const cupsd = '/usr/sbin/cupsd';

/** Whether cupsd is installed at all (tests skip otherwise). */
export const cupsInstalled = () => fs.existsSync(cupsd);

const canConnect = (socketPath) => new Promise((resolve) => {
  const socket = net.connect(socketPath);
  socket.once('connect', () => { socket.end(); resolve(true); });
  socket.once('error', () => resolve(false));
});

/** The gid of the lp group, which cupsd runs its backends as. */
function lpGroup() {
  const line = fs.readFileSync('/etc/group', 'utf8').split('\n').find((l) => l.startsWith('lp:'));
  return line ? Number(line.split(':')[2]) : undefined;
}

/**
 * Starts cupsd; resolves to {socket, run(args), addSinkQueue(name), stop()}. A sink queue sends
 * its jobs to /dev/null: a job completes as soon as the scheduler takes it up.
 */
export async function startCups() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tavo-cups-'));
  const gid = lpGroup();
  for (const sub of ['run', 'spool', 'spool/tmp', 'cache', 'state', 'tmp', 'log', 'ppd']) {
    const folder = path.join(dir, sub);
    fs.mkdirSync(folder, { recursive: true, mode: 0o770 });
    if (gid !== undefined && process.getuid?.() === 0) fs.chownSync(folder, 0, gid);
  }
  fs.chmodSync(dir, 0o755);
  const socket = path.join(dir, 'run', 'cups.sock');
  fs.writeFileSync(path.join(dir, 'cupsd.conf'), [
    'LogLevel info', `Listen ${socket}`, 'Browsing No', 'DefaultShared No', 'WebInterface No',
    'DefaultAuthType None', 'PreserveJobHistory Yes',
    '<Location />', '  Order allow,deny', '  Allow all', '</Location>',
    '<Policy default>', '  JobPrivateAccess all', '  JobPrivateValues none',
    '  SubscriptionPrivateAccess all', '  SubscriptionPrivateValues none',
    '  <Limit All>', '    Order deny,allow', '    Allow all', '  </Limit>', '</Policy>', ''].join('\n'));
  fs.writeFileSync(path.join(dir, 'cups-files.conf'), [
    `ServerRoot ${dir}`, `RequestRoot ${dir}/spool`, `CacheDir ${dir}/cache`, `StateDir ${dir}/state`,
    `TempDir ${dir}/tmp`, `AccessLog ${dir}/log/access_log`, `ErrorLog ${dir}/log/error_log`,
    `PageLog ${dir}/log/page_log`, 'ServerBin /usr/lib/cups', 'DataDir /usr/share/cups',
    'FileDevice Yes', 'User lp', 'Group lp', ''].join('\n'));
  const child = spawn(cupsd, ['-f', '-c', path.join(dir, 'cupsd.conf'), '-s', path.join(dir, 'cups-files.conf')],
    { stdio: 'ignore' });
  const errorLog = () => { try { return fs.readFileSync(path.join(dir, 'log', 'error_log'), 'utf8'); } catch { return ''; } };
  const stop = async () => {
    if (child.exitCode === null && child.signalCode === null) {
      child.kill('SIGTERM');
      await new Promise((resolve) => child.once('exit', resolve));
    }
    fs.rmSync(dir, { recursive: true, force: true });
  };
  for (let i = 0; !(await canConnect(socket)); ++i) {
    if (child.exitCode !== null || i > 400) {
      const log = errorLog();
      await stop();
      throw new Error(`cupsd did not start: ${log}`);
    }
    await new Promise((r) => setTimeout(r, 50));
  }
  const run = (args) => spawnSync(args[0], args.slice(1), { encoding: 'utf8', env: { ...process.env, CUPS_SERVER: socket } });
  return {
    socket,
    run,
    addSinkQueue(name) {
      const added = run(['lpadmin', '-p', name, '-E', '-v', 'file:///dev/null']);
      if (added.status !== 0) throw new Error(`lpadmin: ${added.stdout}${added.stderr}${errorLog()}`);
    },
    stop,
  };
}

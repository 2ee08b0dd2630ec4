// A private X server for the windows a person would see (Xvfb -displayfd, no window manager),
// and xdotool to find them and type into them.
import { spawn, spawnSync } from 'node:child_process';

/** Starts Xvfb; resolves to {display, xdotool(args), windows(title), stop()}. */
export async function startXServer() {
  const child = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1280x1024x24', '-nolisten', 'tcp', '-noreset'],
    { stdio: ['ignore', 'ignore', 'pipe', 'pipe'] });
  const display = await new Promise((resolve, reject) => {
    let text = '';
    child.stdio[3].on('data', (chunk) => {
      text += chunk;
      if (text.includes('\n')) resolve(`:${text.trim()}`);
    });
    child.on('exit', (code) => reject(new Error(`Xvfb ended (${code})`)));
  });
  const xdotool = (args) => spawnSync('timeout', ['20', 'xdotool', ...args], { encoding: 'utf8', env: { ...process.env, DISPLAY: display } });
  return {
    display,
    xdotool,
    /** The ids of the shown windows titled exactly `title`. */
    windows: (title) => xdotool(['search', '--onlyvisible', '--name', `^${title}$`]).stdout.split('\n').filter(Boolean),
    async stop() {
      child.kill('SIGTERM');
      if (child.exitCode === null) await new Promise((resolve) => child.once('exit', resolve));
    },
  };
}

'use strict';
// The browser's process tree as /proc shows it: the descendants of this process, their CPU time
// and their memory. Memory is sampled by a process of its own (sampler.js). RSS is summed as the
// comparison asks; PSS, which splits the pages the processes share, is given beside it.

const { spawn, spawnSync } = require('child_process');
const fs = require('fs');
const path = require('path');

// The descendants of `root`, leaving out the `excluded` processes and their children.
function descendants(root, excluded = []) {
  const children = new Map();
  for (const name of fs.readdirSync('/proc')) {
    if (!/^[0-9]+$/.test(name)) continue;
    try {
      const stat = fs.readFileSync(`/proc/${name}/stat`, 'utf8');
      const ppid = Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]);
      if (!children.has(ppid)) children.set(ppid, []);
      children.get(ppid).push(Number(name));
    } catch {
      // The process ended meanwhile.
    }
  }
  const found = [];
  const pending = [root];
  while (pending.length) {
    for (const child of children.get(pending.pop()) || []) {
      if (excluded.includes(child)) continue;
      found.push(child);
      pending.push(child);
    }
  }
  return found;
}

let ticksPerSecond = 0;

// User and system CPU seconds the processes have used so far.
function cpuSeconds(pids) {
  if (!ticksPerSecond) {
    const getconf = spawnSync('getconf', ['CLK_TCK'], { encoding: 'utf8' });
    ticksPerSecond = Number(getconf.stdout) || 100;
  }
  let ticks = 0;
  for (const pid of pids) {
    try {
      const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      ticks += Number(fields[11]) + Number(fields[12]);  // utime, stime
    } catch {
      // The process ended meanwhile.
    }
  }
  return ticks / ticksPerSecond;
}

function readKb(pid, file, pattern) {
  try {
    const match = pattern.exec(fs.readFileSync(`/proc/${pid}/${file}`, 'utf8'));
    return match ? Number(match[1]) : 0;
  } catch {
    return 0;
  }
}

// The summed memory of the processes now, in KiB; PSS only when asked.
function memoryKb(pids, withPss = true) {
  let rss = 0;
  let pss = 0;
  for (const pid of pids) {
    rss += readKb(pid, 'status', /^VmRSS:\s+(\d+) kB/m);
    if (withPss) pss += readKb(pid, 'smaps_rollup', /^Pss:\s+(\d+) kB/m);
  }
  return { rss, pss };
}

// Samples this process's descendants every `intervalMs`, leaving out the `excluded` processes;
// stop() resolves to the peaks of the sums: { rssKb, pssKb, processes, samples }.
function sampleProcessTree(intervalMs, excluded = []) {
  const sampler = spawn(process.execPath,
    [path.join(__dirname, 'sampler.js'), String(process.pid), String(intervalMs), ...excluded.map(String)],
    { stdio: ['pipe', 'pipe', 'inherit'] });
  let output = '';
  sampler.stdout.on('data', (chunk) => { output += chunk; });
  const exited = new Promise((resolve) => sampler.once('exit', resolve));
  return {
    pid: sampler.pid,
    stop: async () => {
      sampler.stdin.end();
      await exited;
      return JSON.parse(output);
    },
  };
}

module.exports = { descendants, cpuSeconds, memoryKb, sampleProcessTree };

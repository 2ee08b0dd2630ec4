'use strict';
// The memory sampler (see processTree.js), a process of its own so its work is counted neither
// as the browser's nor as the driver's:
//   node sampler.js ROOT_PID INTERVAL_MS [EXCLUDED_PID...]
// Samples until its standard input closes, then prints the peaks as JSON.

const { descendants, memoryKb } = require('./processTree.js');

const [root, intervalMs, ...excluded] = process.argv.slice(2).map(Number);
excluded.push(process.pid);
const peak = { rssKb: 0, pssKb: 0, processes: 0, samples: 0 };
let pids = [];
let count = 0;

function sample() {
  // The tree is found again every second; PSS, dearer to read, every fifth sample.
  if (count % Math.max(1, Math.round(1000 / intervalMs)) === 0) pids = descendants(root, excluded);
  const withPss = count % 5 === 0;
  const { rss, pss } = memoryKb(pids, withPss);
  peak.rssKb = Math.max(peak.rssKb, rss);
  if (withPss) peak.pssKb = Math.max(peak.pssKb, pss);
  peak.processes = Math.max(peak.processes, pids.length);
  peak.samples += 1;
  count += 1;
}

const timer = setInterval(sample, intervalMs);
process.stdin.resume();
process.stdin.on('end', () => {
  clearInterval(timer);
  pids = descendants(root, excluded);
  count = 0;
  sample();
  process.stdout.write(`${JSON.stringify(peak)}\n`);
});

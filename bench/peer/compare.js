'use strict';
// The same invoices printed to PDF by the control's engine and by headless Chromium in this run.
// Each side prints all of them in turn, the other side idle; the turns repeat for several rounds,
// the order swapped each round, so a change in the machine's load hits both sides alike. Both
// wall-clock and CPU time are kept: on a shared machine the CPU time is the steadier. Prints one
// JSON object with both sides' times, peak memory and ratios.
//
//   node compare.js --engine BUILD/bench/e2e/e2e_bench --rule rule.xml --work DIR
//                   [--count 100] [--seed 20261208] [--chromium /usr/bin/chromium]
//                   [--rounds 3] [--memory-interval-ms 50]   (0: no memory sampling)

const { spawn, spawnSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const readline = require('readline');
const { chromium } = require('playwright-core');
const { generateInvoices } = require('./invoices.js');
const { invoiceHtml } = require('./html.js');
const { descendants, cpuSeconds, sampleProcessTree } = require('./processTree.js');

const CHROMIUM_FLAGS = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
];

function options() {
  const found = {
    count: '100', seed: '20261208', chromium: '/usr/bin/chromium', rounds: '3',
    'memory-interval-ms': '50',
  };
  const args = process.argv.slice(2);
  for (let i = 0; i + 1 < args.length; i += 2) found[args[i].replace(/^--/, '')] = args[i + 1];
  for (const name of ['engine', 'rule', 'work']) {
    if (!found[name]) throw new Error(`missing --${name}`);
  }
  return found;
}

const sum = (values) => values.reduce((a, b) => a + b, 0);
const mean = (values) => sum(values) / values.length;
function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = sorted.length >> 1;
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}
const elapsedMs = (start) => Number(process.hrtime.bigint() - start) / 1e6;
const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Every PDF must hold exactly one page, or the comparison compares nothing.
function checkOnePage(files) {
  for (const file of files) {
    const info = spawnSync('pdfinfo', [file], { encoding: 'utf8' });
    if (info.error) return `not checked (pdfinfo: ${info.error.message})`;
    const pages = /^Pages:\s+(\d+)/m.exec(info.stdout);
    if (info.status !== 0 || !pages || pages[1] !== '1') {
      throw new Error(`${file} is not a one-page PDF`);
    }
  }
  return `${files.length} one-page PDFs`;
}

// The engine as a child process that prints invoice N when told N (e2e_bench serve) and
// answers with the wall-clock and CPU milliseconds.
async function startEngine(settings, dir) {
  const child = spawn(settings.engine, ['serve', '--rule', settings.rule, '--dir', dir],
    { stdio: ['pipe', 'pipe', 'inherit'] });
  const lines = readline.createInterface({ input: child.stdout })[Symbol.asyncIterator]();
  const next = async () => {
    const line = await lines.next();
    if (line.done) throw new Error('the engine stopped');
    return line.value;
  };
  const ready = await next();
  if (!ready.startsWith('ready')) throw new Error(`the engine said ${ready}`);
  return {
    pid: child.pid,
    print: async (index) => {
      child.stdin.write(`${index}\n`);
      const [wall, cpu] = (await next()).split(' ').map(Number);
      return { wall, cpu };
    },
    finish: async () => {
      child.stdin.write('quit\n');
      const summary = JSON.parse(await next());
      await new Promise((resolve) => child.once('exit', resolve));
      return summary;
    },
  };
}

// One turn of the engine: every invoice once. CPU time is the engine process's own.
async function engineTurn(engine, count) {
  const turn = { wall: [], cpu: [] };
  for (let i = 0; i < count; ++i) {
    const { wall, cpu } = await engine.print(i);
    turn.wall.push(wall);
    turn.cpu.push(cpu);
  }
  return { wallMs: mean(turn.wall), cpuMs: mean(turn.cpu), wall: turn.wall };
}

// One turn of the browser: every invoice set as the page's content and printed to a PDF file.
// CPU time is the browser's process tree's; the driver's (this Node process) is kept apart.
async function browserTurn(page, pages, dir, browserPids) {
  const wall = [];
  const cpuStart = cpuSeconds(browserPids());
  const driverStart = process.cpuUsage();
  for (let i = 0; i < pages.length; ++i) {
    const start = process.hrtime.bigint();
    await page.setContent(pages[i], { waitUntil: 'load' });
    const pdf = await page.pdf({ preferCSSPageSize: true, printBackground: true });
    fs.writeFileSync(path.join(dir, `chromium-${String(i).padStart(3, '0')}.pdf`), pdf);
    wall.push(elapsedMs(start));
  }
  const cpu = (cpuSeconds(browserPids()) - cpuStart) * 1e3 / pages.length;
  const driver = process.cpuUsage(driverStart);
  return {
    wallMs: mean(wall), cpuMs: cpu, driverCpuMs: (driver.user + driver.system) / 1e3 / pages.length,
    wall,
  };
}

async function compare(settings, pages, dir) {
  const engine = await startEngine(settings, dir);
  const interval = Number(settings['memory-interval-ms']);
  const memory = interval > 0 ? sampleProcessTree(interval, [engine.pid]) : null;
  const notBrowser = memory ? [engine.pid, memory.pid] : [engine.pid];
  const browserPids = () => descendants(process.pid, notBrowser);
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tavo-bench-chromium-'));
  let context;
  try {
    const launchStart = process.hrtime.bigint();
    context = await chromium.launchPersistentContext(profile, {
      executablePath: settings.chromium, headless: true, args: CHROMIUM_FLAGS,
    });
    const page = await context.newPage();
    const startupMs = elapsedMs(launchStart);

    const rounds = [];
    for (let round = 0; round < Number(settings.rounds); ++round) {
      const result = {};
      const order = round % 2 === 0 ? ['tavo', 'chromium'] : ['chromium', 'tavo'];
      for (const side of order) {
        // Whatever the other side left running settles first.
        await pause(1000);
        result[side] = side === 'tavo' ? await engineTurn(engine, pages.length)
          : await browserTurn(page, pages, dir, browserPids);
      }
      rounds.push(result);
    }
    const peak = memory ? await memory.stop() : { rssKb: 0, pssKb: 0, processes: 0, samples: 0 };
    const summary = await engine.finish();
    const side = (name) => ({
      wall_ms: mean(rounds.map((r) => r[name].wallMs)),
      median_wall_ms: median(rounds.flatMap((r) => r[name].wall)),
      cpu_ms: mean(rounds.map((r) => r[name].cpuMs)),
    });
    return {
      rounds: rounds.map((r) => ({
        tavo_wall_ms: r.tavo.wallMs, tavo_cpu_ms: r.tavo.cpuMs,
        chromium_wall_ms: r.chromium.wallMs, chromium_cpu_ms: r.chromium.cpuMs,
        driver_cpu_ms: r.chromium.driverCpuMs,
        wall_ratio: r.chromium.wallMs / r.tavo.wallMs, cpu_ratio: r.chromium.cpuMs / r.tavo.cpuMs,
      })),
      tavo: { ...side('tavo'), startup_ms: summary.startup_s * 1e3, peak_rss_kb: summary.peak_rss_kb },
      chromium: {
        ...side('chromium'), version: context.browser() ? context.browser().version() : '',
        driver_cpu_ms: mean(rounds.map((r) => r.chromium.driverCpuMs)), startup_ms: startupMs,
        peak_rss_kb: peak.rssKb, peak_pss_kb: peak.pssKb, processes: peak.processes,
        memory_samples: peak.samples,
      },
    };
  } finally {
    if (context) await context.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
}

async function main() {
  const settings = options();
  const dir = path.resolve(settings.work);
  fs.rmSync(dir, { recursive: true, force: true });
  fs.mkdirSync(dir, { recursive: true });
  const rule = fs.readFileSync(settings.rule, 'utf8');
  const documents = generateInvoices(Number(settings.count), Number(settings.seed));
  documents.forEach((data, i) =>
    fs.writeFileSync(path.join(dir, `data-${String(i).padStart(3, '0')}.xml`), data));
  const htmlStart = process.hrtime.bigint();
  const pages = documents.map((data) => invoiceHtml(rule, data));
  const htmlMs = elapsedMs(htmlStart);
  pages.forEach((html, i) =>
    fs.writeFileSync(path.join(dir, `chromium-${String(i).padStart(3, '0')}.html`), html));

  const result = await compare(settings, pages, dir);
  const pdfs = fs.readdirSync(dir).filter((name) => name.endsWith('.pdf'));
  if (pdfs.length !== 2 * documents.length) throw new Error(`expected ${2 * documents.length} PDFs`);
  const check = checkOnePage(pdfs.map((name) => path.join(dir, name)));
  const rowCounts = documents.map((d) => (d.match(/<row>/g) || []).length);

  console.log(JSON.stringify({
    bench: 'peer', invoices: documents.length, seed: Number(settings.seed),
    rows_min: Math.min(...rowCounts), rows_max: Math.max(...rowCounts), rows_mean: mean(rowCounts),
    html_generation_ms: htmlMs, check, ...result,
    wall_ratio: result.chromium.wall_ms / result.tavo.wall_ms,
    cpu_ratio: result.chromium.cpu_ms / result.tavo.cpu_ms,
    memory_ratio: result.chromium.peak_rss_kb / result.tavo.peak_rss_kb,
    pss_memory_ratio: result.chromium.peak_pss_kb / result.tavo.peak_rss_kb,
  }));
}

main().catch((error) => {
  console.error(`compare: ${error.stack || error}`);
  process.exit(1);
});

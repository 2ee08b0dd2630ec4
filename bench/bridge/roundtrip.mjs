// The bridge's costs against the same calls in-process, in one run: round trips of
// GetOcxVersion and of PrintXmlData of the sample invoice (a page's WebSocket -> bridge ->
// worker -> control and back, over a plain WebSocket client), the time from connecting to the
// first answer (which starts the page's worker and creates its control), and the resident
// memory of the bridge and of one worker. Prints one JSON object.
//   node bench/bridge/roundtrip.mjs [BUILD_DIR]
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { invoiceData, invoiceRule, sourceDir, startBridge } from '../../tests/bridge/e2e/harness.mjs';
import { rawWebSocket } from '../../tests/bridge/e2e/rawSocket.mjs';

const buildDir = path.resolve(process.argv[2] ?? path.join(sourceDir, 'build'));
const versionCalls = 1000;
const printCalls = 50;
const origin = 'http://127.0.0.1:1';
const now = () => Number(process.hrtime.bigint()) / 1e3;  // microseconds
const rssKiB = (pid) => Number(/VmRSS:\s+(\d+)/.exec(fs.readFileSync(`/proc/${pid}/status`, 'utf8'))[1]);

const bridge = await startBridge({ allow: [origin] });
try {
  let id = 0;
  async function call(ws, method, params) {
    ws.call(++id, method, params);
    const answer = await ws.next();
    if (answer.error) throw new Error(`${method}: ${answer.error.message}`);
    return answer.result;
  }

  const firstAnswer = [];
  for (let i = 0; i < 10; ++i) {
    const start = now();
    const ws = await rawWebSocket(bridge.port, { origin });
    await call(ws, 'GetOcxVersion', ['2.0.0.2']);
    firstAnswer.push(now() - start);
    ws.close();
  }

  const ws = await rawWebSocket(bridge.port, { origin });
  await call(ws, 'SetDefaultPrinter', ['pdf:bridge.pdf']);
  await call(ws, 'PrintXmlData', [invoiceData, invoiceRule]);
  let start = now();
  for (let i = 0; i < versionCalls; ++i) await call(ws, 'GetOcxVersion', ['2.0.0.2']);
  const version = (now() - start) / versionCalls;
  start = now();
  for (let i = 0; i < printCalls; ++i) await call(ws, 'PrintXmlData', [invoiceData, invoiceRule]);
  const print = (now() - start) / printCalls;
  const workers = bridge.workers();
  const memory = { bridge_kib: rssKiB(bridge.child.pid), worker_kib: rssKiB(workers[workers.length - 1]) };
  ws.close();

  const out = fs.mkdtempSync(path.join(os.tmpdir(), 'tavo-baseline-'));
  const baselineRun = spawnSync(path.join(buildDir, 'bench/bridge/bridge_baseline'),
    [path.join(sourceDir, 'examples/invoice/data.xml'), path.join(sourceDir, 'examples/invoice/rule.xml'), out,
      String(versionCalls), String(printCalls)],
    { encoding: 'utf8', env: { ...process.env, TAVO_REGISTRY: bridge.registry, QT_QPA_PLATFORM: 'offscreen' } });
  fs.rmSync(out, { recursive: true, force: true });
  if (baselineRun.status !== 0) throw new Error(`bridge_baseline: ${baselineRun.stderr}`);
  const baseline = JSON.parse(baselineRun.stdout);

  firstAnswer.sort((a, b) => a - b);
  console.log(JSON.stringify({
    bench: 'bridge',
    GetOcxVersion_us: { bridge: +version.toFixed(1), in_process: baseline.GetOcxVersion_us, ratio: +(version / baseline.GetOcxVersion_us).toFixed(1) },
    PrintXmlData_us: { bridge: +print.toFixed(0), in_process: baseline.PrintXmlData_us, ratio: +(print / baseline.PrintXmlData_us).toFixed(2) },
    connect_to_first_answer_ms: { median: +(firstAnswer[5] / 1000).toFixed(1), max: +(firstAnswer[9] / 1000).toFixed(1) },
    memory_kib: memory,
  }));
} finally {
  await bridge.stop();
}

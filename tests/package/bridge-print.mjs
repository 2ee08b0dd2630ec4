// The installed tavobridge, as the user service starts it (no registry of its own: the machine's
// registration serves), serves /tavo.js and prints the sample invoice through the client, and
// serves the installed designer, which connects from the bridge's own origin.
// Prints "ok: ..." and exits 0, or says what failed and exits 1.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';
import {
  invoiceData, invoiceRule, invoiceTitle, launchBrowser, openPage, originFolderName, pdfInfo,
  startPageServer,
} from '../bridge/e2e/harness.mjs';

const home = fs.mkdtempSync(path.join(os.tmpdir(), 'tavo-installed-bridge-'));
const pages = await startPageServer();
const env = { PATH: '/usr/bin:/bin', HOME: home, LANG: 'C.UTF-8' };
const bridge = spawn('/usr/bin/tavobridge', ['--port', '0', '--allow', pages.origin],
  { env, stdio: ['ignore', 'pipe', 'pipe'] });
let stderr = '';
bridge.stderr.on('data', (chunk) => { stderr += chunk; });
let browser;
try {
  const port = await new Promise((resolve, reject) => {
    readline.createInterface({ input: bridge.stdout }).on('line', (line) => {
      const found = /^tavobridge listening on 127\.0\.0\.1:(\d+)$/.exec(line);
      if (found) resolve(Number(found[1]));
    });
    bridge.on('exit', (code) => reject(new Error(`tavobridge ended (${code}): ${stderr}`)));
  });
  const script = await fetch(`http://127.0.0.1:${port}/tavo.js`);
  if (!script.ok || !(await script.text()).includes('export')) throw new Error('no /tavo.js');
  browser = await launchBrowser();
  const page = await openPage(browser, pages.origin, port);
  const outcome = await page.evaluate(async ([bridgePort, data, rule]) => {
    const control = await window.tavo.connect({ port: bridgePort });
    const version = await control.GetOcxVersion('2.0.0.2');
    await control.SetDefaultPrinter('pdf:installed.pdf');
    await control.PrintXmlData(data, rule);
    control.close();
    return version;
  }, [port, invoiceData, invoiceRule]);
  const pdf = path.join(home, '.local/share/tavo/bridge-files',
    originFolderName(pages.origin),
    'installed.pdf');
  const info = pdfInfo(pdf);
  if (outcome !== 1 || info.Pages !== '1' || info.Title !== invoiceTitle('12345678'))
    throw new Error(`GetOcxVersion ${outcome}, PDF ${JSON.stringify(info)}`);
  if (stderr.includes('registered')) throw new Error(`the bridge registered the control itself: ${stderr}`);
  const designer = await browser.newPage();
  await designer.goto(`http://127.0.0.1:${port}/designer/`);
  await designer.getByText(/^Connected to the print control/).waitFor({ timeout: 30000 });
  console.log('ok: the installed bridge serves tavo.js and prints through it, and its designer connects');
} catch (error) {
  console.log(`FAILED: ${error.message}\n${stderr}`);
  process.exitCode = 1;
} finally {
  await browser?.close();
  bridge.kill('SIGTERM');
  await pages.close();
  fs.rmSync(home, { recursive: true, force: true });
}

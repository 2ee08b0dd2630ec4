// A public page, as a company's billing system is to the browser, in Chromium and Firefox with
// the client bundled: without a site policy the browser keeps it from 127.0.0.1 and the client
// says why; after `tavoprint site allow ORIGIN --machine` it prints the sample invoice with no
// question asked and no --allow; after `site remove` it fails again and the browsers' policy
// files are as they were, another administrator's policy key for key. These tests write the
// machine's browser policy files: they run as root and restore every file byte for byte.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import {
  browserNames, buildDir, invoiceNumbered, invoiceRule, invoiceTitle, launchBrowser, pdfInfo, sourceDir, startBridge,
  startServer,
} from './harness.mjs';

const chromiumFolder = '/etc/chromium/policies/managed';
const chromiumFile = path.join(chromiumFolder, 'tavo-bridge.json');
const firefoxFile = '/etc/firefox/policies/policies.json';
const machineFiles = [chromiumFile, firefoxFile];
const machineFolders = [chromiumFolder, '/etc/chromium/policies', '/etc/firefox/policies', '/etc/firefox'];
const skipped = process.getuid?.() !== 0 && 'these tests write the browsers\' policies under /etc: run them as root';
const host = 'erp.example.test';
// Another administrator's Firefox policies, which ours must leave as they are.
const otherFirefoxPolicies = {
  policies: { DisableTelemetry: true, LocalNetworkAccess: { Locked: false, SkipDomains: ['intranet.example.test'] } },
};

/** The machine's files and folders as they are, to put back byte for byte. */
function snapshot() {
  const files = new Map(machineFiles.map((file) => [file, fs.existsSync(file) ? { bytes: fs.readFileSync(file), mode: fs.statSync(file).mode } : null]));
  const folders = new Map(machineFolders.map((folder) => [folder, fs.existsSync(folder)]));
  const others = chromiumOthers();
  return {
    others,
    restore() {
      for (const [file, kept] of files) {
        if (kept) {
          fs.mkdirSync(path.dirname(file), { recursive: true });
          fs.writeFileSync(file, kept.bytes);
          fs.chmodSync(file, kept.mode & 0o7777);
        } else {
          fs.rmSync(file, { force: true });
        }
      }
      // Deepest first; a folder that something else filled meanwhile stays.
      for (const [folder, existed] of folders) {
        if (!existed) try { fs.rmdirSync(folder); } catch { /* not ours alone, or gone */ }
      }
    },
  };
}

/** The other administrators' Chromium policy files, name to bytes. */
function chromiumOthers() {
  if (!fs.existsSync(chromiumFolder)) return {};
  return Object.fromEntries(fs.readdirSync(chromiumFolder).filter((name) => name !== 'tavo-bridge.json')
    .map((name) => [name, fs.readFileSync(path.join(chromiumFolder, name)).toString('base64')]));
}

let machine;
let bridge, loopbackPages, publicPages, origin;
const seen = {};

before(async () => {
  if (skipped) return;
  machine = snapshot();
  // Put back even when the run is cut short.
  process.once('exit', () => machine.restore());
  fs.mkdirSync(path.dirname(firefoxFile), { recursive: true });
  fs.writeFileSync(firefoxFile, JSON.stringify(otherFirefoxPolicies));
  const client = fs.readFileSync(path.join(sourceDir, 'clients/js/tavo.js'));
  // The billing system's server: its page and the client bundled with it.
  const serve = (request, response) => {
    if (request.url === '/tavo.js') {
      response.writeHead(200, { 'Content-Type': 'text/javascript' });
      response.end(client);
      return;
    }
    response.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' });
    response.end('<!doctype html><meta charset="utf-8"><title>billing</title>');
  };
  publicPages = await startServer(serve);
  loopbackPages = await startServer(serve);
  origin = `http://${host}:${publicPages.port}`;
  // The user allows the page on this machine; the public page has no line anywhere yet.
  bridge = await startBridge({ policy: `allow ${loopbackPages.origin}\n` });
});
after(async () => {
  await bridge?.stop();
  await publicPages?.close();
  await loopbackPages?.close();
  machine?.restore();
  for (const [name, row] of Object.entries(seen)) {
    console.log(`| ${name} | ${row.loopback} | ${row.none} | ${row.allowed} | ${row.removed} |`);
  }
});

/** tavoprint site ... --machine with the bridge's machine policy file; its output. */
function site(...args) {
  const run = spawnSync(path.join(buildDir, 'bin', 'tavoprint'), ['site', ...args],
    { encoding: 'utf8', env: { ...process.env, TAVO_MACHINE_POLICY: bridge.machinePolicy } });
  assert.equal(run.status, 0, run.stderr);
  return run.stdout;
}

/** Connects from a new page at `url` and prints the sample invoice to `pdf`; what the page saw. */
async function printFrom(browser, url, pdf, number) {
  const page = await browser.newPage();
  try {
    await page.goto(url);
    return await page.evaluate(async ([port, file, data, rule]) => {
      const tavo = await import('/tavo.js');
      try {
        const control = await tavo.connect({ port, timeout: 5000 });
        await control.SetDefaultPrinter(`pdf:${file}`);
        await control.PrintXmlData(data, rule);
        control.close();
        return { printed: true };
      } catch (error) {
        return { name: error.name, reason: error.reason, fix: error.fix, message: error.message };
      }
    }, [bridge.port, pdf, invoiceNumbered(number), invoiceRule]);
  } finally {
    await page.close();
  }
}

/** What the page saw, for the table. */
const said = (outcome) => (outcome.printed ? 'printed' : `${outcome.reason}: "${outcome.message.slice(0, 60)}..."`);

for (const name of browserNames()) {
  describe(`a public page in ${name}`, { skip: skipped }, () => {
    const refusal = (outcome) => {
      assert.equal(outcome.name, 'TavoConnectError', JSON.stringify(outcome));
      assert.equal(outcome.fix, `tavoprint site allow ${origin} --machine`);
      if (name === 'chromium') {
        // Chromium refuses at once and says so through its permission.
        assert.equal(outcome.reason, 'browser-permission', outcome.message);
        assert.match(outcome.message, /permission "loopback-network" is denied/);
      } else {
        // Firefox holds the request for its question, which nobody answers here.
        assert.equal(outcome.reason, 'timeout', outcome.message);
        assert.match(outcome.message, /within 5 s: .*"Device apps and services", permission "loopback-network"/);
      }
    };
    const launch = () => launchBrowser(name, { publicPage: { host, port: publicPages.port } });

    test('without a site policy: the page on this machine prints, the public page is refused and told why', async () => {
      const browser = await launch();
      try {
        const loopback = await printFrom(browser, loopbackPages.origin, `${name}-loopback.pdf`, '31000001');
        assert.deepEqual(loopback, { printed: true });
        const none = await printFrom(browser, origin, `${name}-none.pdf`, '31000002');
        refusal(none);
        seen[name] = { loopback: said(loopback), none: said(none) };
      } finally {
        await browser.close();
      }
      assert.ok(!fs.existsSync(path.join(bridge.folderOf(origin), `${name}-none.pdf`)));
    });

    test('after site allow --machine it prints with no question; after site remove it is refused and the files are as they were', async () => {
      const allowed = site('allow', origin, '--machine');
      assert.match(allowed, new RegExp(`${bridge.machinePolicy}: written \\(allow ${origin}\\)`));
      assert.match(allowed, new RegExp(`${firefoxFile}: (written|unchanged) \\(SkipDomains: ${host}\\)`));
      assert.deepEqual(JSON.parse(fs.readFileSync(chromiumFile, 'utf8')),
        { LoopbackNetworkAllowedForUrls: [origin], LocalNetworkAccessAllowedForUrls: [origin] });
      const merged = JSON.parse(fs.readFileSync(firefoxFile, 'utf8'));
      assert.deepEqual(merged.policies.LocalNetworkAccess, { Locked: false, SkipDomains: ['intranet.example.test', host] });
      assert.equal(merged.policies.DisableTelemetry, true);
      // Idempotent: the same command again changes no file.
      assert.doesNotMatch(site('allow', origin, '--machine'), /written/);
      assert.match(site('list'), new RegExp(`${origin}  allowed: machine, Chromium, Firefox\n`));

      let browser = await launch();
      try {
        const printed = await printFrom(browser, origin, `${name}-allowed.pdf`, '31000003');
        assert.deepEqual(printed, { printed: true });
        (seen[name] ??= {}).allowed = said(printed);
      } finally {
        await browser.close();
      }
      const info = pdfInfo(path.join(bridge.folderOf(origin), `${name}-allowed.pdf`));
      assert.equal(info.Title, invoiceTitle('31000003'));

      site('remove', origin, '--machine');
      assert.ok(!fs.existsSync(chromiumFile), 'our Chromium file goes with our last origin');
      assert.deepEqual(JSON.parse(fs.readFileSync(firefoxFile, 'utf8')), otherFirefoxPolicies);
      assert.deepEqual(chromiumOthers(), machine.others);
      browser = await launch();
      try {
        const removed = await printFrom(browser, origin, `${name}-removed.pdf`, '31000004');
        refusal(removed);
        (seen[name] ??= {}).removed = said(removed);
      } finally {
        await browser.close();
      }
    });
  });
}

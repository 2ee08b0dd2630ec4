// The extension methods through the bridge, as the designer and other pages use them: the page
// as a printer receives it, a page's own text files, a run of records as one job, the print
// outcome and job state of a real scheduler, the rule checker; and the bridge's own origin,
// which needs no policy.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { cupsInstalled, startCups } from './cups.mjs';
import {
  browserNames, buildDir, invoiceData, invoiceNumbered, invoiceRule, invoiceTitle, launchBrowser, pdfInfo,
  runInPage,
  startBridge, startPageServer,
} from './harness.mjs';
import { rawWebSocket } from './rawSocket.mjs';

const sink = 'tavo-e2e-sink';
let cups, bridge, pages, browser, folder;

before(async () => {
  if (cupsInstalled()) {
    cups = await startCups();
    cups.addSinkQueue(sink);
  }
  pages = await startPageServer();
  bridge = await startBridge({ allow: [pages.origin], env: cups ? { CUPS_SERVER: cups.socket } : {} });
  folder = bridge.folderOf(pages.origin);
});
after(async () => {
  await bridge?.stop();
  await pages?.close();
  await cups?.stop();
});

const inPage = (body, ...args) => runInPage(browser, pages.origin, bridge.port, body, ...args);
const denied = (p) => ({ code: -2147024891, hresult: '0x80070005', message: `Paths outside the page's own folder are not accessible: ${p}` });

describe('the bridge\'s own origin', () => {
  test('is allowed without a policy line on each loopback name; another port is not', async () => {
    const own = await startBridge();
    try {
      for (const origin of [`http://127.0.0.1:${own.port}`, `http://localhost:${own.port}`, `http://[::1]:${own.port}`]) {
        const ws = await rawWebSocket(own.port, { origin });
        assert.equal(ws.status, 101, origin);
        ws.call(1, 'tavo.hello', []);
        assert.deepEqual(await ws.next(), { jsonrpc: '2.0', id: 1, result: { product: 'tavo', version: '2.0.0.2', protocol: 1, origin } });
        ws.close();
      }
      for (const origin of [`http://127.0.0.1:${own.port + 1}`, `https://127.0.0.1:${own.port}`, `http://evil.example:${own.port}`]) {
        const refused = await rawWebSocket(own.port, { origin });
        assert.equal(refused.status, 403, origin);
      }
    } finally {
      await own.stop();
    }
  });
});

// The calls a page makes, in each browser.
for (const browserName of browserNames()) {
  describe(`in ${browserName}`, () => {
    before(async () => { browser = await launchBrowser(browserName); });
    after(async () => { await browser?.close(); });

    describe('renderPrintPage', () => {
      test('answers the PDF printer\'s page at the width asked: the picture tavoprint writes', async () => {
        const outcome = await inPage(async (control, tavo, [data, rule]) => {
          const picture = await control.renderPrintPage(data, rule, 'pdf:', 800);
          let refused;
          try {
            await control.renderPrintPage(data, rule, 'pdf:', 0);
          } catch (error) {
            refused = { code: error.code, hresult: error.hresult, message: error.message };
          }
          return { picture, refused };
        }, invoiceData, invoiceRule);
        assert.equal(outcome.error, undefined, JSON.stringify(outcome.error));
        const { picture, refused } = outcome.value;
        // The PDF printer's sheet is the sample's own page: 800 pixels for 241 mm.
        assert.equal(picture.width, 800);
        assert.equal(picture.height, Math.round(800 * 140 / 241));
        const bytes = Buffer.from(picture.png, 'base64');
        assert.equal(bytes.readUInt32BE(16), 800);
        assert.equal(bytes.readUInt32BE(20), picture.height);

        const png = path.join(bridge.work, 'as-printed.png');
        fs.writeFileSync(path.join(bridge.work, 'data.xml'), invoiceData);
        fs.writeFileSync(path.join(bridge.work, 'rule.xml'), invoiceRule);
        const printed = spawnSync(path.join(buildDir, 'bin', 'tavoprint'), ['--registry', bridge.registry, 'preview',
          path.join(bridge.work, 'data.xml'), path.join(bridge.work, 'rule.xml'), '--png', png, '--as-printed', '--pdf',
          '--width', '800'], { encoding: 'utf8' });
        assert.equal(printed.status, 0, printed.stderr);
        assert.ok(fs.readFileSync(png).equals(bytes), 'the bridge answers the control\'s own picture');

        assert.deepEqual(refused, { code: -2147024809, hresult: '0x80070057', message: 'Width must be 1 to 10000 pixels, not 0' });
      });
    });

    describe('writeFile', () => {
      test('writes UTF-8 text inside the page\'s folder, folders on the way included; outside is refused', async () => {
        fs.mkdirSync(folder, { recursive: true });
        fs.writeFileSync(path.join(folder, 'rule.xml'), 'the old rule');
        const outcome = await inPage(async (control, tavo, [rule, absolute], attempt) => {
          return {
            nested: await attempt(() => control.writeFile('rules/2026/发票.xml', rule)),
            replaced: await attempt(() => control.writeFile('rule.xml', rule)),
            escaping: await attempt(() => control.writeFile('../x', 'outside')),
            absolute: await attempt(() => control.writeFile(absolute, 'outside')),
            folder: await attempt(() => control.writeFile('rules', 'over a folder')),
          };
        }, invoiceRule, path.join(bridge.work, 'absolute.xml'));
        assert.equal(outcome.error, undefined, JSON.stringify(outcome.error));
        const result = outcome.value;
        assert.deepEqual(result.nested, { value: null });
        assert.deepEqual(result.replaced, { value: null });
        assert.equal(fs.readFileSync(path.join(folder, 'rules/2026/发票.xml'), 'utf8'), invoiceRule);
        assert.equal(fs.readFileSync(path.join(folder, 'rule.xml'), 'utf8'), invoiceRule);
        assert.deepEqual(result.escaping, denied('../x'));
        assert.deepEqual(result.absolute, denied(path.join(bridge.work, 'absolute.xml')));
        assert.ok(!fs.existsSync(path.join(bridge.work, 'files', 'x')));
        assert.ok(!fs.existsSync(path.join(bridge.work, 'absolute.xml')));
        assert.equal(result.folder.hresult, '0x80004005');
        assert.match(result.folder.message, /^Cannot write the file rules: /);
        // Nothing half-written is left behind.
        const names = fs.readdirSync(folder, { recursive: true });
        assert.deepEqual(names.filter((name) => path.basename(name).startsWith('.tavo-')), []);
      });
    });

    describe('writeBinaryFile', () => {
      test('writes the bytes of Base64 text inside the page\'s folder; other text and other places are refused', async () => {
        const bytes = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0, 1, 2, 0xfe, 0xff, 0x0a, 0x0d]);
        const outcome = await inPage(async (control, tavo, [base64], attempt) => {
          return {
            written: await attempt(() => control.writeBinaryFile('pictures/form-96dpi.png', base64)),
            notBase64: await attempt(() => control.writeBinaryFile('bad.png', 'data:image/png;base64,AAAA')),
            escaping: await attempt(() => control.writeBinaryFile('../x.png', base64)),
          };
        }, bytes.toString('base64'));
        assert.equal(outcome.error, undefined, JSON.stringify(outcome.error));
        const result = outcome.value;
        assert.deepEqual(result.written, { value: null });
        assert.deepEqual(fs.readFileSync(path.join(folder, 'pictures/form-96dpi.png')), bytes);
        assert.deepEqual(result.notBase64, { code: -2147467259, hresult: '0x80004005', message: 'Cannot write the file bad.png: the data is not Base64 text' });
        assert.ok(!fs.existsSync(path.join(folder, 'bad.png')));
        assert.deepEqual(result.escaping, denied('../x.png'));
      });
    });

    describe('printBatch', () => {
      test('prints every record as its page in one PDF, and a picture says how many sheets a record takes', async () => {
        const records = ['70000001', '70000002', '70000003'].map((n) => invoiceNumbered(n).match(/<record>[^]*<\/record>/)[0]);
        const data = invoiceData.replace(/<record>[^]*<\/record>/, records.join(''));
        // Rows down to rule pixel 214 at most: one goods row a sheet.
        const oneRowASheet = invoiceRule.replace('<printing ', '<printing repeatableRowBottom="214" ');
        const outcome = await inPage(async (control, tavo, [many, one, rule, sheets]) => {
          await control.SetDefaultPrinter('pdf:run.pdf');
          return {
            run: await control.printBatch(many, rule),
            picture: await control.renderPrintPage(one, sheets, 'pdf:', 200),
            preview: await control.renderPreview(one, rule, ''),
          };
        }, data, invoiceData, invoiceRule, oneRowASheet);
        assert.equal(outcome.error, undefined, JSON.stringify(outcome.error));
        assert.deepEqual(outcome.value.run, { printed: true, pages: 3, job: null, failed: [], message: '' });
        assert.equal(pdfInfo(path.join(folder, 'run.pdf')).Pages, '3');
        assert.equal(outcome.value.picture.pages, (invoiceData.match(/<row>/g) ?? []).length);
        assert.equal(outcome.value.preview.pages, 1);
      });
    });

    describe('print outcome, job state and rule check', { skip: !cupsInstalled() && 'cupsd is not installed' }, () => {
      test('lastPrint tells the job a print made on a CUPS queue', async () => {
        const outcome = await inPage(async (control, tavo, [data, rule, queue]) => {
          const before = await control.lastPrint();
          await control.SetDefaultPrinter(queue);
          await control.PrintXmlData(data, rule);
          return { before, after: await control.lastPrint() };
        }, invoiceNumbered('55556666'), invoiceRule, sink);
        assert.equal(outcome.error, undefined, JSON.stringify(outcome.error));
        assert.deepEqual(outcome.value.before, { printed: false, printer: '', title: '', job: null, message: 'No print yet' });
        const { job, ...rest } = outcome.value.after;
        assert.deepEqual(rest, { printed: true, printer: sink, title: invoiceTitle('55556666'), message: '' });
        assert.ok(Number.isInteger(job) && job > 0, `job ${job}`);
      });

      test('jobState follows a real job to completed; an unknown job is a failure that says so', async () => {
        const outcome = await inPage(async (control, tavo, [data, rule, queue]) => {
          await control.SetDefaultPrinter(queue);
          await control.PrintXmlData(data, rule);
          const { job } = await control.lastPrint();
          let state = await control.jobState(job);
          for (let i = 0; i < 300 && state.state !== 'completed'; ++i) {
            await new Promise((r) => setTimeout(r, 100));
            state = await control.jobState(job);
          }
          let unknown;
          try {
            await control.jobState(987654);
          } catch (error) {
            unknown = { hresult: error.hresult, message: error.message };
          }
          return { job, state, unknown };
        }, invoiceData, invoiceRule, sink);
        assert.equal(outcome.error, undefined, JSON.stringify(outcome.error));
        const { job, state, unknown } = outcome.value;
        assert.equal(state.job, job);
        assert.equal(state.state, 'completed');
        // The scheduler's own keywords, whichever it reports.
        assert.ok(state.reasons.length > 0 && state.reasons.every((r) => /^[a-z-]+$/.test(r)), JSON.stringify(state));
        assert.equal(typeof state.message, 'string');
        assert.ok(unknown, 'an unknown job rejects');
        assert.match(unknown.message, /987654/);
      });

      test('checkRule answers the findings as an array: the sample\'s one note and a misspelt key', async () => {
        const misspelt = invoiceRule.replace('fontSize="22"', 'fontSzie="22"');
        const outcome = await inPage(async (control, tavo, [data, rule, bad]) => ({
          clean: await control.checkRule(rule, data),
          mistaken: await control.checkRule(bad, data),
        }), invoiceData, invoiceRule, misspelt);
        assert.equal(outcome.error, undefined, JSON.stringify(outcome.error));
        const { clean, mistaken } = outcome.value;
        assert.ok(Array.isArray(clean));
        assert.deepEqual(clean.map((f) => f.severity), ['note']);
        assert.equal(clean[0].line, 13);
        const spelling = mistaken.find((f) => f.key === 'fontSzie');
        assert.ok(spelling, JSON.stringify(mistaken));
        assert.equal(spelling.severity, 'warning');
        assert.equal(spelling.line, 11);
        assert.equal(spelling.hint, 'did you mean fontSize?');
      });
    });
  });
}

// The bridge as a web page uses it: pages in Chromium and in Firefox call the registered control
// through tavo.js, and each page's calls, printer and files stay its own.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import {
  browserNames, invoiceData, invoiceNumbered, invoiceRule, invoiceTitle, launchBrowser, openPage, outsideAddress,
  pdfInfo, runInPage, sourceDir, startBridge, startPageServer, startServer,
} from './harness.mjs';

// Each browser with a bridge and pages of its own.
for (const browserName of browserNames()) {
  describe(`in ${browserName}`, () => {
    let bridge, pages, other, browser, folder;
    // Pages of two more allowed origins: one origin may have at most 8 pages at once.
    let sites = [];

    before(async () => {
      pages = await startPageServer();
      other = await startPageServer();
      sites = [pages, await startPageServer(), await startPageServer()];
      bridge = await startBridge({ allow: sites.map((site) => site.origin) });
      browser = await launchBrowser(browserName);
      folder = bridge.folderOf(pages.origin);
    });
    after(async () => {
      await browser?.close();
      await bridge?.stop();
      await Promise.all(sites.map((site) => site.close()));
      await other?.close();
    });

    /** Runs `body(control, tavo, args)` inside a new page of the allowed origin. */
    const inPage = (body, ...args) => runInPage(browser, pages.origin, bridge.port, body, ...args);

    describe('a page calls the control', () => {
      test('the bridge registered the module beside it into the empty registry', () => {
        assert.match(bridge.stderr, /the control was not registered; registered .*TavoPreFmtPrinter2X\.so/);
      });

      test('GetOcxVersion, the PDF printer and PrintXmlData of the sample invoice', async () => {
        const outcome = await inPage(async (control, tavo, [data, rule]) => {
          const hello = await control.hello();
          const version = await control.GetOcxVersion('2.0.0.2');
          const newer = await control.GetOcxVersion('2.0.0.3');
          const selected = await control.SetDefaultPrinter('pdf:out.pdf');
          const current = await control.GetDefaultPrinter();
          const printed = await control.PrintXmlData(data, rule);
          return { hello, version, newer, selected, current, printed };
        }, invoiceNumbered('11112222'), invoiceRule);
        assert.equal(outcome.error, undefined, JSON.stringify(outcome.error));
        const { hello, version, newer, selected, current, printed } = outcome.value;
        assert.deepEqual(hello, { product: 'tavo', version: '2.0.0.2', protocol: 1, origin: pages.origin });
        assert.equal(version, 1);
        assert.equal(newer, 0);
        assert.equal(selected, true);
        // The page is told paths in its own folder's terms, never where that folder is.
        assert.equal(current, 'pdf:out.pdf');
        assert.equal(printed, null);
        const info = pdfInfo(path.join(folder, 'out.pdf'));
        assert.equal(info.Pages, '1');
        assert.equal(info.Title, invoiceTitle('11112222'));
      });

      test('a failing call rejects with the control\'s status and description', async () => {
        const outcome = await inPage(async (control) => control.fprintEnd('no job'));
        assert.deepEqual(outcome.error, {
          name: 'TavoError', code: -2147418113, hresult: '0x8000FFFF',
          message: 'Printer is not currently printing',
        });
      });

      test('renderPreview answers the page as a PNG of its size', async () => {
        const outcome = await inPage(async (control, tavo, [data, rule]) => {
          const picture = await control.renderPreview(data, rule, '');
          const bytes = Uint8Array.from(atob(picture.png), (c) => c.charCodeAt(0));
          const view = new DataView(bytes.buffer);
          return { width: picture.width, height: picture.height, headerWidth: view.getUint32(16), headerHeight: view.getUint32(20), length: bytes.length };
        }, invoiceData, invoiceRule);
        assert.equal(outcome.error, undefined, JSON.stringify(outcome.error));
        // The rule's page, 241 by 140 mm, at 96 dpi.
        assert.equal(outcome.value.width, Math.round(241 / 25.4 * 96));
        assert.equal(outcome.value.height, Math.round(140 / 25.4 * 96));
        assert.equal(outcome.value.headerWidth, outcome.value.width);
        assert.equal(outcome.value.headerHeight, outcome.value.height);
        assert.ok(outcome.value.length > 1000);
      });

      test('downloadImg writes into the page\'s folder; paths outside it and other schemes are refused', async (t) => {
        if (!outsideAddress()) return t.skip('this machine has no address outside loopback');
        const picture = fs.readFileSync(path.join(sourceDir, 'examples/invoice/stamp.png'));
        const files = await startServer((request, response) => {
          response.writeHead(200, { 'Content-Type': 'image/png' });
          response.end(picture);
        }, outsideAddress());
        fs.writeFileSync(path.join(bridge.work, 'secret.txt'), 'outside');
        fs.mkdirSync(folder, { recursive: true });
        fs.symlinkSync(bridge.work, path.join(folder, 'link'));
        try {
          const outcome = await inPage(async (control, tavo, [url, secret, absolute], attempt) => {
            return {
              inside: await attempt(() => control.downloadImg(url, 'pictures/../stamp.png')),
              absolute: await attempt(() => control.downloadImg(url, absolute)),
              escaping: await attempt(() => control.downloadImg(url, '../stamp.png')),
              throughLink: await attempt(() => control.downloadImg(url, 'link/stamp.png')),
              fileScheme: await attempt(() => control.downloadImg('file:///etc/passwd', 'passwd')),
              pdfOutside: await attempt(() => control.SetDefaultPrinter('pdf:../../out.pdf')),
              readOutside: await attempt(() => control.GetVer(secret)),
              previewOutside: await attempt(() => control.renderPreview('<a/>', '<a/>', 'link/secret.txt')),
            };
          }, `${files.origin}/stamp.png`, path.join(bridge.work, 'secret.txt'), path.join(bridge.work, 'absolute.png'));
          assert.equal(outcome.error, undefined, JSON.stringify(outcome.error));
          const result = outcome.value;
          assert.deepEqual(result.inside, { value: null });
          assert.deepEqual(fs.readFileSync(path.join(folder, 'stamp.png')), picture);
          const denied = (p) => ({ code: -2147024891, hresult: '0x80070005', message: `Paths outside the page's own folder are not accessible: ${p}` });
          assert.deepEqual(result.absolute, denied(path.join(bridge.work, 'absolute.png')));
          assert.deepEqual(result.escaping, denied('../stamp.png'));
          assert.deepEqual(result.throughLink, denied('link/stamp.png'));
          assert.deepEqual(result.pdfOutside, denied('../../out.pdf'));
          assert.deepEqual(result.readOutside, denied(path.join(bridge.work, 'secret.txt')));
          assert.deepEqual(result.previewOutside, denied('link/secret.txt'));
          assert.equal(result.fileScheme.hresult, '0x80070005');
          assert.ok(!fs.existsSync(path.join(bridge.work, 'stamp.png')));
          assert.ok(!fs.existsSync(path.join(bridge.work, 'absolute.png')));
        } finally {
          await files.close();
        }
      });

      test('a connection refused says why and what mends it: the origin not allowed, no bridge running', async () => {
        const closed = await startServer(() => {});
        const nobody = closed.port;
        await closed.close();
        const page = await openPage(browser, other.origin, bridge.port);
        try {
          const outcomes = await page.evaluate(async ([port, none]) => {
            const attempt = async (options) => {
              try {
                await window.tavo.connect(options);
                return 'connected';
              } catch (error) {
                return { name: error.name, reason: error.reason, fix: error.fix, message: error.message };
              }
            };
            return { refused: await attempt({ port }), none: await attempt({ port: none, timeout: 10000 }) };
          }, [bridge.port, nobody]);
          assert.deepEqual({ ...outcomes.refused, message: undefined }, {
            name: 'TavoConnectError', reason: 'origin-not-allowed', fix: `tavoprint site allow ${other.origin} --machine`, message: undefined,
          });
          assert.match(outcomes.refused.message, new RegExp(`^The print control bridge at ws://127\\.0\\.0\\.1:${bridge.port}/automation is running but does not let ${other.origin} connect`));
          assert.equal(outcomes.none.reason, 'no-bridge');
          assert.equal(outcomes.none.fix, 'systemctl --user start tavobridge');
          assert.match(outcomes.none.message, new RegExp(`^No print control bridge answers at ws://127\\.0\\.0\\.1:${nobody}/automation: tavobridge is not running`));
        } finally {
          await page.close();
        }
        assert.match(bridge.stderr, new RegExp(`"${other.origin}" refused: Origin not allowed`));
      });
    });

    describe('pages stay apart', () => {
      test('twenty pages, each with its own PDF printer, print ten invoices each at once', async () => {
        const count = 20;
        const each = 10;
        const siteOf = (p) => sites[p % sites.length];
        const opened = await Promise.all(Array.from({ length: count }, (_, p) => openPage(browser, siteOf(p).origin, bridge.port)));
        try {
          const results = await Promise.all(opened.map((page, p) => page.evaluate(async ([port, p, each, rule, data]) => {
            const control = await window.tavo.connect({ port });
            const done = [];
            for (let i = 0; i < each; ++i) {
              const number = String(10000000 + p * 100 + i);
              // Each invoice to its own file: select, then print, in order on this page.
              done.push(control.SetDefaultPrinter(`pdf:page${p}-invoice${i}.pdf`).then(() => null));
              done.push(control.PrintXmlData(data.replace(/<fphm>\d+<\/fphm>/, `<fphm>${number}</fphm>`), rule));
            }
            await Promise.all(done);
            control.close();
            return true;
          }, [bridge.port, p, each, invoiceRule, invoiceData])));
          assert.deepEqual(results, Array(count).fill(true));
        } finally {
          await Promise.all(opened.map((page) => page.close()));
        }
        const printed = sites.flatMap((site) => fs.readdirSync(bridge.folderOf(site.origin)))
          .filter((name) => /^page\d+-invoice\d+\.pdf$/.test(name));
        assert.equal(printed.length, count * each);
        for (let p = 0; p < count; ++p) {
          for (let i = 0; i < each; ++i) {
            const info = pdfInfo(path.join(bridge.folderOf(siteOf(p).origin), `page${p}-invoice${i}.pdf`));
            assert.equal(info.Pages, '1');
            assert.equal(info.Title, invoiceTitle(String(10000000 + p * 100 + i)));
          }
        }
      });

      test('a job and a printer of page A change nothing for page B', async () => {
        const pageA = await openPage(browser, pages.origin, bridge.port);
        const pageB = await openPage(browser, pages.origin, bridge.port);
        try {
          await pageA.evaluate(async (port) => {
            window.control = await window.tavo.connect({ port });
            await window.control.SetDefaultPrinter('pdf:a.pdf');
            await window.control.fprintStart('job of A');
          }, bridge.port);
          const b = await pageB.evaluate(async ([port, data, rule]) => {
            const control = await window.tavo.connect({ port });
            const before = await control.GetDefaultPrinter();
            let end;
            try {
              await control.fprintEnd('B');
              end = 'ended';
            } catch (error) {
              end = error.message;
            }
            await control.SetDefaultPrinter('pdf:b.pdf');
            await control.PrintXmlData(data, rule);
            return { before, end, after: await control.GetDefaultPrinter() };
          }, [bridge.port, invoiceNumbered('22223333'), invoiceRule]);
          assert.notEqual(b.before, 'pdf:a.pdf');
          assert.equal(b.end, 'Printer is not currently printing');
          assert.equal(b.after, 'pdf:b.pdf');
          assert.equal(pdfInfo(path.join(folder, 'b.pdf')).Title, invoiceTitle('22223333'));
          const a = await pageA.evaluate(async () => {
            await window.control.fprintText(100, 100, 'SimSun', 12, 'A');
            await window.control.fprintEnd('job of A');
            return window.control.GetDefaultPrinter();
          });
          assert.equal(a, 'pdf:a.pdf');
          assert.equal(pdfInfo(path.join(folder, 'a.pdf')).Pages, '1');
        } finally {
          await pageA.close();
          await pageB.close();
        }
      });

      test('page A\'s worker killed mid-call rejects A\'s pending calls and leaves B untouched', async (t) => {
        // Downloads from this server never finish, so A's call waits in its worker; downloads for
        // a page do not reach loopback addresses.
        if (!outsideAddress()) return t.skip('this machine has no address outside loopback');
        const stalled = await startServer(() => {}, outsideAddress());
        const pageA = await openPage(browser, pages.origin, bridge.port);
        const pageB = await openPage(browser, pages.origin, bridge.port);
        try {
          const before = new Set(bridge.workers());
          await pageA.evaluate(async ([port, url]) => {
            window.control = await window.tavo.connect({ port });
            await window.control.hello();
            window.outcomes = [1, 2, 3].map((i) => window.control.downloadImg(url, `stalled${i}.png`)
              .then(() => 'answered', (error) => error.message));
          }, [bridge.port, `${stalled.origin}/never`]);
          const workerA = bridge.workers().find((pid) => !before.has(pid));
          assert.ok(workerA, 'page A has a worker');
          const bBefore = new Set(bridge.workers());
          await pageB.evaluate(async (port) => {
            window.control = await window.tavo.connect({ port });
            await window.control.SetDefaultPrinter('pdf:kept.pdf');
          }, bridge.port);
          assert.ok(bridge.workers().some((pid) => !bBefore.has(pid)));
          process.kill(workerA, 'SIGKILL');
          const outcomes = await pageA.evaluate(() => Promise.all(window.outcomes));
          assert.deepEqual(outcomes, Array(3).fill('The page\'s worker process ended before it answered'));
          const b = await pageB.evaluate(async () => [await window.control.GetDefaultPrinter(), await window.control.GetOcxVersion('2.0.0.2')]);
          assert.deepEqual(b, ['pdf:kept.pdf', 1]);
          assert.match(bridge.stderr, /worker ended with 3 calls unanswered/);
        } finally {
          await pageA.close();
          await pageB.close();
          await stalled.close();
        }
      });
    });
  });
}

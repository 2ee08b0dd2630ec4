// The client's own messages follow the browser's language: a Chinese browser is told in Chinese
// why it could not connect and that its connection closed, a French one in English; the reason
// and the fix are the same in both, and a page may choose the language itself.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { launchBrowser, openPage, startBridge, startPageServer, startServer } from './harness.mjs';

let bridge;
let allowed;
let other;
let nobody;
before(async () => {
  allowed = await startPageServer();
  other = await startPageServer();
  bridge = await startBridge({ allow: [allowed.origin] });
  const closed = await startServer(() => {});
  nobody = closed.port;
  await closed.close();
});
after(async () => {
  await bridge?.stop();
  await allowed?.close();
  await other?.close();
});

/** Connects from a page of `origin` to the bridge and to a port where none listens. */
async function failures(browser, origin) {
  const page = await openPage(browser, origin, bridge.port);
  try {
    return await page.evaluate(async ([port, none]) => {
      const attempt = async (options) => {
        try {
          (await window.tavo.connect(options)).close();
          return 'connected';
        } catch (error) {
          return { name: error.name, reason: error.reason, fix: error.fix, message: error.message };
        }
      };
      const refused = await attempt({ port });
      const absent = await attempt({ port: none, timeout: 10000 });
      window.tavo.setLanguage('en');
      const chosen = await attempt({ port: none, timeout: 10000 });
      window.tavo.setLanguage(null);
      return { refused, absent, chosen, language: window.tavo.language() };
    }, [bridge.port, nobody]);
  } finally {
    await page.close();
  }
}

test('a connect failure is told in Chinese to a zh-CN browser and in English to a French one, its reason and fix alike', async () => {
  const chinese = await launchBrowser('chromium', { locale: 'zh-CN' });
  const french = await launchBrowser('chromium', { locale: 'fr' });
  try {
    const zh = await failures(chinese, other.origin);
    const fr = await failures(french, other.origin);
    const url = (port) => `ws://127\\.0\\.0\\.1:${port}/automation`;
    assert.equal(zh.language, 'zh-CN');
    assert.equal(fr.language, 'en');
    assert.match(zh.refused.message, new RegExp(`^${url(bridge.port)} 上的打印控件桥接服务正在运行，但不允许 ${other.origin} 连接：`));
    assert.match(zh.absent.message, new RegExp(`^${url(nobody)} 上没有打印控件桥接服务应答：tavobridge 未运行。`));
    assert.match(fr.refused.message, new RegExp(`^The print control bridge at ${url(bridge.port)} is running but does not let ${other.origin} connect`));
    assert.match(fr.absent.message, new RegExp(`^No print control bridge answers at ${url(nobody)}: tavobridge is not running`));
    // A page's own choice wins over the browser's.
    assert.equal(zh.chosen.message, fr.absent.message);
    for (const outcome of [zh, fr]) {
      assert.deepEqual([outcome.refused.name, outcome.refused.reason, outcome.refused.fix],
        ['TavoConnectError', 'origin-not-allowed', `tavoprint site allow ${other.origin} --machine`]);
      assert.deepEqual([outcome.absent.reason, outcome.absent.fix], ['no-bridge', 'systemctl --user start tavobridge']);
    }

    // Connected, then the bridge goes: the closed connection is told in Chinese, its code kept.
    const page = await openPage(chinese, allowed.origin, bridge.port);
    await page.evaluate(async (port) => { window.control = await window.tavo.connect({ port }); }, bridge.port);
    await bridge.stop();
    const closed = await page.evaluate(async () => {
      await new Promise((resolve) => setTimeout(resolve, 300));
      try {
        await window.control.GetVer();
        return null;
      } catch (error) {
        return { name: error.name, code: error.code, hresult: error.hresult, message: error.message };
      }
    });
    assert.deepEqual({ ...closed, message: undefined }, { name: 'TavoError', code: 0x80010108 | 0, hresult: '0x80010108', message: undefined });
    assert.match(closed.message, /^与打印控件桥接服务的连接已关闭（代码 \d+）$/);
  } finally {
    await chinese.close();
    await french.close();
  }
});

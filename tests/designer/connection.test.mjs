// When the bridge goes away the page says so in words and offers to connect again, and what
// the user was doing is not lost.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { currentRule, invoiceRulePath, openDesigner, openRule } from './designer.mjs';

let designer;
before(async () => { designer = await openDesigner(); });
after(async () => { await designer?.close(); });

test('a bridge that stops is reported, and the rule stays editable and savable', async () => {
  const { page, bridge } = designer;
  await openRule(page, invoiceRulePath);
  bridge.child.kill('SIGTERM');
  await new Promise((resolve) => bridge.child.once('exit', resolve));
  await page.evaluate(() => window.designer.state.change('Edit', (doc) => doc.setSetting('offsetLeft', '2')));
  await page.waitForFunction(() => document.getElementById('connection').dataset.state === 'error', null, { timeout: 10000 });
  assert.match(await page.textContent('#connection'), /^Connection lost: The connection to the print control bridge closed .*press Connect/);
  assert.equal(await page.isVisible('#reconnect'), true);
  assert.match(await currentRule(page), /offsetLeft="2"/);
});

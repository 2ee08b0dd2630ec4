// A rule opened and saved comes back byte for byte; a keyboard move changes only the moved
// element's coordinates; writing into the page's folder stays inside it.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { invoiceRulePath, openDesigner, openPanel, openRule, saveRule } from './designer.mjs';

let designer;
before(async () => { designer = await openDesigner(); });
after(async () => { await designer?.close(); });

const original = fs.readFileSync(invoiceRulePath, 'utf8');

test('the sample rule opened and saved unchanged is byte-identical', async () => {
  const { page } = designer;
  await openRule(page, invoiceRulePath);
  assert.match(await page.textContent('#message'), /Opened rule\.xml: \d+ elements/);
  assert.equal(await saveRule(page), original);
});

test('moving one element 10 px with Shift+ArrowRight changes only its left and right', async () => {
  const { page } = designer;
  await openRule(page, invoiceRulePath);
  // Select the invoice number field with the keyboard through the element list.
  const list = page.locator('#element-list');
  const option = await list.locator('option', { hasText: 'Data field fphm' }).getAttribute('value');
  await list.selectOption(option);
  await page.focus('#stage');
  await page.keyboard.press('Shift+ArrowRight');
  const saved = await saveRule(page);
  const before = original.split('\n');
  const afterLines = saved.split('\n');
  assert.equal(afterLines.length, before.length);
  const changed = before.flatMap((line, i) => (line === afterLines[i] ? [] : [i]));
  assert.equal(changed.length, 1, `one line changed: ${changed}`);
  const [i] = changed;
  assert.match(before[i], /id="fphm"/);
  assert.equal(afterLines[i], before[i].replace('left="720"', 'left="730"').replace('right="880"', 'right="890"'));
});

test('the rule is written into the page\'s folder, and a path outside it is refused in words', async () => {
  const { page, folder } = designer;
  await openRule(page, invoiceRulePath);
  await openPanel(page, 'folder-panel');
  await page.fill('#save-name', 'forms/invoice.xml');
  await page.click('#save-folder');
  await page.waitForFunction(() => /invoice\.xml/.test(document.getElementById('message').textContent));
  assert.match(await page.textContent('#message'), /^Wrote forms\/invoice\.xml/);
  assert.equal(fs.readFileSync(path.join(folder, 'forms/invoice.xml'), 'utf8'), original);

  await page.fill('#save-name', '../escaped.xml');
  await page.click('#save-folder');
  await page.waitForFunction(() => /escaped/.test(document.getElementById('message').textContent));
  assert.match(await page.textContent('#message'), /was not written: Paths outside the page's own folder are not accessible.*0x80070005/);
  assert.ok(!fs.existsSync(path.join(folder, '..', 'escaped.xml')));
});

test('a file that is not XML is refused with the place of the fault, and the open rule stays', async () => {
  const { page } = designer;
  await openRule(page, invoiceRulePath);
  await page.setInputFiles('#open-rule', { name: 'broken.xml', mimeType: 'text/xml', buffer: Buffer.from('<rule><body>\n<printing></body>') });
  await page.waitForFunction(() => /broken\.xml/.test(document.getElementById('message').textContent));
  assert.match(await page.textContent('#message'), /broken\.xml is not a rule document: .*line \d+/);
  assert.equal(await saveRule(page), original);
});

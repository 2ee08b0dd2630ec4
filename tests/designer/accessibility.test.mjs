// Every control of the designer is labelled and reachable: axe-core's rules, run inside the
// page, find nothing, with a rule, its form picture, a selection and every panel open; and the
// keyboard alone reaches the form, selects an element and moves it.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import { after, before, test } from 'node:test';
import { currentRule, formPicturePath, invoiceRulePath, openDesigner, openRule } from './designer.mjs';

const require = createRequire(import.meta.url);
let designer;
before(async () => { designer = await openDesigner(); });
after(async () => { await designer?.close(); });

test('axe-core finds no violations in the designer at work', async () => {
  const { page } = designer;
  await openRule(page, invoiceRulePath);
  await page.setInputFiles('#open-form', formPicturePath);
  const list = page.locator('#element-list');
  await list.selectOption(await list.locator('option', { hasText: 'fphm' }).getAttribute('value'));
  await page.evaluate(() => { for (const d of document.querySelectorAll('details')) d.open = true; });
  // Evaluated, not added as a script: the designer's content policy admits no inline script.
  await page.evaluate(fs.readFileSync(require.resolve('axe-core/axe.min.js'), 'utf8'));
  const result = await page.evaluate(() => window.axe.run(document, { resultTypes: ['violations'] }));
  const found = result.violations.map((v) => `${v.id}: ${v.help} (${v.nodes.map((n) => n.target.join(' ')).join(', ')})`);
  assert.deepEqual(found, []);
});

test('the keyboard alone selects an element in the list and moves it on the form', async () => {
  const { page } = designer;
  await openRule(page, invoiceRulePath);
  const before = await currentRule(page);
  await page.focus('#element-list');
  await page.keyboard.press('Home');
  await page.keyboard.press('ArrowDown');
  assert.match(await page.textContent('#properties h2'), /发票号码/);
  await page.focus('#stage');
  await page.keyboard.press('ArrowLeft');
  await page.keyboard.press('Alt+ArrowDown');
  const after = await currentRule(page);
  const changed = after.split('\n').filter((line, i) => line !== before.split('\n')[i]);
  assert.equal(changed.length, 1);
  assert.match(changed[0], /left="639" top="64" right="719" bottom="85"/);

  // In the property panel a value typed and left with Tab is set, and Tab leads on to the next key.
  await page.fill('#properties .key[data-key="fontSize"] input', '14');
  await page.keyboard.press('Tab');
  assert.equal(await page.evaluate(() => document.activeElement.closest('.key')?.dataset.key), 'fontColor');
  await page.keyboard.type('clBlue');
  await page.keyboard.press('Shift+Tab');
  assert.equal(await page.evaluate(() => document.activeElement.closest('.key')?.dataset.key), 'fontSize');
  assert.match(await currentRule(page), /<text>发票号码:<\/text>/);
  assert.match((await currentRule(page)).split('\n').find((l) => l.includes('发票号码:')), / fontSize="14" fontColor="clBlue" /);
  await page.focus('#stage');

  // A data field added from the keyboard lands below the selection and moves with the arrows.
  await page.focus('[data-add="field"]');
  await page.keyboard.press('Enter');
  assert.equal(await page.getAttribute('[data-add="field"]', 'aria-pressed'), 'true');
  await page.focus('#stage');
  await page.keyboard.press('Enter');
  await page.keyboard.press('Shift+ArrowDown');
  const added = (await currentRule(page)).split('\n').find((line) => line.includes('id="field1"'));
  assert.match(added, /type="field" id="field1" index="0" left="639" top="105" right="759" bottom="125"/);
  assert.equal(await page.getAttribute('[data-add="field"]', 'aria-pressed'), 'false');
});

// Rows: fields marked as row fields get rows in the sample data; indexed rows are written as
// copies for index 1..N, each a pitch lower; automatic rows set the engine's two page keys.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { currentRule, invoiceRulePath, openDesigner, openPanel, openRule } from './designer.mjs';

let designer;
before(async () => { designer = await openDesigner(); });
after(async () => { await designer?.close(); });

const fieldLines = (rule, id) => rule.split('\n').filter((line) => line.includes(`id="${id}"`));
const attr = (line, key) => line.match(new RegExp(` ${key}="([^"]*)"`))?.[1];

test('marked row fields get rows in the sample data, and indexed rows are written as copies', async () => {
  const { page } = designer;
  await openRule(page, invoiceRulePath);
  await openPanel(page, 'rows-panel');
  await openPanel(page, 'sample-panel');
  await page.check('input[data-row-field="spmc"]');
  await page.check('input[data-row-field="je"]');
  const data = await page.inputValue('#sample-xml');
  assert.match(data, /<rows>\s*<row><spmc>spmc 1<\/spmc><je>je 1<\/je><\/row>\s*<row><spmc>spmc 2<\/spmc>/);
  assert.doesNotMatch(data.slice(0, data.indexOf('<rows>')), /<spmc>/, 'row fields are not document fields');

  await page.fill('#row-count', '3');
  await page.fill('#row-pitch', '22');
  await page.click('text=Write the row copies');
  const rule = await currentRule(page);
  for (const id of ['spmc', 'je']) {
    const lines = fieldLines(rule, id);
    assert.deepEqual(lines.map((l) => attr(l, 'index')), ['0', '1', '2', '3']);
    assert.deepEqual(lines.map((l) => Number(attr(l, 'top')) - Number(attr(lines[0], 'top'))), [0, 22, 44, 66]);
  }
  // Indexed rows need automatic layout off, and the table edits the rows' values.
  assert.match(rule.match(/<printing[^>]*>/s)[0], /repeatableRowAutoHeightAndTop="false"/);
  await page.fill('[aria-label="spmc, row 2"]', '复印纸');
  await page.press('[aria-label="spmc, row 2"]', 'Enter');
  assert.match(await page.inputValue('#sample-xml'), /<spmc>复印纸<\/spmc>/);

  await page.fill('#row-space', '1.5');
  await page.click('text=Use automatic rows');
  const automatic = (await currentRule(page)).match(/<printing[^>]*>/s)[0];
  assert.match(automatic, /repeatableRowAutoHeightAndTop="true"/);
  assert.match(automatic, /repeatableRowSpace="1\.5"/);
});

test('rows continue on further sheets after the form\'s slots, and the preview says how many', async () => {
  const { page } = designer;
  await openRule(page, invoiceRulePath);
  await openPanel(page, 'rows-panel');
  await openPanel(page, 'sample-panel');
  await page.check('input[data-row-field="spmc"]');
  await page.fill('#row-slots', '0');
  await page.click('text=Continue rows on the next sheet');
  assert.match(await page.textContent('#message'), /whole number from 1/);
  await page.fill('#row-slots', '2');
  await page.fill('#row-bottom', '');
  await page.click('text=Continue rows on the next sheet');
  let printing = (await currentRule(page)).match(/<printing[^>]*>/s)[0];
  assert.match(printing, /repeatableRowsPerPage="2"/);
  assert.doesNotMatch(printing, /repeatableRowBottom/);
  // The sample's 3 rows on 2 slots: 2 sheets, the first shown.
  await page.waitForFunction(() => /the first of 2 sheets/.test(document.getElementById('refresh-time').textContent));

  await page.click('text=Print one sheet only');
  printing = (await currentRule(page)).match(/<printing[^>]*>/s)[0];
  assert.doesNotMatch(printing, /repeatableRowsPerPage/);
});

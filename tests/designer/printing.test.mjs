// The test print and the calibration page reach the PDF printer and the page says so; the
// measured shift is written into the rule as customOffsetLeft/customOffsetTop.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { pdfInfo } from '../bridge/e2e/harness.mjs';
import { invoiceRulePath, openDesigner, openPanel, openRule, saveRule } from './designer.mjs';

let designer;
before(async () => { designer = await openDesigner(); });
after(async () => { await designer?.close(); });

async function printAndWait(page, button) {
  await openPanel(page, 'printing-panel');
  await page.evaluate(() => { document.getElementById('print-outcome').textContent = ''; });
  await page.click(button);
  await page.waitForFunction(() => /printed/.test(document.getElementById('print-outcome').textContent), null, { timeout: 30000 });
  return page.textContent('#print-outcome');
}

test('the test print of the rule with the sample data reaches the PDF printer', async () => {
  const { page, folder } = designer;
  await openRule(page, invoiceRulePath);
  const pdf = path.join(folder, 'test-print.pdf');
  const outcome = await printAndWait(page, '#test-print');
  assert.match(outcome, /^Test print: printed on pdf:/);
  assert.ok(fs.existsSync(pdf), 'the PDF was written');
  const info = pdfInfo(pdf);
  assert.equal(info.Pages, '1');
  // The sample data made from the rule carries an invoice number, so the job has its title.
  assert.match(info.Title, /^票据打印/);
});

test('the calibration page prints, and the measured shift is taken up by the rule\'s custom offsets', async () => {
  const { page, folder } = designer;
  await openRule(page, invoiceRulePath);
  // Its own file: the test print beside it stays.
  const pdf = path.join(folder, 'calibration.pdf');
  fs.rmSync(pdf, { force: true });
  const outcome = await printAndWait(page, '#print-calibration');
  assert.match(outcome, /^Calibration page: printed on pdf:/);
  assert.equal(pdfInfo(pdf).Pages, '1');
  // The calibration page, not the invoice: its cross marks are labelled with their positions.
  const text = spawnSync('pdftotext', ['-enc', 'UTF-8', pdf, '-'], { encoding: 'utf8' }).stdout;
  assert.doesNotMatch(text, /增值税普通发票/);
  assert.match(text, /Calibration page/);
  assert.match(text, /[\d.]+, [\d.]+ mm/);

  await page.fill('#shift-x', '1.5');
  await page.fill('#shift-y', '-0.8');
  await page.click('#apply-shift');
  const saved = await saveRule(page);
  const printing = saved.match(/<printing[^>]*>/s)[0];
  // Printed 1.5 mm too far right and 0.8 mm too high: the print moves 1.5 mm left, 0.8 mm down.
  assert.match(printing, / customOffsetLeft="-1\.5"/);
  assert.match(printing, / customOffsetTop="0\.8"/);
  // A second measurement, on the corrected print, adds its correction to the first.
  await page.fill('#shift-x', '-0.5');
  await page.fill('#shift-y', '0.3');
  await page.click('#apply-shift');
  const again = (await saveRule(page)).match(/<printing[^>]*>/s)[0];
  assert.match(again, / customOffsetLeft="-1"/);
  assert.match(again, / customOffsetTop="0\.5"/);
  // Nothing else of the rule changed.
  const original = fs.readFileSync(invoiceRulePath, 'utf8');
  assert.equal(saved.replace(printing, ''), original.replace(original.match(/<printing[^>]*>/s)[0], ''));
});

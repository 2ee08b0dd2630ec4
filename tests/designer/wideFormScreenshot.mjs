// The picture of the designer over a new wide form: the generated 230 x 127 mm waybill scan,
// its fields, printing upright on an office's A4 queue, with the sheet's outline across the form
// and the checker's findings above it. Run by scripts/designer-screenshot.
import fs from 'node:fs';
import path from 'node:path';
import { openDesigner, openRule, sourceDir } from './designer.mjs';
import { a4Queue, startA4Printer, writeWideForm } from './wideForm.mjs';

const out = process.argv[2] ?? path.join(sourceDir, 'docs/designer-wide-form.png');
const field = (id, [left, top, right, bottom]) =>
  `      <field type="field" id="${id}" index="0" left="${left}" top="${top}" right="${right}" bottom="${bottom}" horzAlign="otaLeft" vertAlign="otaMiddle" fontName="Arial" fontSize="11" fontColor="clBlack" wordBreak="false"><text/></field>`;
const rule = [
  '<?xml version="1.0" encoding="UTF-8"?>', '<rule>', '  <body>',
  '    <printing pageWidth="230" pageHeight="127" dpix="96" dpiy="96" offsetLeft="0" offsetTop="0" landscape="false">',
  field('ydh', [560, 25, 850, 55]), field('sender', [95, 75, 420, 100]), field('receiver', [500, 75, 700, 100]),
  field('weight', [95, 115, 300, 140]), field('phone', [720, 115, 860, 140]),
  field('item', [40, 235, 450, 255]), field('qty', [470, 235, 600, 255]),
  '    </printing>', '  </body>', '</rule>', '',
].join('\n');

const cups = await startA4Printer();
const designer = await openDesigner({ viewport: { width: 1480, height: 900 }, bridgeEnv: { CUPS_SERVER: cups.socket } });
try {
  const { page, bridge } = designer;
  const ruleFile = path.join(bridge.work, 'waybill.xml');
  fs.writeFileSync(ruleFile, rule);
  await openRule(page, ruleFile);
  await page.setInputFiles('#open-form', await writeWideForm(page, bridge.work));
  await page.evaluate(() => { document.getElementById('printing-panel').open = true; });
  await page.waitForSelector(`#printer option[value="${a4Queue}"]`, { state: 'attached' });
  await page.selectOption('#printer', a4Queue);
  await page.waitForFunction(() => /tavo-a4 \(portrait\)/.test(document.querySelector('#sheet-outline span').textContent)
    && /warnings/.test(document.getElementById('findings').textContent));
  const list = page.locator('#element-list');
  await list.selectOption(await list.locator('option', { hasText: 'phone' }).getAttribute('value'));
  await page.evaluate(() => { document.getElementById('printing-panel').open = false; });
  await page.mouse.move(5, 5);
  await page.screenshot({ path: out });
  console.log(`wrote ${out}`);
} finally {
  await designer.close();
  await cups.stop();
}

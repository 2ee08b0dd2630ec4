// A QR code placed from the toolbar over the sample form: bound to a data field, saved, and
// drawn by the engine inside the box it was given.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import {
  decodePng, dragRule, openDesigner, openPanel, saveRule, setKey, stageFrame, tavoprint, workFile,
} from './designer.mjs';
import fs from 'node:fs';

let designer;
before(async () => { designer = await openDesigner(); });
after(async () => { await designer?.close(); });

test('a barcode dragged on the form prints its modules inside its box', { timeout: 120000 }, async () => {
  const { page, bridge } = designer;
  await page.click('#new-rule');
  await openPanel(page, 'page-panel');
  for (const [key, value] of [['pageWidth', '241'], ['pageHeight', '140'], ['dpix', '96'], ['dpiy', '96']]) {
    await setKey(page, '#page-settings', key, value);
  }
  await page.uncheck('#snap');
  const frame = await stageFrame(page);
  const box = [40, 30, 160, 150];
  await page.click('[data-add="barcode"]');
  await dragRule(page, frame, { x: box[0], y: box[1] }, { x: box[2], y: box[3] });
  await setKey(page, '#properties', 'id', 'ewm');

  const rule = await saveRule(page);
  const line = rule.split('\n').find((l) => l.includes('type="barcode"'));
  assert.ok(line, 'the barcode is in the saved rule');
  assert.match(line, /id="ewm"/);
  assert.match(line, /symbology="qrcode"/);
  const found = ['left', 'top', 'right', 'bottom'].map((k) => Number(line.match(new RegExp(` ${k}="(-?\\d+)"`))[1]));
  assert.deepEqual(found, box);

  const ruleFile = workFile(bridge, 'qr.xml', rule);
  const data = (value) => workFile(bridge, `qr-data-${value.length}.xml`,
    `<d><body><w><r><ewm>${value}</ewm></r></w></body></d>`);
  const withCode = workFile(bridge, 'qr.png', '');
  const without = workFile(bridge, 'qr-empty.png', '');
  tavoprint(bridge, ['preview', data('发票号码:12345678;价税合计:¥9,791.00'), ruleFile, '--png', withCode]);
  tavoprint(bridge, ['preview', data(''), ruleFile, '--png', without]);
  const a = await decodePng(page, fs.readFileSync(withCode).toString('base64'));
  const b = await decodePng(page, fs.readFileSync(without).toString('base64'));
  let inside = 0;
  let outside = 0;
  for (let y = 0; y < a.height; ++y) {
    for (let x = 0; x < a.width; ++x) {
      const i = (y * a.width + x) * 4;
      if (a.data[i] === b.data[i] && a.data[i + 1] === b.data[i + 1] && a.data[i + 2] === b.data[i + 2]) continue;
      if (x >= box[0] && x < box[2] && y >= box[1] && y < box[3]) inside += 1;
      else outside += 1;
    }
  }
  assert.ok(inside > 2000, `the symbol's modules inside the box (${inside} pixels)`);
  assert.equal(outside, 0, 'nothing of the symbol outside its box');
});

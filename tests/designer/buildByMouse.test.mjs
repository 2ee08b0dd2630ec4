// A newcomer's way: the sample invoice's fields made from nothing by mouse over its scanned
// form, saved, and drawn by the engine (tavoprint preview --png): each field's text lands
// inside the box the test dragged, and nothing lands outside the boxes.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { after, before, test } from 'node:test';
import {
  decodePng, dragRule, formPicturePath, invoiceDataPath, openDesigner, openPanel, saveRule, setKey, stageFrame, tavoprint, workFile,
} from './designer.mjs';

let designer;
before(async () => { designer = await openDesigner({ viewport: { width: 2400, height: 1400 } }); });
after(async () => { await designer?.close(); });

// Boxes in rule pixels over form.png (96 dpi, 241 x 140 mm), as one measures them off the scan.
const fields = [
  { id: 'fphm', box: [720, 64, 880, 84], font: '宋体', size: '12', align: 'otaLeft' },
  { id: 'kprq', box: [720, 86, 880, 106], font: '宋体', size: '10', align: 'otaLeft' },
  { id: 'gmfmc', box: [140, 118, 600, 138], font: '黑体', size: '10', align: 'otaLeft' },
  { id: 'hjje', box: [635, 395, 735, 415], font: '宋体', size: '10', align: 'otaRight' },
  { id: 'jshjdx', box: [190, 425, 560, 445], font: '楷体', size: '11', align: 'otaCenter' },
  { id: 'xsfmc', box: [140, 455, 600, 475], font: '宋体', size: '10', align: 'otaLeft' },
];

test('fields dragged over the form print inside their boxes', { timeout: 120000 }, async () => {
  const { page, bridge } = designer;
  await page.click('#new-rule');
  await openPanel(page, 'page-panel');
  for (const [key, value] of [['pageWidth', '241'], ['pageHeight', '140'], ['dpix', '96'], ['dpiy', '96'], ['landscape', 'true']]) {
    await setKey(page, '#page-settings', key, value);
  }
  await page.setInputFiles('#open-form', formPicturePath);
  await page.waitForFunction(() => !document.getElementById('form-picture').hidden);
  // The boxes are measured to the pixel, so the grid is turned off; at 200% to aim closely.
  await page.uncheck('#snap');
  await page.selectOption('#zoom', '2');
  const frame = await stageFrame(page);
  for (const { id, box, font, size, align } of fields) {
    await page.click('[data-add="field"]');
    await dragRule(page, frame, { x: box[0], y: box[1] }, { x: box[2], y: box[3] });
    await setKey(page, '#properties', 'id', id);
    await setKey(page, '#properties', 'fontName', font);
    await setKey(page, '#properties', 'fontSize', size);
    await setKey(page, '#properties', 'horzAlign', align);
  }
  // One box dragged to the wrong place first, then moved by mouse and resized by its handle.
  await page.click('[data-add="field"]');
  await dragRule(page, frame, { x: 300, y: 300 }, { x: 400, y: 330 });
  await setKey(page, '#properties', 'id', 'gmfsbh');
  await dragRule(page, frame, { x: 330, y: 315 }, { x: 170, y: 155 });
  await dragRule(page, frame, { x: 240, y: 170 }, { x: 600, y: 160 });

  const rule = await saveRule(page);
  const placed = [...fields, { id: 'gmfsbh', box: [140, 140, 600, 160] }];
  for (const { id, box } of placed) {
    const line = rule.split('\n').find((l) => l.includes(`id="${id}"`));
    assert.ok(line, `${id} is in the saved rule`);
    const [left, top, right, bottom] = ['left', 'top', 'right', 'bottom'].map((k) => Number(line.match(new RegExp(` ${k}="(-?\\d+)"`))[1]));
    assert.deepEqual([left, top, right, bottom], box, `${id} is where it was dragged`);
  }

  // The saved rule drawn with the sample data, and with the same data emptied: the difference
  // is the fields' text.
  const data = fs.readFileSync(invoiceDataPath, 'utf8');
  const ruleFile = workFile(bridge, 'built.xml', rule);
  const withData = workFile(bridge, 'with.png', '');
  const without = workFile(bridge, 'without.png', '');
  tavoprint(bridge, ['preview', invoiceDataPath, ruleFile, '--png', withData]);
  tavoprint(bridge, ['preview', workFile(bridge, 'empty.xml', data.replace(/>[^<>]+</g, '><')), ruleFile, '--png', without]);
  const a = await decodePng(page, fs.readFileSync(withData).toString('base64'));
  const b = await decodePng(page, fs.readFileSync(without).toString('base64'));
  assert.deepEqual([a.width, a.height], [911, 529]);
  const inkIn = new Map(placed.map((f) => [f.id, 0]));
  let outside = 0;
  for (let y = 0; y < a.height; ++y) {
    for (let x = 0; x < a.width; ++x) {
      const i = (y * a.width + x) * 4;
      if (Math.abs(a.data[i] - b.data[i]) + Math.abs(a.data[i + 1] - b.data[i + 1]) + Math.abs(a.data[i + 2] - b.data[i + 2]) < 60) continue;
      const hit = placed.find(({ box }) => x >= box[0] && x < box[2] && y >= box[1] && y < box[3]);
      if (hit) inkIn.set(hit.id, inkIn.get(hit.id) + 1);
      else outside += 1;
    }
  }
  for (const [id, ink] of inkIn) assert.ok(ink > 40, `${id} printed inside its box (${ink} pixels)`);
  assert.equal(outside, 0, 'no field text outside the boxes');
});

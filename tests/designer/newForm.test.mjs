// A new form's rule made by mouse, as a new user makes it: a generated 230 x 127 mm waybill
// scanned at 200 dpi (not the sample), from a fresh designer to a print that lands in its boxes,
// on the PDF printer and against an office's upright A4 queue. Browser-neutral: the page is
// driven through the DOM and trusted mouse and keyboard input only (the harness's Playwright
// calls have counterparts in any WebDriver BiDi client).
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { cupsInstalled } from '../bridge/e2e/cups.mjs';
import { pdfInfo } from '../bridge/e2e/harness.mjs';
import { densityOf } from '../../web/designer/app/pictureDensity.js';
import {
  currentRule, dragRule, openDesigner, openPanel, runTavoprint, setKey, stageFrame, tavoprint, workFile,
} from './designer.mjs';
import { readPng } from './model/tavoprint.mjs';
import { a4Queue, formMm, startA4Printer, writeWideForm } from './wideForm.mjs';

let cups;
let designer;
before(async () => {
  // Without cupsd there is no office queue: the A4 part is left out, all else runs.
  cups = cupsInstalled() ? await startA4Printer() : null;
  designer = await openDesigner({ viewport: { width: 1280, height: 1000 }, bridgeEnv: cups ? { CUPS_SERVER: cups.socket } : {} });
});
after(async () => {
  await designer?.close();
  await cups?.stop();
});

// The fields in rule pixels at 96 dpi (on the 5 px grid), over the form's printed labels.
const fields = [
  { id: 'ydh', box: [560, 25, 850, 55] },
  { id: 'sender', box: [95, 75, 420, 100] },
  { id: 'receiver', box: [500, 75, 700, 100] },
  { id: 'weight', box: [95, 115, 300, 140] },
  { id: 'phone', box: [720, 115, 860, 140] }, // 190.5 to 227.5 mm across: beyond A4's 210 mm
];
const rowFields = [{ id: 'item', box: [40, 235, 450, 255] }, { id: 'qty', box: [470, 235, 600, 255] }];

const message = (page) => page.textContent('#message');
const lineOf = (rule, id) => rule.split('\n').find((l) => l.includes(`id="${id}"`)) ?? '';
const attr = (line, key) => line.match(new RegExp(` ${key}="([^"]*)"`))?.[1];

/** Runs `act` and answers the findings that then come on screen, as text per finding. */
async function findingsAfter(page, act) {
  await act();
  const generation = await page.evaluate(() => window.designer.findings.generation);
  await page.waitForFunction((g) => window.designer.findings.shownGeneration >= g, generation);
  return page.evaluate(() => window.designer.findings.findings.map((f) => `${f.severity}: ${f.path}: ${f.message} (${f.hint})`));
}

test('a fresh designer opens a new rule it can preview and check, with the Page panel filled', async () => {
  const { page } = designer;
  await page.waitForFunction(() => !document.getElementById('preview-picture').hidden);
  await page.waitForFunction(() => /nothing to report/.test(document.getElementById('findings').textContent));
  assert.doesNotMatch(await message(page), /0x8000FFFF|could not/);
  await openPanel(page, 'page-panel');
  assert.equal(await page.inputValue('#page-settings .key[data-key="pageWidth"] input'), '210');
  // At 1280 px the Page panel's labels stand inside their own keys, none over another.
  const labels = await page.$$eval('#page-settings .key', (keys) => keys.map((key) => {
    const r = key.querySelector('label').getBoundingClientRect();
    const k = key.getBoundingClientRect();
    return { inside: r.left >= k.left - 0.5 && r.right <= k.right + 0.5, rect: [r.left, r.top, r.right, r.bottom] };
  }));
  assert.ok(labels.every((l) => l.inside), 'a label reaches out of its key');
  for (const [i, a] of labels.entries()) {
    for (const b of labels.slice(i + 1)) {
      const apart = a.rect[2] <= b.rect[0] || b.rect[2] <= a.rect[0] || a.rect[3] <= b.rect[1] || b.rect[3] <= a.rect[1];
      assert.ok(apart, `labels overlap: ${a.rect} and ${b.rect}`);
    }
  }
});

test('a wide form made by mouse: its sheet on A4, its dialog picture, its print inside the boxes', { timeout: 180000 }, async () => {
  const { page, bridge, folder } = designer;
  // The page's size typed in millimetres, the new fields' font chosen before any is placed.
  await openPanel(page, 'page-panel');
  await setKey(page, '#page-settings', 'pageWidth', String(formMm.width));
  await setKey(page, '#page-settings', 'pageHeight', String(formMm.height));
  await setKey(page, '#properties', 'fontName', 'Arial');
  await setKey(page, '#properties', 'fontSize', '11');

  const scan = await writeWideForm(page, bridge.work);
  await page.setInputFiles('#open-form', scan);
  await page.waitForFunction(() => /Form picture/.test(document.getElementById('message').textContent));
  assert.match(await message(page), /1811 x 1000 pixels at 200 dpi.*shows this form at 479\.2 x 264\.6 mm, 2\.08 times the page/);
  assert.match(await currentRule(page), /^<\?xml[^>]*\?>\n<\?tavo-form-picture waybill-200dpi\.png\?>\n/);

  // The dialog's picture: 96 dpi, the page's size, drawn by the preview at the page's size. The
  // scan itself the preview draws 2.08 times too large, and tavoprint says so.
  await openPanel(page, 'form-panel');
  await page.click('#make-dialog-picture');
  await page.waitForFunction(() => /Wrote waybill-200dpi-96dpi\.png/.test(document.getElementById('message').textContent));
  assert.ok((await message(page)).includes(`${path.basename(folder)}/waybill-200dpi-96dpi.png`), await message(page));
  const copy = fs.readFileSync(path.join(folder, 'waybill-200dpi-96dpi.png'));
  assert.equal(Math.round(densityOf(new Uint8Array(copy)).dpiX), 96);
  assert.deepEqual([copy.readUInt32BE(16), copy.readUInt32BE(20)], [869, 480]);
  const empty = workFile(bridge, 'empty.xml', '<d><body><data><r><fphm/></r></data></body></d>');
  const blankRule = workFile(bridge, 'blank.xml',
    '<r><body><printing pageWidth="230" pageHeight="127"><x type="text"><text/></x></printing></body></r>');
  const drawn = (background) => {
    const out = path.join(bridge.work, 'drawn.png');
    const run = runTavoprint(bridge, ['preview', empty, blankRule, background, '--png', out]);
    assert.equal(run.status, 0, run.stderr);
    return { run, out };
  };
  const right = drawn(path.join(folder, 'waybill-200dpi-96dpi.png'));
  assert.equal(right.run.stderr, '');
  // The frame 5 mm in from the right edge lands 5 mm in: at 850 of 869 pixels.
  assert.ok(readPng(fs.readFileSync(right.out)).grey(850, 240) < 150, 'the frame\'s right side where the page has it');
  const wrong = drawn(scan);
  assert.match(wrong.run.stderr, /is 200 dpi: the preview draws a picture's pixels as screen pixels \(96 dpi\), so it shows this form at 2\.08 times its size/);
  assert.ok(readPng(fs.readFileSync(wrong.out)).grey(850, 240) > 200, 'the scan\'s frame is off the page');

  // The fields, dragged over the form and named by typing.
  const frame = await stageFrame(page);
  for (const { id, box } of [...fields, ...rowFields]) {
    await page.click('[data-add="field"]');
    await dragRule(page, frame, { x: box[0], y: box[1] }, { x: box[2], y: box[3] });
    await setKey(page, '#properties', 'id', id);
  }
  assert.doesNotMatch(await message(page), /Drag on the form/, 'the adding message went with the adding');
  let rule = await currentRule(page);
  for (const { id, box } of [...fields, ...rowFields]) {
    assert.deepEqual(['left', 'top', 'right', 'bottom'].map((k) => Number(attr(lineOf(rule, id), k))), box, id);
    assert.equal(attr(lineOf(rule, id), 'fontName'), 'Arial', `${id} has the chosen font`);
  }
  // Its id shows inside its box, never over the form around it.
  await page.hover(`.box[data-uid="${await page.evaluate(() => window.designer.state.doc.elements()[0].uid)}"]`);
  const caption = await page.$eval('.box:hover .caption', (c) => {
    const r = c.getBoundingClientRect();
    const b = c.parentElement.getBoundingClientRect();
    return r.left >= b.left && r.top >= b.top && r.right <= b.right + 0.5 && r.bottom <= b.bottom + 0.5;
  });
  assert.ok(caption, 'the caption lies inside its box');

  // Three fields selected at once share their keys: one edit sets them all, in pixels or mm.
  const click = (box) => page.mouse.click(frame.x + (box[0] + 10) * frame.sx, frame.y + (box[1] + 10) * frame.sy);
  await click(fields[1].box);
  await page.keyboard.down('Shift');
  await click(fields[2].box);
  await click(fields[3].box);
  await page.keyboard.up('Shift');
  assert.match(await page.textContent('#properties h2'), /^3 elements selected/);
  await setKey(page, '#properties', 'fontSize', '12');
  await setKey(page, '#properties', 'horzAlign', 'otaRight');
  const top = page.locator('#properties .key[data-key="top"] input.mm');
  await top.fill('20');
  await top.press('Enter');
  rule = await currentRule(page);
  for (const { id } of fields.slice(1, 4)) {
    assert.equal(attr(lineOf(rule, id), 'fontSize'), '12', id);
    assert.equal(attr(lineOf(rule, id), 'horzAlign'), 'otaRight', id);
    assert.equal(attr(lineOf(rule, id), 'top'), '76', `${id}: 20 mm is 76 rule pixels`);
  }
  assert.equal(attr(lineOf(rule, 'ydh'), 'fontSize'), '11', 'what was not selected stays');
  await page.focus('#stage');
  for (let i = 0; i < 3; ++i) await page.keyboard.press('Control+z');

  // On the office's A4 queue the wide page is cut off while it prints upright, with the sheet's
  // outline over the form; turned, all of it prints.
  if (cups) {
    await openPanel(page, 'printing-panel');
    await page.waitForSelector(`#printer option[value="${a4Queue}"]`, { state: 'attached' });
    const upright = await findingsAfter(page, () => page.selectOption('#printer', a4Queue));
    assert.ok(upright.some((f) => /^warning: printing: the page \(230 x 127 mm\) is 20 mm wider than the 210 x 297 mm sheet of tavo-a4 in portrait/.test(f)), upright.join('\n'));
    assert.ok(upright.some((f) => /^warning: printing\/field: <field> with id "phone" reaches 17\.5 mm beyond the right edge .*set landscape="true"/.test(f)), upright.join('\n'));
    await page.waitForFunction(() => /Sheet of tavo-a4 \(portrait\), 210 x 297 mm/.test(document.querySelector('#sheet-outline span').textContent));
    const outlineWidth = () => page.$eval('#sheet-outline', (o) => o.getBoundingClientRect().width);
    assert.ok(Math.abs((await outlineWidth()) - (210 / 25.4) * 96) < 2);
    const turned = await findingsAfter(page, () => setKey(page, '#page-settings', 'landscape', 'true'));
    assert.deepEqual(turned.filter((f) => /sheet/.test(f)), []);
    await page.waitForFunction(() => /\(landscape\), 297 x 210 mm/.test(document.querySelector('#sheet-outline span').textContent));
    await setKey(page, '#page-settings', 'landscape', 'false');
  }

  // On the PDF printer the sheet is the page: 230 x 127 mm, each field's text inside its box.
  const onPdf = await findingsAfter(page, () => page.selectOption('#printer', 'pdf:'));
  assert.deepEqual(onPdf.filter((f) => /sheet/.test(f)), []);
  await page.click('#test-print');
  await page.waitForFunction(() => /printed/.test(document.getElementById('print-outcome').textContent), null, { timeout: 30000 });
  const pdf = path.join(folder, 'test-print.pdf');
  assert.equal(pdfInfo(pdf)['Page size'], '651.969 x 360 pts');
  const printedRule = workFile(bridge, 'wide-rule.xml', await currentRule(page));
  const raster = (data) => {
    const out = path.join(bridge.work, 'raster');
    tavoprint(bridge, ['print', data, printedRule, '--pdf', path.join(bridge.work, 'raster.pdf')]);
    const args = ['-png', '-singlefile', '-scale-to-x', '869', '-scale-to-y', '480', path.join(bridge.work, 'raster.pdf'), out];
    assert.equal(spawnSync('pdftoppm', args).status, 0);
    return readPng(fs.readFileSync(`${out}.png`));
  };
  const sample = workFile(bridge, 'sample.xml', await page.inputValue('#sample-xml'));
  const withText = await raster(sample);
  const without = await raster(workFile(bridge, 'without.xml', (await page.inputValue('#sample-xml')).replace(/>[^<>]+</g, '><')));
  assert.deepEqual([withText.width, withText.height], [869, 480]);
  const all = [...fields, ...rowFields];
  const ink = new Map(all.map((f) => [f.id, 0]));
  let outside = 0;
  for (let y = 0; y < withText.height; ++y) {
    for (let x = 0; x < withText.width; ++x) {
      if (Math.abs(withText.grey(x, y) - without.grey(x, y)) < 30) continue;
      const hit = all.find(({ box }) => x >= box[0] && x < box[2] && y >= box[1] && y < box[3]);
      if (hit) ink.set(hit.id, ink.get(hit.id) + 1);
      else outside += 1;
    }
  }
  for (const [id, count] of ink) assert.ok(count > 30, `${id} printed inside its box (${count} pixels)`);
  assert.equal(outside, 0, 'no text outside the boxes');

});

test('rows: copies give the sample data its rows, automatic rows lie the row space apart', { timeout: 120000 }, async () => {
  const { page, bridge, folder } = designer;
  await openPanel(page, 'rows-panel');
  await openPanel(page, 'sample-panel');
  for (const { id } of rowFields) await page.check(`input[data-row-field="${id}"]`);
  // Written copies: three after the first, 9 mm apart (typed in millimetres), and the sample
  // data has the four rows of the rule; the panel keeps what was typed.
  await page.fill('#row-count', '3');
  await page.fill('#row-pitch-mm', '9');
  await page.press('#row-pitch-mm', 'Enter');
  assert.equal(await page.inputValue('#row-pitch'), '34');
  await page.click('text=Write the row copies');
  assert.deepEqual([await page.inputValue('#row-count'), await page.inputValue('#row-pitch')], ['3', '34']);
  assert.equal((await page.inputValue('#sample-xml')).match(/<row>/g).length, 4);

  // Automatic rows: the row fields go to the top of their boxes, and the copies, which
  // automatic rows do not use, are removed when asked.
  await page.fill('#row-space', '2');
  await page.click('text=Use automatic rows');
  assert.match(await message(page), /2 mm apart\. The row fields' vertAlign is now otaTop/);
  await page.click('text=Remove the row copies');
  let rule = await currentRule(page);
  assert.deepEqual(rowFields.map(({ id }) => rule.split('\n').filter((l) => l.includes(`id="${id}"`)).length), [1, 1]);
  assert.equal(attr(lineOf(rule, 'item'), 'vertAlign'), 'otaTop');
  assert.equal((await page.inputValue('#sample-xml')).match(/<row>/g).length, 4);
  // A field made a row field later gets the top as well, and says so.
  await page.check('input[data-row-field="weight"]');
  assert.match(await message(page), /^weight is a row field of automatic rows: its vertAlign is now otaTop/);
  await page.uncheck('input[data-row-field="weight"]');
  await page.focus('#stage');
  await page.keyboard.press('Control+z');
  rule = await currentRule(page);

  // Printed, each row's text starts the row space below the row above: 2 mm plus the text's
  // own height, the same from row to row.
  const pdf = path.join(bridge.work, 'rows.pdf');
  tavoprint(bridge, ['print', workFile(bridge, 'rows-data.xml', await page.inputValue('#sample-xml')), workFile(bridge, 'rows-rule.xml', rule), '--pdf', pdf]);
  const bbox = spawnSync('pdftotext', ['-bbox', pdf, '-'], { encoding: 'utf8' }).stdout;
  const tops = [...bbox.matchAll(/yMin="([\d.]+)"[^>]*>item</g)].map((m) => Number(m[1]));
  assert.equal(tops.length, 4, bbox);
  const gaps = tops.slice(1).map((t, i) => t - tops[i]);
  const twoMm = (2 / 25.4) * 72;
  for (const gap of gaps) {
    assert.ok(gap > twoMm + 5 && gap < twoMm + 20, `rows ${gaps} pt apart`);
    assert.ok(Math.abs(gap - gaps[0]) < 0.5, `rows ${gaps} pt apart`);
  }

  // The sample data is saved as it is shown, and opens again.
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#save-data')]);
  const saved = fs.readFileSync(await download.path(), 'utf8');
  assert.equal(saved, await page.inputValue('#sample-xml'));
  fs.writeFileSync(path.join(folder, 'saved-data.xml'), saved.replace('item 1', 'Paper A4'));
  await page.setInputFiles('#open-data', path.join(folder, 'saved-data.xml'));
  await page.waitForFunction(() => /Paper A4/.test(document.getElementById('sample-xml').value));
});

test('calibration applied twice changes the offsets once; the preview shows where the print lands', { timeout: 60000 }, async () => {
  const { page } = designer;
  await openPanel(page, 'printing-panel');
  const help = await page.textContent('#printing fieldset .note');
  assert.match(help, /from the paper's left edge \(x\) and top edge \(y\)/);
  await page.fill('#shift-x', '1.5');
  await page.fill('#shift-y', '-0.8');
  await page.click('#apply-shift');
  await page.click('#apply-shift');
  const printing = (await currentRule(page)).match(/<printing[^>]*>/s)[0];
  assert.match(printing, / customOffsetLeft="-1\.5"/);
  assert.match(printing, / customOffsetTop="0\.8"/);
  assert.deepEqual([await page.inputValue('#shift-x'), await page.inputValue('#shift-y')], ['', '']);
  assert.match(await message(page), /Type the shift measured/);

  // As it will land on the form: the page without the correction, which the printer takes up.
  await page.selectOption('#view', 'land');
  const generation = await page.evaluate(() => window.designer.preview.generation);
  await page.waitForFunction((g) => window.designer.preview.shownGeneration >= g, generation);
  const [shown, expected] = await page.evaluate(async () => {
    const { state, sample, printing: printer, connection } = window.designer;
    const img = document.getElementById('preview-picture');
    const rule = state.doc.serialize().replace(/ customOffset(Left|Top)="[^"]*"/g, '');
    const picture = await connection.control.renderPrintPage(sample.data(), rule, printer.printer(), img.naturalWidth);
    return [img.src.slice(img.src.indexOf(',') + 1), picture.png];
  });
  assert.equal(shown, expected);
});

test('leaving with unsaved work asks first; the new elements\' font is remembered by the browser', { timeout: 60000 }, async () => {
  const { page } = designer;
  assert.equal(await page.evaluate(() => window.designer.state.unsaved), true);
  let asked = null;
  page.once('dialog', (dialog) => { asked = dialog.type(); dialog.accept(); });
  await page.reload();
  assert.equal(asked, 'beforeunload');
  await page.waitForFunction(() => document.getElementById('connection')?.dataset.state === 'ok');
  assert.equal(await page.inputValue('#properties .key[data-key="fontName"] input'), 'Arial');
  assert.equal(await page.evaluate(() => window.designer.state.unsaved), false, 'a fresh designer has nothing to lose');
});

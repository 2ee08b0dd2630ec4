// The live preview shows what prints: the print-faithful view is the PDF printer's page for
// the same rule and data, rasterized by pdftoppm at the picture's size (differences only from
// antialiasing); the dialog view is what `tavoprint preview --png` draws. Edits in quick
// succession cost one picture, of the last state. Logs the refresh time, edit to picture.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import {
  currentRule, decodePng, formPicturePath, invoiceDataPath, invoiceRulePath, openDesigner, openPanel, openRule,
  tavoprint, workFile,
} from './designer.mjs';

let designer;
before(async () => {
  designer = await openDesigner();
  const { page } = designer;
  await openRule(page, invoiceRulePath);
  await page.setInputFiles('#open-form', formPicturePath);
  await openPanel(page, 'sample-panel');
  await page.setInputFiles('#open-data', invoiceDataPath);
  // Count the pictures the page asks for.
  await page.evaluate(() => {
    const control = window.designer.connection.control;
    window.calls = { renderPrintPage: 0, renderPreview: 0 };
    for (const name of ['renderPrintPage', 'renderPreview']) {
      const original = control[name].bind(control);
      control[name] = (...args) => { window.calls[name] += 1; return original(...args); };
    }
  });
});
after(async () => { await designer?.close(); });

/** Runs `edit` and answers the picture that then comes on screen, and the refresh time. */
async function pictureAfter(page, edit) {
  await page.evaluate(() => { window.nextPicture = window.designer.preview.shown; });
  await edit();
  await page.evaluate(() => window.nextPicture);
  return page.evaluate(() => {
    const img = document.getElementById('preview-picture');
    const { lastRefreshMs, lastDrawMs } = window.designer.preview;
    return { png: img.src.slice(img.src.indexOf(',') + 1), ms: lastRefreshMs, drawMs: lastDrawMs, shownWidth: img.getBoundingClientRect().width };
  });
}

function compare(a, b) {
  assert.deepEqual([a.width, a.height], [b.width, b.height], 'the same size');
  let differing = 0;
  let ink = 0;
  let total = 0;
  for (let i = 0; i < a.data.length; i += 4) {
    const d = Math.max(Math.abs(a.data[i] - b.data[i]), Math.abs(a.data[i + 1] - b.data[i + 1]), Math.abs(a.data[i + 2] - b.data[i + 2]));
    total += d;
    if (d > 64) differing += 1;
    if (a.data[i] + a.data[i + 1] + a.data[i + 2] < 600) ink += 1;
  }
  return { differing, ink, meanDifference: total / (a.data.length / 4), pixels: a.data.length / 4 };
}

/** Pixels of `a` that no pixel of `b` within one pixel matches (each channel within 64). */
function unmatchedNearby(a, b) {
  let count = 0;
  for (let y = 0; y < a.height; ++y) {
    for (let x = 0; x < a.width; ++x) {
      const i = (y * a.width + x) * 4;
      let found = false;
      for (let dy = -1; dy <= 1 && !found; ++dy) {
        for (let dx = -1; dx <= 1 && !found; ++dx) {
          const xx = x + dx;
          const yy = y + dy;
          if (xx < 0 || yy < 0 || xx >= b.width || yy >= b.height) continue;
          const j = (yy * b.width + xx) * 4;
          found = Math.abs(a.data[i] - b.data[j]) <= 64 && Math.abs(a.data[i + 1] - b.data[j + 1]) <= 64 && Math.abs(a.data[i + 2] - b.data[j + 2]) <= 64;
        }
      }
      if (!found) count += 1;
    }
  }
  return count;
}

test('the print-faithful view is the PDF printer\'s page, rasterized by pdftoppm at the same size', { timeout: 240000 }, async () => {
  const { page, bridge } = designer;
  await page.selectOption('#view', 'print');
  const shown = await pictureAfter(page, () => page.evaluate(() => window.designer.preview.schedule()));
  const rule = await currentRule(page);
  const ruleFile = workFile(bridge, 'preview-rule.xml', rule);
  const pdf = path.join(bridge.work, 'preview.pdf');
  tavoprint(bridge, ['print', invoiceDataPath, ruleFile, '--pdf', pdf]);
  const picture = await decodePng(page, shown.png);
  const prefix = path.join(bridge.work, 'pdf-page');
  const run = spawnSync('pdftoppm', ['-png', '-singlefile', '-scale-to-x', String(picture.width), '-scale-to-y', String(picture.height), pdf, prefix]);
  assert.equal(run.status, 0, String(run.stderr));
  const rasterized = await decodePng(page, fs.readFileSync(`${prefix}.png`).toString('base64'));
  const { differing, ink, meanDifference, pixels } = compare(picture, rasterized);
  const unmatched = unmatchedNearby(picture, rasterized) + unmatchedNearby(rasterized, picture);
  console.log(`print page ${picture.width} x ${picture.height}: ${differing} of ${pixels} pixels differ by more than 64 (glyph and line edges), ${unmatched} have no match within a pixel; mean difference ${meanDifference.toFixed(2)}`);
  assert.ok(ink > 5000, `the page has the invoice on it (${ink} dark pixels)`);
  // Antialiasing moves an edge's grey by less than a pixel; anything drawn elsewhere, in another
  // size or colour, leaves pixels without a match near them. Measured on the sample's own
  // 241 x 140 mm sheet, for its 30800 dark pixels: the same page gives 1255 unmatched, 15400
  // edge pixels and a difference of 74 grey steps per dark pixel; the page moved by 0.15 mm,
  // half a pixel here, gives 2000, 25100 and 131.
  assert.ok(unmatched < ink * 0.05, `${unmatched} pixels without a match within a pixel`);
  assert.ok(differing < ink * 0.65, `${differing} edge pixels for ${ink} dark pixels`);
  assert.ok(meanDifference * pixels < ink * 100, `mean difference ${meanDifference}`);
  // The sheet (the PDF printer's is the rule's page) lies over the form at the form's scale:
  // 241 mm at 96 dpi.
  assert.ok(Math.abs(shown.shownWidth - 241 / 25.4 * 96) < 1, `shown ${shown.shownWidth} px wide`);
});

test('the dialog view is what tavoprint preview --png draws over the same form picture', { timeout: 240000 }, async () => {
  const { page, bridge } = designer;
  const shown = await pictureAfter(page, () => page.selectOption('#view', 'dialog'));
  assert.equal(await page.evaluate(() => window.calls.renderPreview), 1);
  const ruleFile = workFile(bridge, 'dialog-rule.xml', await currentRule(page));
  const png = path.join(bridge.work, 'dialog.png');
  tavoprint(bridge, ['preview', invoiceDataPath, ruleFile, formPicturePath, '--png', png]);
  const { differing, meanDifference, ink } = compare(await decodePng(page, shown.png), await decodePng(page, fs.readFileSync(png).toString('base64')));
  assert.ok(ink > 5000);
  assert.equal(differing, 0);
  assert.equal(meanDifference, 0);
});

test('quick edits cost one picture, of the last state; the refresh time is logged', { timeout: 120000 }, async () => {
  const { page } = designer;
  await pictureAfter(page, () => page.selectOption('#view', 'print'));
  const list = page.locator('#element-list');
  await list.selectOption(await list.locator('option', { hasText: 'gmfmc' }).getAttribute('value'));
  await page.focus('#stage');
  const before = await page.evaluate(() => window.calls.renderPrintPage);
  // Six key presses at once, as a held key repeats (the page's keyboard, not the test's pace).
  const shown = await pictureAfter(page, () => page.evaluate(() => {
    const stage = document.getElementById('stage');
    for (let i = 0; i < 6; ++i) stage.dispatchEvent(new KeyboardEvent('keydown', { key: 'ArrowRight', shiftKey: true, bubbles: true }));
  }));
  const calls = (await page.evaluate(() => window.calls.renderPrintPage)) - before;
  assert.equal(calls, 1, `${calls} pictures for six quick edits`);
  assert.match((await currentRule(page)).split('\n').find((l) => l.includes('id="gmfmc"')), / left="200" /);
  // What is on screen is the last state: the same as a fresh picture of the final rule.
  const rule = await currentRule(page);
  const fresh = await page.evaluate(async ([data, r]) => {
    const picture = await window.designer.connection.control.renderPrintPage(data, r, window.designer.printing.printer(), document.getElementById('preview-picture').naturalWidth);
    return picture.png;
  }, [fs.readFileSync(invoiceDataPath, 'utf8'), rule]);
  assert.equal(shown.png, fresh);

  const times = [];
  const draws = [];
  for (let i = 0; i < 8; ++i) {
    const { ms, drawMs } = await pictureAfter(page, () => page.keyboard.press(i % 2 ? 'ArrowLeft' : 'ArrowRight'));
    times.push(ms);
    draws.push(drawMs);
  }
  const median = (values) => values.sort((a, b) => a - b)[values.length / 2];
  console.log(`preview refresh of the sample invoice, edit to picture on screen (300 ms debounce included): median ${median(times).toFixed(0)} ms, range ${times[0].toFixed(0)}-${times.at(-1).toFixed(0)} ms; the control's answer (renderPrintPage at ${shown.shownWidth.toFixed(0)} px over the bridge): median ${median(draws).toFixed(0)} ms`);
});

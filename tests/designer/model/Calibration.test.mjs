import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';

import {
  applyMeasuredShift, calibrationRule, crossMarks, shiftFromMeasurement,
} from '../../../web/designer/rule/Calibration.js';
import { RuleDocument } from '../../../web/designer/rule/RuleDocument.js';
import { sampleDataFor } from '../../../web/designer/rule/SampleData.js';
import { invoiceRule } from './fixtures.mjs';
import { readPng, tavoprintMissing, withTavoprint } from './tavoprint.mjs';

test('the calibration page keeps the page settings and has labelled crosses and grid lines', () => {
  const source = RuleDocument.parse(invoiceRule);
  source.setSetting('customOffsetLeft', '0.5');
  const page = RuleDocument.parse(calibrationRule(source));
  for (const key of ['pageWidth', 'pageHeight', 'width', 'height', 'dpix', 'dpiy', 'landscape', 'customOffsetLeft', 'offsetTop']) {
    assert.equal(page.setting(key), source.setting(key), key);
  }
  assert.equal(page.setting('repeatableRowAutoHeightAndTop'), null);

  const lines = page.elements().filter((e) => e.kind === 'line');
  const labels = page.elements().filter((e) => e.kind === 'text').map((e) => e.text);
  const marks = crossMarks(page);
  assert.deepEqual(marks.map((m) => [m.x, m.y]), [[76, 76], [835, 76], [76, 453], [835, 453], [456, 264]]);
  for (const mark of marks) {
    const through = lines.filter((l) => {
      const b = l.bounds();
      return (b.top === mark.y && b.bottom === mark.y && b.left < mark.x && b.right > mark.x && l.get('color') === 'clBlack')
        || (b.left === mark.x && b.right === mark.x && b.top < mark.y && b.bottom > mark.y && l.get('color') === 'clBlack');
    });
    assert.equal(through.length, 2, `a cross at ${mark.x}, ${mark.y}`);
    assert.ok(labels.includes(`${mark.xMm}, ${mark.yMm} mm`), `its label ${mark.xMm}, ${mark.yMm} mm`);
  }
  assert.equal(marks[0].xMm, 20.1, 'a label gives the position of the pixel the mark stands on');
  // Grid lines every 10 mm across the 241 x 140 mm page, each with its label.
  assert.equal(lines.filter((l) => l.get('color') === 'clSilver').length, 24 + 13);
  for (const mm of ['10', '120', '240', '130']) assert.ok(labels.includes(mm), mm);
});

test('the engine draws the calibration page\'s crosses where their labels say', { skip: tavoprintMissing }, () => {
  withTavoprint(({ run, file, work }) => {
    const ruleText = calibrationRule(RuleDocument.parse(invoiceRule));
    const rule = file('calibration.xml', ruleText);
    const data = file('data.xml', sampleDataFor(RuleDocument.parse(ruleText)));
    const check = run('check', rule, data);
    assert.equal(check.status, 0, check.output);
    assert.match(check.output, /0 errors, 0 warnings, 0 notes/);
    const png = `${work}/page.png`;
    const preview = run('preview', data, rule, '--png', png);
    assert.equal(preview.status, 0, preview.output);
    const image = readPng(readFileSync(png));
    assert.deepEqual([image.width, image.height], [911, 529]);
    for (const { x, y } of crossMarks(RuleDocument.parse(ruleText))) {
      assert.ok(image.grey(x, y) < 80, `the cross at ${x}, ${y} is drawn`);
      assert.ok(image.grey(x + 10, y) < 80 && image.grey(x, y - 10) < 80, `its arms at ${x}, ${y}`);
      assert.ok(image.grey(x + 10, y + 10) > 150, `nothing dark beside the cross at ${x}, ${y}`);
    }
  });
});

test('the measured shift is added to the custom offsets, as decimal millimetres', () => {
  const doc = RuleDocument.parse(invoiceRule.replace('offsetTop="0"', 'offsetTop="0" customOffsetLeft="1.5"'));
  const before = doc.serialize();
  applyMeasuredShift(doc, shiftFromMeasurement(20.1, 20.5), 2);
  assert.equal(doc.setting('customOffsetLeft'), '1.1');
  assert.equal(doc.setting('customOffsetTop'), '2');
  assert.equal(doc.serialize(), before.replace('customOffsetLeft="1.5"', 'customOffsetLeft="1.1"')
    .replace('repeatableRowSpace="1">', 'repeatableRowSpace="1" customOffsetTop="2">'));
  applyMeasuredShift(doc, -1.1, 0);
  assert.equal(doc.setting('customOffsetLeft'), '0');
  assert.equal(doc.setting('customOffsetTop'), '2', 'a zero shift leaves the value as written');
  doc.setSetting('customOffsetTop', 'abc');
  applyMeasuredShift(doc, 0, 0.25);
  assert.equal(doc.setting('customOffsetTop'), '0.25', 'a value that does not read counts as 0, as the engine reads it');
  assert.throws(() => applyMeasuredShift(doc, Number.NaN, 0), RangeError);
});

import { test } from 'node:test';
import assert from 'node:assert/strict';

import {
  align, distribute, mmToRule, moveBy, resolutionOf, roundHalfEven, ruleToMm, snap,
} from '../../../web/designer/rule/Geometry.js';
import { RuleDocument } from '../../../web/designer/rule/RuleDocument.js';

function layout() {
  const doc = RuleDocument.blank({ pageWidth: 100, pageHeight: 100, dpix: 96, dpiy: 192 });
  const a = doc.addElement('text', { left: '10', top: '10', right: '30', bottom: '20' }, 'a');
  const b = doc.addElement('rectangle', { left: '50', top: '40', right: '100', bottom: '60' });
  const c = doc.addElement('line', { fromx: '200', fromy: '90', tox: '120', toy: '80' });
  return { doc, a, b, c };
}

test('millimetres and rule pixels convert at the rule\'s own resolution per axis', () => {
  const { doc } = layout();
  assert.deepEqual(resolutionOf(doc), { dpix: 96, dpiy: 192 });
  assert.equal(mmToRule(241, 96), 911);
  assert.equal(mmToRule(25.4, doc, 'x'), 96);
  assert.equal(mmToRule(25.4, doc, 'y'), 192);
  assert.equal(ruleToMm(192, doc, 'y'), 25.4);
  assert.equal(ruleToMm(96), 25.4);
  assert.deepEqual([0.5, 1.5, 2.5, -0.5, 2.4, 2.6].map(roundHalfEven), [0, 2, 2, 0, 2, 3]);
  doc.setSetting('dpix', '0');
  assert.equal(resolutionOf(doc).dpix, 96, 'an unusable resolution does not divide by zero here');
  assert.deepEqual([snap(14, 10), snap(15.1, 10), snap(-4, 5), snap(13, 0)], [10, 20, -5, 13]);
});

test('align, distribute and move change positions, never sizes; a line moves both ends', () => {
  const { a, b, c } = layout();
  align([a, b, c], 'left');
  assert.deepEqual([a.bounds().left, b.bounds().left, Math.min(c.bounds().left, c.bounds().right)], [10, 10, 10]);
  assert.deepEqual(c.bounds(), { left: 90, top: 90, right: 10, bottom: 80 }, 'a line keeps its direction');
  align([a, b, c], 'bottom');
  assert.deepEqual([a.bounds().bottom, b.bounds().bottom, c.bounds().top], [90, 90, 90]);
  align([a, b], 'centre');
  assert.equal(a.bounds().left + a.bounds().right, b.bounds().left + b.bounds().right);
  assert.equal(a.bounds().right - a.bounds().left, 20);

  moveBy([a], 0, -80);
  moveBy([b], 0, -40);
  distribute([c, a, b], 'vertical');
  // a 0..10, b 30..50, c 80..90: the gaps become (90 - 0 - 10 - 20 - 10) / 2 = 25.
  assert.deepEqual([a.bounds().top, b.bounds().top, c.bounds().top], [0, 35, 90]);
  assert.equal(b.bounds().bottom - b.bounds().top, 20);
  assert.throws(() => align([a, b], 'diagonal'), RangeError);
});

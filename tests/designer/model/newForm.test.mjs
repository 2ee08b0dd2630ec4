// What a new form's rule needs of the model: an empty page the engine can picture and check,
// and the form picture's name kept in the rule without the engine seeing it.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { test } from 'node:test';

import { RuleDocument } from '../../../web/designer/rule/RuleDocument.js';
import { placeholderPath, ruleForEngine } from '../../../web/designer/app/engineRule.js';
import { sourceDir, waybillRule } from './fixtures.mjs';
import { readPng, tavoprintMissing, withTavoprint } from './tavoprint.mjs';

const blank = () => RuleDocument.blank({ pageWidth: 230, pageHeight: 127 });

test('a new rule without elements is pictured as an empty page and checked by the engine', { skip: tavoprintMissing }, () => {
  withTavoprint(({ run, file, work }) => {
    const data = file('data.xml', '<d><body><data><r><fphm/></r></data></body></d>');
    const doc = blank();
    assert.equal(doc.engineFindsPrinting, false);
    const bare = run('preview', data, file('bare.xml', doc.serialize()), '--png', `${work}/bare.png`);
    assert.notEqual(bare.status, 0, 'the engine takes the bare rule for no rule');
    const engine = ruleForEngine(doc);
    const shown = run('preview', data, file('engine.xml', engine), '--png', `${work}/engine.png`);
    assert.equal(shown.status, 0, shown.output);
    const page = readPng(readFileSync(`${work}/engine.png`));
    assert.deepEqual([page.width, page.height], [869, 480]);
    assert.equal(page.grey(400, 200), page.grey(2, 2), 'nothing is drawn');
    // The only finding the placeholder causes is about itself, and the designer drops it.
    const findings = JSON.parse(run('check', file('check.xml', engine), '--json').output.split('\n')[0]);
    assert.deepEqual(findings.map((f) => f.path), [placeholderPath]);
    assert.equal(doc.serialize(), blank().serialize(), 'the rule itself is not changed');
  });
});

test('the form picture\'s name is noted in the rule, which the engine reads as before', { skip: tavoprintMissing }, () => {
  const doc = RuleDocument.parse(waybillRule);
  doc.formPicture = 'waybill scan.png';
  const noted = doc.serialize();
  assert.ok(noted.startsWith('<?xml version="1.0" encoding="UTF-8"?>\n<?tavo-form-picture waybill scan.png?>\n<!--'), noted.slice(0, 120));
  assert.equal(RuleDocument.parse(noted).formPicture, 'waybill scan.png');
  doc.formPicture = 'other.jpg';
  assert.equal(RuleDocument.parse(doc.serialize()).formPicture, 'other.jpg');
  assert.throws(() => { doc.formPicture = 'a?>b.png'; }, RangeError);
  doc.formPicture = null;
  assert.equal(doc.serialize(), waybillRule, 'taken out, the rule is as it was, byte for byte');
  withTavoprint(({ run, file }) => {
    const data = `${sourceDir}examples/waybill/data.xml`;
    assert.equal(run('check', file('noted.xml', noted), data).output, run('check', file('plain.xml', waybillRule), data).output);
  });
});

import { test } from 'node:test';
import assert from 'node:assert/strict';

import {
  automaticRows, fieldIds, rowFieldIds, setAutomaticRows, writeIndexedRows,
} from '../../../web/designer/rule/Rows.js';
import { RuleDocument } from '../../../web/designer/rule/RuleDocument.js';
import { invoiceRule } from './fixtures.mjs';

const rowIds = ['spmc', 'ggxh', 'dw', 'sl', 'dj', 'je', 'slv', 'se'];

test('row fields are the marked fields, or the fields with copies for later rows', () => {
  const doc = RuleDocument.parse(invoiceRule);
  assert.equal(automaticRows(doc), true);
  assert.equal(fieldIds(doc).length, 21);
  assert.deepEqual(rowFieldIds(doc), [], 'automatic rows: the rule alone does not say');
  assert.deepEqual(rowFieldIds(doc, ['se', 'spmc', 'nothing']), ['spmc', 'se'], 'in document order, only the rule\'s fields');
});

test('indexed rows write one shifted copy per row and field, replacing earlier copies', () => {
  const doc = RuleDocument.parse(invoiceRule);
  const first = doc.elements().filter((e) => rowIds.includes(e.get('id')));
  const label = doc.elements()[0];
  const copies = writeIndexedRows(doc, [...first, label], 3, 18);
  assert.equal(copies.length, 24, 'the label, bound to no field, is not copied');
  assert.equal(automaticRows(doc), false, 'copies only count with indexed rows');
  assert.deepEqual(rowFieldIds(doc), rowIds);
  const dj = doc.elements().filter((e) => e.get('id') === 'dj');
  assert.deepEqual(dj.map((e) => [e.get('index'), e.bounds().top, e.bounds().bottom]),
    [['0', 200, 216], ['1', 218, 234], ['2', 236, 252], ['3', 254, 270]]);
  assert.equal(dj[3].get('fontName'), '宋体', 'a copy keeps every key of its row-0 element');

  // Everything of the original rule stays, in order; the copies follow the last element.
  const text = doc.serialize();
  const original = invoiceRule.split('\n');
  const now = text.split('\n');
  const printingLine = original.findIndex((l) => l.includes('repeatableRowAutoHeightAndTop'));
  assert.equal(now[printingLine], original[printingLine].replace('repeatableRowAutoHeightAndTop="true"', 'repeatableRowAutoHeightAndTop="false"'));
  const closing = original.findIndex((l) => l.includes('</printing>'));
  assert.deepEqual(now.slice(0, closing).filter((_, i) => i !== printingLine), original.slice(0, closing).filter((_, i) => i !== printingLine));
  assert.equal(now.length, original.length + 24);

  // Writing again with fewer rows replaces the copies instead of adding to them.
  writeIndexedRows(doc, first, 1, 20);
  assert.deepEqual(doc.elements().filter((e) => e.get('id') === 'dj').map((e) => e.get('index')), ['0', '1']);
  assert.equal(doc.elements().length, 57 + 8);
  const reread = RuleDocument.parse(doc.serialize());
  assert.deepEqual(rowFieldIds(reread), rowIds);
});

test('automatic rows are switched with their row space in millimetres', () => {
  const doc = RuleDocument.blank({ pageWidth: 210, pageHeight: 297 });
  setAutomaticRows(doc, 1.25);
  assert.deepEqual([doc.setting('repeatableRowAutoHeightAndTop'), doc.setting('repeatableRowSpace')], ['true', '1.25']);
  setAutomaticRows(doc, null);
  assert.deepEqual([automaticRows(doc), doc.setting('repeatableRowSpace')], [false, '1.25']);
});

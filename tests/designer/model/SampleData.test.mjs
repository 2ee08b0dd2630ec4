import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';

import { buildData, parseData, sampleDataFor } from '../../../web/designer/rule/SampleData.js';
import { RuleDocument } from '../../../web/designer/rule/RuleDocument.js';
import { invoiceRule, sourceDir, waybillRule } from './fixtures.mjs';
import { tavoprintMissing, withTavoprint } from './tavoprint.mjs';

const rowIds = ['spmc', 'ggxh', 'dw', 'sl', 'dj', 'je', 'slv', 'se'];

test('data documents are read as the engine reads them', () => {
  const data = parseData(readFileSync(`${sourceDir}examples/invoice/data.xml`, 'utf8'));
  assert.equal(data.found, true);
  assert.equal(data.fields.length, 13);
  assert.deepEqual(data.fields[0], { name: 'fphm', value: '12345678' });
  assert.equal(data.rows.length, 8);
  assert.deepEqual(data.rows[7].map((f) => f.name), rowIds);
  assert.equal(data.rows[2][1].value, 'A4 双夹');

  const envelope = parseData('<d><body><w><r><prop name="a b" value="v">t</prop><prop name="c">x</prop><prop>p</prop><n/>'
    + '<rows><row><x>1</x><deeper><y/></deeper></row><lonely/></rows><second><row><z/></row></second></r></w><w2/></body></d>');
  assert.deepEqual(envelope.fields, [{ name: 'a b', value: 'v' }, { name: 'c', value: 'x' }, { name: 'prop', value: 'p' }, { name: 'n', value: '' }]);
  assert.deepEqual(envelope.rows, [[{ name: 'x', value: '1' }]], 'only the first child item holds rows; a row\'s child items are no fields');
  assert.equal(parseData('<d><body><w><r/></w></body></d>').found, false, 'a record without child elements is no record');
});

test('sample data holds the rule\'s fields and rows, and survives the table and back', () => {
  const doc = RuleDocument.parse(invoiceRule);
  const text = sampleDataFor(doc, { markedIds: rowIds, rows: 4 });
  const table = parseData(text);
  assert.deepEqual(table.fields.map((f) => f.name), doc.elements().map((e) => e.get('id')).filter((id) => id && !rowIds.includes(id)));
  assert.equal(table.rows.length, 4);
  assert.deepEqual(table.rows[3].map((f) => f.name), rowIds);
  assert.equal(table.rows[3][0].value, 'spmc 4');
  assert.equal(buildData(table), text, 'the table builds the same document');

  table.fields[0].value = ' ¥9,791.00 & <tax> ';
  table.fields.push({ name: '1st field', value: 'not an element name' });
  table.rows[1][2].value = 'line\r\nbreak';
  const edited = parseData(buildData(table));
  assert.deepEqual(edited, { ...table, found: true });

  // A rule without fields still gets a record the engine finds.
  assert.equal(parseData(sampleDataFor(RuleDocument.blank({ pageWidth: 10, pageHeight: 10 }))).found, true);

  // Barcodes that take digits get digits.
  const waybill = RuleDocument.parse(waybillRule);
  waybill.elements().find((e) => e.get('id') === 'ydh').set('symbology', 'ean13');
  assert.match(parseData(sampleDataFor(waybill)).fields.find((f) => f.name === 'ydh').value, /^[0-9]{12}$/);
});

test('the engine prints the sample data on its rule without a complaint', { skip: tavoprintMissing }, () => {
  withTavoprint(({ run, file }) => {
    const rule = file('rule.xml', invoiceRule);
    const result = run('check', rule, file('data.xml', sampleDataFor(RuleDocument.parse(invoiceRule), { markedIds: rowIds })), '--json');
    assert.equal(result.status, 0, result.output);
    // Every field of the data is drawn: the check says nothing about the data.
    assert.deepEqual(JSON.parse(result.output).filter((r) => r.document === 'data'), []);
    const waybill = run('check', file('waybill.xml', waybillRule), file('waybill-data.xml', sampleDataFor(RuleDocument.parse(waybillRule))), '--json');
    assert.equal(waybill.status, 0, waybill.output);
    assert.deepEqual(JSON.parse(waybill.output), []);
  });
});

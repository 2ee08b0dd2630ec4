import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';

import {
  alignmentNames, colourNames, describeValue, elementKeys, fontNames, keyInfoFor, pageKeys,
} from '../../../web/designer/rule/Keys.js';
import { keyOrder } from '../../../web/designer/rule/ElementKinds.js';
import { RuleDocument } from '../../../web/designer/rule/RuleDocument.js';
import { textToColor } from '../../../web/designer/rule/ValueSyntax.js';
import { invoiceRule, sourceDir } from './fixtures.mjs';

const source = (path) => readFileSync(`${sourceDir}${path}`, 'utf8');

test('the designer knows the keys, colours and fonts the engine knows', () => {
  // The engine's own key table: {"name", TKeyType::Type, "default"}.
  const table = source('src/printing/unitRuleCheckKeys.cpp');
  const entries = (fn) => [...table.split(fn)[1].split('return keys')[0].matchAll(/\{"(\w+)", TKeyType::(\w+), "[^"]*"\}/g)]
    .map(([, name, type]) => [name, type]);
  const types = { Real: ['real'], Integer: ['integer'], Boolean: ['boolean'], Text: ['text', 'font'], Align: ['alignment'], Color: ['colour'], StrictColor: ['strictColour', 'colour'] };
  const enginePage = entries('PageKeys()');
  assert.deepEqual(pageKeys.map((k) => k.name), enginePage.map(([name]) => name));
  for (const [name, type] of enginePage) assert.ok(types[type].includes(keyInfoFor('page', name).type), name);
  const ours = new Map(Object.values(elementKeys).flat().map((k) => [k.name, k]));
  const engineElement = entries('ElementKeys()');
  assert.deepEqual([...ours.keys()].sort(), engineElement.map(([name]) => name).sort());
  for (const [name, type] of engineElement) assert.ok(types[type].includes(ours.get(name).type), name);
  for (const [kind, keys] of Object.entries(elementKeys)) assert.deepEqual(keys.map((k) => k.name), keyOrder[kind], kind);

  const engineColours = [...source('src/printing/unitFormUtils.cpp').matchAll(/ColorName\{"(\w+)", ([^}]+)\}/g)];
  assert.deepEqual([...colourNames].sort(), engineColours.map(([, name]) => name).sort());
  for (const [, name, value] of engineColours) {
    const system = /SystemColor\((\d+)\)/.exec(value);
    const expected = system ? (0xff000000 | Number(system[1])) >>> 0 : { clNone: 0x1fffffff, clDefault: 0x20000000 }[value] ?? Number(value);
    assert.equal(textToColor(name), expected, name);
  }
  const mapped = [...source('src/platform/cairo/FontMapping.cpp').matchAll(/<test name="family"[^>]*><string>([^<]+)<\/string>/g)].map((m) => m[1]);
  assert.deepEqual([...fontNames].sort(), mapped.sort());
  assert.deepEqual([...alignmentNames], ['otaAuto', 'otaLeft', 'otaCenter', 'otaRight', 'otaTop', 'otaMiddle', 'otaBottom']);
});

test('a bad value is described as falling back, and saved as typed', () => {
  const doc = RuleDocument.parse(invoiceRule);
  const label = doc.elements()[0];
  label.set('horzAlign', 'right');
  label.set('fontColor', '#A44028');
  doc.setSetting('landscape', 'yes');
  doc.setSetting('dpix', '96.5');
  const saved = RuleDocument.parse(doc.serialize());
  const again = saved.elements()[0];
  assert.equal(again.get('horzAlign'), 'right');
  assert.equal(saved.setting('landscape'), 'yes');

  const align = describeValue(keyInfoFor('text', 'horzAlign'), again.get('horzAlign'));
  assert.equal(align.valid, false);
  assert.match(align.fallback, /falls back to no alignment, so centred/);
  assert.equal(align.hint, 'did you mean otaRight?');
  const colour = describeValue(keyInfoFor('text', 'fontColor'), again.get('fontColor'));
  assert.match(colour.fallback, /falls back to the window-text colour/);
  assert.match(colour.hint, /\$2840A4/);
  assert.match(describeValue(keyInfoFor('page', 'landscape'), 'yes').fallback, /falls back to false/);
  assert.match(describeValue(keyInfoFor('page', 'dpix'), '96.5').fallback, /falls back to 96$/);
  assert.equal(describeValue(keyInfoFor('page', 'dpix'), '0').valid, false);
  assert.match(describeValue(keyInfoFor('line', 'color'), null).fallback, /stops the page/);
  assert.match(describeValue(keyInfoFor('line', 'color'), ' clRed').fallback, /stops the page/);
  assert.match(describeValue(keyInfoFor('barcode', 'symbology'), 'qr').fallback, /falls back to code128/);

  assert.deepEqual(describeValue(keyInfoFor('page', 'landscape'), 'TRUE'), { valid: true, effective: 'true', fallback: null, hint: null });
  assert.equal(describeValue(keyInfoFor('text', 'fontSize'), '$0A').effective, '10');
  assert.equal(describeValue(keyInfoFor('line', 'color'), 'clred').effective, '$000000FF');
  assert.equal(describeValue(keyInfoFor('barcode', 'color'), '').valid, false, 'a barcode colour is read leniently');
  assert.equal(describeValue(keyInfoFor('barcode', 'eccLevel'), 'q').effective, 'Q');
  assert.equal(describeValue(keyInfoFor('text', 'wordBreak'), null).effective, 'true (the text wraps)');
  // An index of 03 reads as text but matches no row; 3 does.
  assert.ok(describeValue(keyInfoFor('field', 'index'), '03').hint);
  assert.equal(describeValue(keyInfoFor('field', 'index'), '3').hint, null);
  assert.ok(describeValue(keyInfoFor('text', 'fontName'), 'Comic Sans').hint);
  assert.equal(describeValue(keyInfoFor('text', 'fontName'), '宋体').hint, null);
});

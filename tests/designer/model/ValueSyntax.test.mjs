import { test } from 'node:test';
import assert from 'node:assert/strict';

import {
  colourToCss, readBoolean, readInteger, readReal, textToAlign, textToColor,
} from '../../../web/designer/rule/ValueSyntax.js';

test('integers read as the engine reads them: blanks before, sign, decimal or $/x/0x hex, 32 bits', () => {
  const cases = {
    '3': 3, '03': 3, ' 5': 5, '+7': 7, '-12': -12, '$FF': 255, '$ff': 255, '0x1F': 31, '0X1f': 31,
    'x1f': 31, '-$10': -16, '2147483647': 2147483647, '-2147483648': -2147483648, '$FFFFFFFF': -1,
    '$80000000': -2147483648, '00000000000000000003': 3,
    '': null, ' ': null, '5 ': null, '\t5': null, '1.0': null, '2147483648': null,
    '-2147483649': null, '$100000000': null, '$': null, '0x': null, 'x': null, '$-5': null,
    '1e3': null, '١٢': null,
  };
  for (const [text, expected] of Object.entries(cases)) assert.equal(readInteger(text), expected, JSON.stringify(text));
  assert.equal(readInteger(null), null);
  assert.equal(readInteger('9'.repeat(100000)), null, 'a long number is refused, not computed');
});

test('reals take "." as the point, blanks around them, and no words', () => {
  const cases = {
    '1.5': 1.5, ' 2.5 ': 2.5, '1e3': 1000, '.5': 0.5, '5.': 5, '-0.25': -0.25, '+3': 3, '1E-2': 0.01,
    '1,5': null, 'inf': null, 'nan': null, '0x10': null, '1e999': null, '': null, '.': null, '1e': null,
    '- 1': null,
  };
  for (const [text, expected] of Object.entries(cases)) assert.equal(readReal(text), expected, JSON.stringify(text));
});

test('booleans are numbers or True/False in any letter case; yes is no boolean', () => {
  const cases = {
    '1': true, '0': false, '2': true, '0.0': false, '$0': false, ' 1': true, '1 ': true,
    'TRUE': true, 'true': true, 'False': false, 'yes': null, 'no': null, '': null, ' true': null,
  };
  for (const [text, expected] of Object.entries(cases)) assert.equal(readBoolean(text), expected, JSON.stringify(text));
});

test('alignment names match over the whole text ignoring letter case, else 255', () => {
  assert.deepEqual(['otaRight', 'OTARIGHT', 'otaright', 'otaAuto', 'otaBottom'].map(textToAlign), [3, 3, 3, 0, 6]);
  assert.deepEqual(['right', '', ' otaRight', 'otaRight ', null].map(textToAlign), [255, 255, 255, 255, 255]);
});

test('colours are names or 00BBGGRR integers, read without trimming', () => {
  for (const red of ['clRed', 'CLRED', '$FF', '255', ' 255', '$000000FF']) assert.equal(textToColor(red), 0x0000ff, red);
  assert.equal(textToColor('0x00FF00'), 0x00ff00);
  assert.equal(textToColor('clWindowText'), 0xff000008);
  assert.equal(textToColor('$FF000008'), 0xff000008);
  assert.equal(textToColor('clNone'), 0x1fffffff);
  assert.equal(textToColor('-1'), 0xffffffff);
  for (const bad of ['255 ', ' clRed', 'red', '#FF0000', '', '   ']) assert.equal(textToColor(bad), null, bad);

  assert.equal(colourToCss('clRed'), '#ff0000');
  assert.equal(colourToCss('$002840A4'), '#a44028');
  assert.equal(colourToCss('clBlue'), '#0000ff');
  assert.equal(colourToCss('clWindowText'), '#000000');
  assert.equal(colourToCss('clWindow'), '#ffffff');
  assert.equal(colourToCss('clInfoBk'), '#ffffe1');
  assert.equal(colourToCss('clDefault'), '#000000');
  assert.equal(colourToCss('red'), null);
});

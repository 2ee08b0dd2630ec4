// The catalogs are whole: English and Chinese have the same keys with the same placeholders,
// every key the designer's sources and page name exists and every key is used, Chinese says
// something of its own, and t() fills placeholders and falls back to English.
import assert from 'node:assert/strict';
import { readdirSync, readFileSync } from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import { catalogs, formatNumber, languageFor, language, setLanguage, t } from '../../../web/designer/i18n/i18n.js';
import { elementKeys, pageKeys } from '../../../web/designer/rule/Keys.js';
import { elementKinds } from '../../../web/designer/rule/ElementKinds.js';
import { sourceDir } from './fixtures.mjs';

const { en, 'zh-CN': zh } = catalogs;
const designerDir = path.join(sourceDir, 'web/designer');
const sources = ['app', 'rule'].flatMap((dir) => readdirSync(path.join(designerDir, dir))
  .filter((name) => name.endsWith('.js')).map((name) => readFileSync(path.join(designerDir, dir, name), 'utf8')));
const html = readFileSync(path.join(designerDir, 'index.html'), 'utf8');
const placeholders = (text) => [...text.matchAll(/\{(\w+)\}/g)].map((m) => m[1]).sort();

/** Texts that are the same in both languages on purpose: names, units, pure structure. */
const same = new Set(['language.en', 'language.zh-CN', 'unit.dpi', 'describe.index', 'elements.option', 'unit.mm', 'unit.pt']);

test('English and Chinese have the same keys and placeholders, and Chinese is not English', () => {
  assert.deepEqual(Object.keys(zh).sort(), Object.keys(en).sort());
  for (const key of Object.keys(en)) {
    assert.deepEqual(placeholders(zh[key]), placeholders(en[key]), key);
    if (!same.has(key)) assert.notEqual(zh[key], en[key], `${key} is not translated`);
    // Chinese punctuation reads as Chinese: no ASCII colon or full stop right after a Chinese character.
    assert.doesNotMatch(zh[key], /[\u4e00-\u9fff][:.](?!\d)/, `${key}: ${zh[key]}`);
  }
});

test('every key the sources and the page name exists, and every key is used', () => {
  const used = new Set();
  const quoted = new Set();
  const patterns = [];
  for (const text of [...sources, html]) {
    for (const m of text.matchAll(/\b(?:t|phrase)\(\s*'([^']+)'/g)) used.add(m[1]);
    // t(cond ? 'a' : 'b') and phrase(x ? 'a' : 'b')
    for (const m of text.matchAll(/\b(?:t|phrase)\([^'`\n]*?\?\s*'([^']+)'\s*:\s*'([^']+)'/g)) used.add(m[1]).add(m[2]);
    // Keys handed on to be looked up later, such as a panel's labels.
    for (const m of text.matchAll(/'([a-z]+\.[\w.-]+)'/g)) if (m[1] in en) quoted.add(m[1]);
    for (const m of text.matchAll(/\b(?:t|phrase)\(\s*`([^`]+)`/g)) patterns.push(new RegExp(`^${m[1].replace(/\./g, '\\.').replace(/\$\{[^}]+\}/g, '[\\w -]+')}$`));
    for (const m of text.matchAll(/data-i18n(?:-[a-z-]+)?="([^"]+)"/g)) used.add(m[1]);
    for (const m of text.matchAll(/'(default\.\w+)'/g)) used.add(m[1]);
  }
  for (const key of used) assert.ok(key in en, `${key} is used but not in the catalog`);
  const unused = Object.keys(en).filter((key) => !used.has(key) && !quoted.has(key) && !patterns.some((p) => p.test(key)));
  assert.deepEqual(unused, []);
  // The keys made from names: each unit of a key, each element kind, each alignment button.
  const units = new Set([...pageKeys, ...Object.values(elementKeys).flat()].map((k) => k.unit).filter(Boolean));
  for (const unit of units) assert.ok(`unit.${unit}` in en, unit);
  for (const kind of elementKinds) for (const prefix of ['kind', 'history.add']) assert.ok(`${prefix}.${kind}` in en, `${prefix}.${kind}`);
  for (const m of html.matchAll(/data-(align|distribute)="(\w+)"/g)) assert.ok(`history.${m[1]}.${m[2]}` in en, m[2]);
  for (const key of [...pageKeys, ...Object.values(elementKeys).flat()]) assert.notEqual(key.defaultText, undefined);
});

test('a text is looked up in the language chosen, placeholders filled, English where a key is missing', () => {
  assert.equal(languageFor(['zh-TW', 'en']), 'zh-CN');
  assert.equal(languageFor(['fr-FR', 'de']), 'en');
  assert.equal(languageFor(['fr', 'en-GB', 'zh']), 'en');
  assert.equal(language(), 'en');
  assert.equal(t('open.where', { line: 3, column: 7 }), ' (line 3, column 7)');
  try {
    setLanguage('zh-CN');
    assert.equal(t('open.where', { line: 3, column: 7 }), '（第 3 行，第 7 列）');
    assert.equal(t('no.such.key'), 'no.such.key');
    assert.equal(formatNumber(2.1, 2, 2), '2.10');
    // The model's words follow too: a key's default as the property panel shows it.
    assert.equal(pageKeys.find((k) => k.name === 'landscape').defaultText, 'false（纵向）');
    assert.throws(() => setLanguage('fr'), RangeError);
  } finally {
    setLanguage('en');
  }
  assert.equal(formatNumber(1811.25, 1), '1811.3');
});

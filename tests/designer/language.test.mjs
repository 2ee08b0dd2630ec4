// The designer in Chinese for a browser whose language is Chinese: every text and every title,
// label and placeholder of the page is a text of the zh-CN catalog (or the rule's own data, the
// control's findings, numbers and punctuation), before and after the sample invoice is open with
// a field selected and after switching to English and back; the switch is remembered; at 1280
// px nothing in the toolbar, the panels or the status line leaves its box, in either language;
// axe-core finds no fault in Chinese.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import { after, before, test } from 'node:test';
import { catalogs } from '../../web/designer/i18n/i18n.js';
import {
  alignmentNames, colourNames, elementKeys, fontNames, pageKeys, symbologyNames, typeNames,
} from '../../web/designer/rule/Keys.js';
import { pageCountId, pageNumberId } from '../../web/designer/rule/ContinuingRows.js';
import { formPicturePath, invoiceDataPath, invoiceRulePath, openDesigner, openRule } from './designer.mjs';

const require = createRequire(import.meta.url);
const squash = (text) => text.replace(/\s+/g, ' ').trim();

/** A catalog's texts as the literal parts between their placeholders. */
const templates = (catalog) => Object.values(catalog).map((text) => squash(text).split(/\{\w+\}/));

/** Numbers, units, punctuation, shortcut keys, colours as the rule writes them: the same in every language. */
const neutral = /^(?:[\d\s.,:;%()+\-×x/#[\]{}…"“”'·、，。：；（）<>=_]|px|mm|dpi)*$|^(?:Ctrl|Shift|Alt)\+\w$|^\$[0-9A-F]{8}$/;

/**
 * Whether a text is a text of the catalog whose placeholders hold allowed texts, or allowed
 * itself: data of the rule and the control, or neutral.
 * @param {string[][]} known @param {Set<string>} data
 */
function checker(known, data) {
  const memo = new Map();
  const allowed = (text) => {
    const s = squash(text);
    if (s === '' || neutral.test(s) || data.has(s)) return true;
    if (memo.has(s)) return memo.get(s);
    memo.set(s, false);
    const ok = known.some((parts) => fits(parts, s, s.length));
    memo.set(s, ok);
    return ok;
  };
  const fits = (parts, text, whole) => {
    if (parts.length === 1) return text === parts[0];
    if (!text.startsWith(parts[0])) return false;
    const rest = text.slice(parts[0].length);
    for (let end = 0; end <= rest.length; end += 1) {
      if (!rest.startsWith(parts[1], end) && !(parts.length === 2 && end === rest.length - parts[1].length)) continue;
      const value = rest.slice(0, end);
      if (value.length >= whole) break;
      if (allowed(value) && fits(parts.slice(1), rest.slice(end), whole)) return true;
    }
    return false;
  };
  return allowed;
}

/** Every text a person sees on the page: text nodes, options, title/aria-label/placeholder/alt. */
function shownTexts() {
  const seen = (el) => el.getClientRects().length > 0 && (el.checkVisibility?.() ?? true);
  const out = [{ text: document.title, where: 'title' }];
  const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
  for (let node = walker.nextNode(); node; node = walker.nextNode()) {
    const el = node.parentElement;
    if (!el || el.closest('script, style, textarea, datalist, select') || !seen(el)) continue;
    out.push({ text: node.data, where: el.id || el.className || el.tagName });
  }
  for (const select of document.querySelectorAll('select')) {
    if (seen(select)) for (const option of select.options) out.push({ text: option.text, where: `#${select.id} option` });
  }
  for (const el of document.body.querySelectorAll('[title], [aria-label], [placeholder], [alt]')) {
    if (!seen(el) && !el.matches('.hidden-file')) continue;
    for (const name of ['title', 'aria-label', 'placeholder', 'alt']) {
      if (el.hasAttribute(name)) out.push({ text: el.getAttribute(name), where: `${el.id || el.tagName}[${name}]` });
    }
  }
  return out.filter((t) => t.text.trim() !== '');
}

/** The rule's and the control's own words on the page: they stay as they are in any language. */
async function dataOnPage(page) {
  const page_ = await page.evaluate(() => {
    const { state, findings, sample } = window.designer;
    const rule = state.doc.serialize();
    return {
      rule,
      data: sample.data(),
      findings: findings.findings.flatMap((f) => [f.message, f.hint, f.path]),
      printers: [...document.querySelectorAll('#printer option')].slice(1).map((o) => o.value),
      files: [state.fileName, state.picture?.name ?? ''],
    };
  });
  const words = new Set([...page_.findings, ...page_.printers, ...page_.files].filter(Boolean));
  for (const xml of [page_.rule, page_.data]) {
    for (const m of xml.matchAll(/<\/?([\w:-]+)|([\w:-]+)="([^"]*)"|>([^<]+)</g)) {
      for (const part of m.slice(1)) if (part?.trim()) words.add(squash(part.replace(/&amp;/g, '&').replace(/&lt;/g, '<').replace(/&quot;/g, '"')));
    }
  }
  // A field's box is captioned with its id in braces.
  for (const m of page_.rule.matchAll(/ id="([^"]*)"/g)) words.add(`{${m[1]}}`);
  words.add(pageNumberId).add(pageCountId);
  for (const key of [...pageKeys, ...Object.values(elementKeys).flat()]) words.add(key.name);
  for (const name of [...alignmentNames, ...colourNames, ...fontNames, ...symbologyNames, ...typeNames, 'true', 'false', 'True', 'False']) words.add(name);
  return words;
}

/** The texts of the page that are neither the catalog's nor data. */
async function untranslated(page, language) {
  const allowed = checker(templates(catalogs[language]), await dataOnPage(page));
  return (await page.evaluate(shownTexts)).filter(({ text }) => !allowed(text)).map(({ text, where }) => `${where}: ${squash(text)}`);
}

/** What leaves its box at this width: toolbar and status line items, the panels' contents. */
function overflowing() {
  const out = [];
  const inside = (el, box, slack = 0.5) => {
    const r = el.getBoundingClientRect();
    return r.width === 0 || (r.left >= box.left - slack && r.right <= box.right + slack && r.top >= box.top - slack && r.bottom <= box.bottom + slack);
  };
  const name = (el) => `${el.tagName.toLowerCase()}${el.id ? `#${el.id}` : ''} "${el.textContent.trim().slice(0, 30)}"`;
  if (document.documentElement.scrollWidth > window.innerWidth) out.push(`the page scrolls across: ${document.documentElement.scrollWidth}px`);
  for (const bar of document.querySelectorAll('.toolbar, .statusbar')) {
    const box = bar.getBoundingClientRect();
    const items = [...bar.querySelectorAll(':scope > *, .group > *')].filter((el) => el.getClientRects().length && !el.matches('.hidden-file'));
    for (const el of items) if (!inside(el, box)) out.push(`${name(el)} leaves ${bar.className}`);
    // Nothing on a bar covers anything else on it.
    const leaves = items.filter((el) => !el.matches('.group'));
    for (let i = 0; i < leaves.length; i += 1) {
      for (let j = i + 1; j < leaves.length; j += 1) {
        const a = leaves[i].getBoundingClientRect();
        const b = leaves[j].getBoundingClientRect();
        if (a.left < b.right - 1 && b.left < a.right - 1 && a.top < b.bottom - 1 && b.top < a.bottom - 1) out.push(`${name(leaves[i])} overlaps ${name(leaves[j])}`);
      }
    }
  }
  const side = document.querySelector('.side');
  if (side.scrollWidth > side.clientWidth) out.push(`the settings scroll across: ${side.scrollWidth} > ${side.clientWidth}`);
  const sideBox = side.getBoundingClientRect();
  const content = { left: sideBox.left, right: sideBox.left + side.clientWidth, top: -Infinity, bottom: Infinity };
  for (const el of side.querySelectorAll('*')) {
    if (el.closest('.sample-table') && !el.matches('.sample-table')) continue; // the data table scrolls in its own box
    if (el.getClientRects().length && !el.matches('.hidden-file, option, datalist') && !inside(el, content)) out.push(`${name(el)} leaves the settings`);
  }
  return out;
}

let designer;
before(async () => { designer = await openDesigner({ viewport: { width: 1280, height: 900 }, locale: 'zh-CN' }); });
after(async () => { await designer?.close(); });

test('a Chinese browser gets the designer in Chinese, the switch keeps the rule and the selection, and nothing overflows at 1280 px', async () => {
  const { page } = designer;
  assert.equal(await page.evaluate(() => document.documentElement.lang), 'zh-CN');
  assert.equal(await page.textContent('#undo'), '撤销');
  assert.deepEqual(await untranslated(page, 'zh-CN'), []);

  // English is chosen and remembered across a reload; the texts are English ones.
  await page.click('[data-language="en"]');
  assert.equal(await page.evaluate(() => document.documentElement.lang), 'en');
  await page.reload();
  await page.waitForFunction(() => document.getElementById('connection')?.dataset.state === 'ok');
  assert.equal(await page.evaluate(() => document.documentElement.lang), 'en');
  assert.equal(await page.textContent('#undo'), 'Undo');
  assert.deepEqual(await untranslated(page, 'en'), []);
  await page.click('[data-language="zh-CN"]');
  assert.equal(await page.getAttribute('[data-language="zh-CN"]', 'aria-pressed'), 'true');

  // The sample invoice at work: its form, its data, a field selected, every panel open.
  await openRule(page, invoiceRulePath);
  assert.match(await page.textContent('#message'), /^已打开 rule\.xml：共 \d+ 个元素。/);
  await page.setInputFiles('#open-form', formPicturePath);
  await page.setInputFiles('#open-data', invoiceDataPath);
  const list = page.locator('#element-list');
  await list.selectOption(await list.locator('option', { hasText: 'fphm' }).getAttribute('value'));
  await page.evaluate(() => { for (const d of document.querySelectorAll('details')) d.open = true; });
  await page.waitForFunction(() => {
    const { preview, findings } = window.designer;
    return preview.shownGeneration === preview.generation && findings.shownGeneration === findings.generation
      && document.querySelector('#findings h2') !== null;
  });
  assert.match(await page.textContent('#findings h2'), /^已用示例数据检查（PDF 打印机）：/);
  assert.match(await page.textContent('#sheet-outline span'), /^PDF 打印机的纸张/);
  assert.match(await page.textContent('#properties h2'), /^数据字段 fphm/);
  assert.deepEqual(await untranslated(page, 'zh-CN'), []);
  assert.deepEqual(await page.evaluate(overflowing), [], 'Chinese at 1280 px');

  // Switching redraws every view in place: the same rule, the same selection.
  const before = await page.evaluate(() => [window.designer.state.doc.serialize(), [...window.designer.state.selection]]);
  await page.click('[data-language="en"]');
  assert.match(await page.textContent('#properties h2'), /^Data field fphm/);
  assert.match(await page.textContent('#findings h2'), /^Checked with the sample data for the PDF printer/);
  assert.match(await page.textContent('#sheet-outline span'), /^Sheet of the PDF printer/);
  assert.deepEqual(await untranslated(page, 'en'), []);
  assert.deepEqual(await page.evaluate(overflowing), [], 'English at 1280 px');
  await page.click('[data-language="zh-CN"]');
  assert.deepEqual(await page.evaluate(() => [window.designer.state.doc.serialize(), [...window.designer.state.selection]]), before);
  assert.deepEqual(await untranslated(page, 'zh-CN'), []);

  // Evaluated, not added as a script: the designer's content policy admits no inline script.
  await page.evaluate(fs.readFileSync(require.resolve('axe-core/axe.min.js'), 'utf8'));
  const result = await page.evaluate(() => window.axe.run(document, { resultTypes: ['violations'] }));
  assert.deepEqual(result.violations.map((v) => `${v.id}: ${v.help} (${v.nodes.map((n) => n.target.join(' ')).join(', ')})`), []);
});

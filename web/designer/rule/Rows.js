// Repeatable rows: which fields are row fields, automatic row layout, and indexed rows, for
// which the rule holds one copy of each row field per row.
import { alignmentNames, readBoolean, readInteger, textToAlign } from './ValueSyntax.js';
import { t } from '../i18n/i18n.js';

/**
 * @typedef {import('./RuleDocument.js').RuleDocument} RuleDocument
 * @typedef {import('./RuleElement.js').RuleElement} RuleElement
 */

/** More rows than any form holds. */
export const maxCopies = 1000;

/** Whether rows lay out automatically (repeatableRowAutoHeightAndTop reads true). */
export function automaticRows(/** @type {RuleDocument} */ doc) {
  return readBoolean(doc.setting('repeatableRowAutoHeightAndTop')) ?? false;
}

/** The row number an element's index names, as the engine matches it; null for none. */
export function rowNumberOf(/** @type {RuleElement} */ el) {
  const index = el.get('index');
  return index !== null && /^(0|[1-9][0-9]*)$/.test(index) ? readInteger(index) : null;
}

/** The field ids the rule binds, each once, in document order. */
export function fieldIds(/** @type {RuleDocument} */ doc) {
  const ids = doc.elements().map((e) => e.get('id')).filter((id) => id !== null && id !== '');
  return [...new Set(ids)];
}

/**
 * The row fields: those with copies for rows 1 and later (what indexed rows write), and those
 * the user marks. With automatic rows the rule does not say which fields are row fields (one
 * element serves every row), so there only the marks and any copies tell.
 * @param {RuleDocument} doc
 * @param {Iterable<string>} [markedIds]
 * @returns {string[]}
 */
export function rowFieldIds(doc, markedIds = []) {
  const marked = new Set(markedIds);
  const copied = new Set(doc.elements().filter((e) => (rowNumberOf(e) ?? 0) >= 1).map((e) => e.get('id')));
  return fieldIds(doc).filter((id) => marked.has(id) || copied.has(id));
}

/** A number as the rule writes it: plain decimal, no exponent, at most three decimals. */
export function decimalText(/** @type {number} */ value) {
  if (!Number.isFinite(value)) throw new RangeError(t('refused.finite'));
  const text = value.toFixed(3).replace(/\.?0+$/, '');
  return text === '-0' ? '0' : text;
}

/**
 * Turns automatic row layout on with the row space in millimetres, or off with null.
 * @param {RuleDocument} doc
 * @param {number|null} spaceMm
 */
export function setAutomaticRows(doc, spaceMm) {
  if (spaceMm === null || spaceMm === undefined) {
    if (automaticRows(doc)) doc.setSetting('repeatableRowAutoHeightAndTop', 'false');
    return;
  }
  if (!automaticRows(doc)) doc.setSetting('repeatableRowAutoHeightAndTop', 'true');
  doc.setSetting('repeatableRowSpace', decimalText(spaceMm));
}

/**
 * Writes indexed rows: for each given element bound to a field (others are skipped), copies
 * for rows 1 to count, each `pitchPx` rule pixels below the one before, appended row by row.
 * Copies written before (index 1 and later of the same fields) are replaced, the originals get
 * index 0, and automatic row layout is turned off, under which the copies would not count.
 * @param {RuleDocument} doc
 * @param {RuleElement[]} elements the elements of the first row
 * @param {number} count how many copies of each: the rows after the first
 * @param {number} pitchPx the row pitch in rule pixels (vertical)
 * @returns {RuleElement[]} the copies
 */
export function writeIndexedRows(doc, elements, count, pitchPx) {
  if (!Number.isInteger(count) || count < 0 || count > maxCopies) throw new RangeError(t('refused.rows', { max: maxCopies }));
  if (!Number.isFinite(pitchPx)) throw new RangeError(t('refused.pitch'));
  const sources = doc.elements().filter((e) => elements.includes(e) && e.get('id'));
  const ids = new Set(sources.map((e) => e.get('id')));
  for (const el of doc.elements()) {
    if (ids.has(el.get('id')) && !sources.includes(el) && (rowNumberOf(el) ?? 0) >= 1) doc.removeElement(el);
  }
  for (const el of sources) if (el.get('index') !== '0') el.set('index', '0');
  if (automaticRows(doc)) doc.setSetting('repeatableRowAutoHeightAndTop', 'false');
  const copies = [];
  for (let row = 1; row <= count; row += 1) {
    for (const el of sources) {
      const copy = doc.duplicateElement(el, 0, Math.round(row * pitchPx), doc.elements().at(-1));
      copy.set('index', String(row));
      copies.push(copy);
    }
  }
  return copies;
}

/**
 * How many rows the rule holds places for: one more than the highest row number its copies of
 * the row fields give; null when it has no copies (automatic rows, or none written yet).
 * @param {RuleDocument} doc
 * @returns {number|null}
 */
export function rowSlots(doc) {
  const numbers = doc.elements().map(rowNumberOf).filter((n) => n !== null && n >= 1);
  return numbers.length === 0 ? null : Math.max(...numbers) + 1;
}

/**
 * The copies written for rows 1 and later: what automatic rows do not use (their index is not
 * looked at, so each copy draws every row a second time at its own place).
 * @param {RuleDocument} doc
 */
export function rowCopies(doc) {
  return doc.elements().filter((el) => el.get('id') && (rowNumberOf(el) ?? 0) >= 1);
}

/** Takes the copies for rows 1 and later out of the rule; answers how many. */
export function removeRowCopies(/** @type {RuleDocument} */ doc) {
  const copies = rowCopies(doc);
  for (const el of copies) doc.removeElement(el);
  return copies.length;
}

/**
 * Puts the text of the elements bound to these fields at the top of their boxes: automatic rows
 * move only a row's top, so text placed lower in its box lands lower row by row.
 * @param {RuleDocument} doc
 * @param {Iterable<string>} ids
 * @returns {RuleElement[]} the elements changed
 */
export function alignRowFieldsTop(doc, ids) {
  const wanted = new Set(ids);
  const changed = doc.elements().filter((el) => wanted.has(el.get('id') ?? '') && el.kind !== 'image'
    && el.kind !== 'barcode' && alignmentNames[textToAlign(el.get('vertAlign') ?? '')] !== 'otaTop');
  for (const el of changed) el.set('vertAlign', 'otaTop');
  return changed;
}

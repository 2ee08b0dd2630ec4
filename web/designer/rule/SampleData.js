// Sample data for a rule, in the shape the engine reads: the body, a wrapping element, the
// record with one leaf per field, and a rows element holding one element per row.
import { childItems, propertiesOf, rootChildItems } from './ItemTree.js';
import { escapeAttribute, escapeText, isXmlName, parseXml } from './XmlSource.js';
import { fieldIds, rowFieldIds } from './Rows.js';
import { t } from '../i18n/i18n.js';

/**
 * @typedef {{name: string, value: string}} DataField
 * @typedef {{fields: DataField[], rows: DataField[][]}} DataTable
 * @typedef {import('./RuleDocument.js').RuleDocument} RuleDocument
 */

/** More rows than any form holds. */
export const maxRows = 1000;

// Barcodes of these symbologies take digits only, so many (their check digit is added).
const digitSamples = { ean13: '690123456789', ean8: '6901234', upca: '01234567890', itf14: '1234567890123' };

/** A value that prints for the field: its id (with the row number in a row), or a code. */
function sampleValue(/** @type {RuleDocument} */ doc, /** @type {string} */ id, /** @type {number} */ row) {
  const bound = doc.elements().filter((e) => e.get('id') === id);
  const el = bound.find((e) => e.get('index') === String(row)) ?? bound[0];
  if (el?.kind === 'image') return '';
  if (el?.kind === 'barcode') {
    const symbology = (el.get('symbology') ?? '').toLowerCase();
    if (digitSamples[symbology]) return digitSamples[symbology];
    if (symbology === 'code39') return id.toUpperCase().replace(/[^0-9A-Z]/g, '') || 'CODE39';
  }
  return row < 0 ? id : `${id} ${row + 1}`;
}

/**
 * A data document for a rule: its document fields once, its row fields in `rows` rows. Which
 * fields are row fields is `rowFieldIds(doc, markedIds)`.
 * @param {RuleDocument} doc
 * @param {{rows?: number, markedIds?: Iterable<string>}} [options] rows: default 3
 */
export function sampleDataFor(doc, { rows = 3, markedIds = [] } = {}) {
  if (!Number.isInteger(rows) || rows < 0 || rows > maxRows) throw new RangeError(t('refused.rows', { max: maxRows }));
  const rowIds = rowFieldIds(doc, markedIds);
  const documentIds = fieldIds(doc).filter((id) => !rowIds.includes(id));
  return buildData({
    fields: documentIds.map((name) => ({ name, value: sampleValue(doc, name, -1) })),
    rows: rowIds.length === 0 ? [] : Array.from({ length: rows }, (_, row) =>
      rowIds.map((name) => ({ name, value: sampleValue(doc, name, row) }))),
  });
}

/**
 * The fields and rows of a data document, read as the engine reads them (the data item two
 * item levels below the root item, its rows the child items of its first child item).
 * @param {string} text
 * @returns {DataTable & {found: boolean}} found: whether the engine finds a data item at all
 * @throws {import('./RuleSyntaxError.js').RuleSyntaxError}
 */
export function parseData(text) {
  const xml = parseXml(text);
  const wrapper = rootChildItems(xml)[0];
  const record = wrapper ? childItems(wrapper)[0] : undefined;
  if (!record) return { fields: [], rows: [], found: false };
  const pair = ({ name, value }) => ({ name, value });
  const rowsElement = childItems(record)[0];
  return {
    fields: propertiesOf(record).map(pair),
    rows: rowsElement ? childItems(rowsElement).map((row) => propertiesOf(row).map(pair)) : [],
    found: true,
  };
}

/** One field as a leaf element; a name that is no XML name goes into a "prop" element. */
function leaf(/** @type {DataField} */ { name, value }) {
  const text = escapeText(String(value ?? ''));
  if (isXmlName(name) && name !== 'prop') return text === '' ? `<${name}/>` : `<${name}>${text}</${name}>`;
  return `<prop name="${escapeAttribute(name)}">${text}</prop>`;
}

/**
 * A data document from fields and rows. Rows without fields are left out (they would not be
 * rows to the engine), and a record with nothing in it gets an empty "fphm", without which the
 * engine would find no record and print nothing.
 * @param {DataTable} table
 */
export function buildData({ fields = [], rows = [] }) {
  const lines = fields.map((f) => `        ${leaf(f)}`);
  const filled = rows.filter((row) => row.length > 0);
  if (filled.length > 0) {
    lines.push('        <rows>', ...filled.map((row) => `          <row>${row.map(leaf).join('')}</row>`), '        </rows>');
  }
  if (lines.length === 0) lines.push('        <fphm/>');
  return [
    '<?xml version="1.0" encoding="UTF-8"?>', '<data>', '  <body>', '    <data>', '      <record>',
    ...lines, '      </record>', '    </data>', '  </body>', '</data>', '',
  ].join('\n');
}

// Rows that continue on the next sheet: the two page keys that let the rows a sheet cannot hold
// go on to further sheets, and the field ids the engine fills with the sheet's number and count.
import { readInteger } from './ValueSyntax.js';
import { t } from '../i18n/i18n.js';

/** @typedef {import('./RuleDocument.js').RuleDocument} RuleDocument */

/** The ids of the fields that show the sheet's number and how many sheets there are. */
export const pageNumberId = 'pageNumber';
export const pageCountId = 'pageCount';

/** A key's value as the engine reads it: a whole number above 0, else null (the key is off). */
function positive(/** @type {RuleDocument} */ doc, /** @type {string} */ key) {
  const value = readInteger(doc.setting(key));
  return value !== null && value > 0 ? value : null;
}

/**
 * How rows continue: the form's row slots (indexed rows) and the lowest rule pixel the text of
 * automatic rows may reach; null where the rule does not say.
 * @param {RuleDocument} doc
 * @returns {{slots: number|null, bottom: number|null}}
 */
export function continuingRows(doc) {
  return { slots: positive(doc, 'repeatableRowsPerPage'), bottom: positive(doc, 'repeatableRowBottom') };
}

/**
 * Sets both keys; null takes a key out, so the rule prints as one sheet again when both are.
 * @param {RuleDocument} doc
 * @param {{slots: number|null, bottom: number|null}} rows
 */
export function setContinuingRows(doc, { slots, bottom }) {
  for (const value of [slots, bottom]) {
    if (value !== null && (!Number.isInteger(value) || value < 1 || value > 0x7fffffff)) {
      throw new RangeError(t('refused.continuing'));
    }
  }
  doc.setSetting('repeatableRowsPerPage', slots === null ? null : String(slots));
  doc.setSetting('repeatableRowBottom', bottom === null ? null : String(bottom));
}

// The attributes a newly drawn element starts with: the keys the engine reads for its kind,
// set to what most forms use, so that the first preview already shows something sensible.
import { t } from '../i18n/i18n.js';

/** @typedef {{left: number, top: number, right: number, bottom: number}} Box */

const defaultTextStyle = {
  horzAlign: 'otaLeft', vertAlign: 'otaMiddle', fontName: '宋体', fontSize: '10', fontColor: 'clBlack', wordBreak: 'false',
};

/**
 * @param {'text'|'field'|'line'|'rectangle'|'image'|'barcode'} kind
 * @param {Box} box rule pixels
 * @param {string[]} usedIds the field ids the rule has already
 * @param {Record<string, string>} [style] the user's font and size for new text
 * @returns {{attrs: Record<string, string>, text: string}}
 */
export function elementDefaults(kind, box, usedIds, style = {}) {
  const place = { left: `${box.left}`, top: `${box.top}`, right: `${box.right}`, bottom: `${box.bottom}` };
  const textStyle = { ...defaultTextStyle, ...style };
  switch (kind) {
    case 'text':
      return { attrs: { type: 'text', ...place, ...textStyle }, text: t('element.defaultLabel') };
    case 'field':
      return { attrs: { type: 'field', id: freshId(usedIds), index: '0', ...place, ...textStyle }, text: '' };
    case 'line':
      return {
        attrs: { type: 'line', fromx: place.left, fromy: place.top, tox: place.right, toy: place.bottom, size: '1', color: 'clBlack' },
        text: '',
      };
    case 'rectangle':
      return { attrs: { type: 'rectangle', ...place, size: '1', color: 'clBlack' }, text: '' };
    case 'image':
      return { attrs: { type: 'image', ...place, horzAlign: 'otaCenter', vertAlign: 'otaMiddle' }, text: '' };
    case 'barcode':
      // Bound to a data field, as a QR code of an invoice's number and amount usually is.
      return {
        attrs: { type: 'barcode', id: freshId(usedIds), index: '0', symbology: 'qrcode', ...place, horzAlign: 'otaLeft', vertAlign: 'otaTop' },
        text: '',
      };
    default:
      throw new Error(`Unknown element kind: ${kind}`);
  }
}

/** The size of an element placed by a click rather than a drag, in rule pixels. */
export function clickedBox(kind, x, y) {
  if (kind === 'line') return { left: x, top: y, right: x + 100, bottom: y };
  // A symbol needs room for its modules; a one-line box would not hold a QR code.
  if (kind === 'barcode') return { left: x, top: y, right: x + 96, bottom: y + 96 };
  return { left: x, top: y, right: x + 120, bottom: y + 20 };
}

function freshId(usedIds) {
  for (let n = 1; ; ++n) {
    if (!usedIds.includes(`field${n}`)) return `field${n}`;
  }
}

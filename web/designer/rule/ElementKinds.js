// The element kinds the designer makes, with the element name and "type" each is written
// with and the order of its usual keys (the order the sample rules use).

/** @typedef {'text'|'field'|'line'|'rectangle'|'image'|'barcode'} ElementKind */

/** @type {ReadonlyArray<ElementKind>} */
export const elementKinds = Object.freeze(['text', 'field', 'line', 'rectangle', 'image', 'barcode']);

/** The element name a new element of each kind gets. */
export const tagNames = Object.freeze({
  text: 'label', field: 'field', line: 'line', rectangle: 'frame', image: 'image', barcode: 'code',
});

const box = ['left', 'top', 'right', 'bottom'];
const align = ['horzAlign', 'vertAlign'];
const font = ['fontName', 'fontSize', 'fontColor', 'wordBreak'];
const bound = ['id', 'index'];

/** The attribute names of each kind in their usual order ("type" first). */
export const keyOrder = Object.freeze({
  text: ['type', ...box, ...align, ...font],
  field: ['type', ...bound, ...box, ...align, ...font],
  line: ['type', 'fromx', 'fromy', 'tox', 'toy', 'size', 'color'],
  rectangle: ['type', ...box, 'size', 'color'],
  image: ['type', ...bound, ...box, ...align],
  barcode: ['type', ...bound, 'symbology', ...box, ...align, 'moduleSize', 'quietZone',
    'humanReadable', 'eccLevel', 'color', 'fontName', 'fontSize'],
  other: ['type', ...bound, ...box, ...align, ...font],
});

/**
 * The kind of an element from its "type", compared exactly as the engine compares it.
 * @param {string|null} type
 * @returns {ElementKind|'other'}
 */
export function kindOfType(type) {
  return elementKinds.includes(/** @type {ElementKind} */ (type)) ? /** @type {ElementKind} */ (type) : 'other';
}

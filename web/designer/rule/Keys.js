// The keys the engine reads: the page settings of `printing` and the keys of each element
// kind, with their value types, units and what the engine uses when a value is absent or bad.
import { alignmentNames } from './ValueSyntax.js';
import { colourNames } from './ColourNames.js';

export { describeValue } from './ValueDescription.js';
export { alignmentNames, colourNames };

/**
 * @typedef {'integer'|'real'|'boolean'|'text'|'colour'|'strictColour'|'alignment'|'font'} KeyType
 * @typedef {{name: string, type: KeyType, unit?: string, defaultText: string,
 *   choices?: ReadonlyArray<string>, strictChoices?: boolean, min?: number}} KeyInfo
 *   defaultText: in words, what the engine uses when the key is absent or does not read;
 *   choices: the values worth offering; strictChoices: any other text falls back;
 *   min: the least value the engine can work with.
 */

/** The Windows font names the engine maps onto installed fonts of the same metrics. */
export const fontNames = Object.freeze([
  '宋体', 'SimSun', '新宋体', 'NSimSun', '黑体', 'SimHei', '楷体', 'KaiTi', '微软雅黑',
  'Microsoft YaHei', 'Arial', 'Times New Roman', 'Courier New',
]);

/** The symbologies of the barcode element, linear first. */
export const symbologyNames = Object.freeze([
  'code128', 'ean13', 'ean8', 'upca', 'code39', 'itf14', 'qrcode', 'datamatrix', 'pdf417',
]);

/** The element types the engine draws by itself; any other type only receives data. */
export const typeNames = Object.freeze(['text', 'field', 'line', 'rectangle', 'image', 'barcode']);

const booleans = Object.freeze(['true', 'false']);

/** @returns {KeyInfo} */
const key = (name, type, defaultText, extra = {}) => Object.freeze({ name, type, defaultText, ...extra });
const mm = { unit: 'mm' };
const rulePx = { unit: 'rule px' };

/** The page settings, in the order the engine reads them. @type {ReadonlyArray<KeyInfo>} */
export const pageKeys = Object.freeze([
  key('pageWidth', 'real', '0 mm', mm),
  key('pageHeight', 'real', '0 mm', mm),
  key('repeatableRowAutoHeightAndTop', 'boolean', 'false (rows are indexed)', { choices: booleans }),
  key('repeatableRowSpace', 'real', '0 mm', mm),
  key('dpix', 'integer', '96', { unit: 'dpi', min: 1 }),
  key('dpiy', 'integer', '96', { unit: 'dpi', min: 1 }),
  key('offsetLeft', 'real', '0 mm', mm),
  key('offsetTop', 'real', '0 mm', mm),
  key('customOffsetLeft', 'real', '0 mm', mm),
  key('customOffsetTop', 'real', '0 mm', mm),
  key('textPaddingHorz', 'real', '1.5'),
  key('textPaddingVert', 'real', '1.5'),
  key('width', 'integer', '0, so the page width in millimetres', rulePx),
  key('height', 'integer', '0, so the page height in millimetres', rulePx),
  key('landscape', 'boolean', 'false (portrait)', { choices: booleans }),
  key('bgImage', 'text', 'none'),
  key('pageAsPaper', 'boolean', 'false (a CUPS job prints on the queue\'s paper)', { choices: booleans }),
  key('repeatableRowsPerPage', 'integer', '0 (rows do not continue on a next sheet)', { min: 0 }),
  key('repeatableRowBottom', 'integer', '0 (automatic rows do not continue)', rulePx),
]);

const type = key('type', 'text', 'none (the element only receives data)', { choices: typeNames });
const id = key('id', 'text', 'none (no field is bound)');
const index = key('index', 'text', 'none (matches no row while rows are indexed)');
const box = ['left', 'top', 'right', 'bottom'].map((n) => key(n, 'integer', '0', rulePx));
const ends = ['fromx', 'fromy', 'tox', 'toy'].map((n) => key(n, 'integer', '0', rulePx));
const size = key('size', 'integer', '0 (the thinnest pen)', { unit: 'device px' });
const color = key('color', 'strictColour', 'none: the engine stops the page at this element', { choices: colourNames });
const align = [
  key('horzAlign', 'alignment', 'no alignment, so centred', { choices: alignmentNames }),
  key('vertAlign', 'alignment', 'no alignment, so in the middle', { choices: alignmentNames }),
];
const fontName = key('fontName', 'font', 'the font of the text drawn before', { choices: fontNames });
const fontSize = key('fontSize', 'integer', '0, so the size of the text drawn before stays', { unit: 'pt' });
const font = [
  fontName,
  fontSize,
  key('fontColor', 'colour', 'the window-text colour (black)', { choices: colourNames }),
  key('wordBreak', 'boolean', 'true (the text wraps)', { choices: booleans }),
];

/** The keys of each element kind, in their usual order. @type {Readonly<Record<string, ReadonlyArray<KeyInfo>>>} */
export const elementKeys = Object.freeze({
  text: Object.freeze([type, ...box, ...align, ...font]),
  field: Object.freeze([type, id, index, ...box, ...align, ...font]),
  line: Object.freeze([type, ...ends, size, color]),
  rectangle: Object.freeze([type, ...box, size, color]),
  image: Object.freeze([type, id, index, ...box, ...align]),
  barcode: Object.freeze([
    type, id, index,
    key('symbology', 'text', 'code128', { choices: symbologyNames, strictChoices: true }),
    ...box, ...align,
    key('moduleSize', 'integer', '0 (the largest module that fits the box)', { unit: 'device px' }),
    key('quietZone', 'boolean', 'true', { choices: booleans }),
    key('humanReadable', 'boolean', 'true for linear codes, false for 2D codes', { choices: booleans }),
    key('eccLevel', 'text', 'M', { choices: Object.freeze(['L', 'M', 'Q', 'H']), strictChoices: true }),
    key('color', 'colour', 'black (clBlack)', { choices: colourNames }),
    fontName, fontSize,
  ]),
  // Elements of any other type draw the data bound to them as text.
  other: Object.freeze([type, id, index, ...box, ...align, ...font]),
});

/**
 * The key of that name (letter case ignored) among a kind's keys, or null.
 * @param {string} kind an element kind, or 'page' for the page settings
 * @param {string} name
 * @returns {KeyInfo|null}
 */
export function keyInfoFor(kind, name) {
  const keys = kind === 'page' ? pageKeys : elementKeys[kind] ?? elementKeys.other;
  return keys.find((k) => k.name.toLowerCase() === name.toLowerCase()) ?? null;
}

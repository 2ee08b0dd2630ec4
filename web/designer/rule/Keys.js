// The keys the engine reads: the page settings of `printing` and the keys of each element
// kind, with their value types, units and what the engine uses when a value is absent or bad.
import { alignmentNames } from './ValueSyntax.js';
import { colourNames } from './ColourNames.js';
import { t } from '../i18n/i18n.js';

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

/**
 * A key; its defaultText is a catalog key (or a value such as '96', said as it is), read in
 * the language of the moment each time it is shown.
 * @returns {KeyInfo}
 */
const key = (name, type, defaultText, extra = {}) => Object.freeze({
  name, type, ...extra, get defaultText() { return defaultText.startsWith('default.') ? t(defaultText) : defaultText; },
});
const mm = { unit: 'mm' };
const rulePx = { unit: 'rule px' };

/** The page settings, in the order the engine reads them. @type {ReadonlyArray<KeyInfo>} */
export const pageKeys = Object.freeze([
  key('pageWidth', 'real', 'default.0mm', mm),
  key('pageHeight', 'real', 'default.0mm', mm),
  key('repeatableRowAutoHeightAndTop', 'boolean', 'default.rowsIndexed', { choices: booleans }),
  key('repeatableRowSpace', 'real', 'default.0mm', mm),
  key('dpix', 'integer', '96', { unit: 'dpi', min: 1 }),
  key('dpiy', 'integer', '96', { unit: 'dpi', min: 1 }),
  key('offsetLeft', 'real', 'default.0mm', mm),
  key('offsetTop', 'real', 'default.0mm', mm),
  key('customOffsetLeft', 'real', 'default.0mm', mm),
  key('customOffsetTop', 'real', 'default.0mm', mm),
  key('textPaddingHorz', 'real', '1.5'),
  key('textPaddingVert', 'real', '1.5'),
  key('width', 'integer', 'default.pageWidth', rulePx),
  key('height', 'integer', 'default.pageHeight', rulePx),
  key('landscape', 'boolean', 'default.portrait', { choices: booleans }),
  key('bgImage', 'text', 'default.none'),
  key('pageAsPaper', 'boolean', 'default.pageAsPaper', { choices: booleans }),
  key('repeatableRowsPerPage', 'integer', 'default.rowsPerPage', { min: 0 }),
  key('repeatableRowBottom', 'integer', 'default.rowBottom', rulePx),
]);

const type = key('type', 'text', 'default.type', { choices: typeNames });
const id = key('id', 'text', 'default.id');
const index = key('index', 'text', 'default.index');
const box = ['left', 'top', 'right', 'bottom'].map((n) => key(n, 'integer', '0', rulePx));
const ends = ['fromx', 'fromy', 'tox', 'toy'].map((n) => key(n, 'integer', '0', rulePx));
const size = key('size', 'integer', 'default.size', { unit: 'device px' });
const color = key('color', 'strictColour', 'default.color', { choices: colourNames });
const align = [
  key('horzAlign', 'alignment', 'default.horzAlign', { choices: alignmentNames }),
  key('vertAlign', 'alignment', 'default.vertAlign', { choices: alignmentNames }),
];
const fontName = key('fontName', 'font', 'default.fontName', { choices: fontNames });
const fontSize = key('fontSize', 'integer', 'default.fontSize', { unit: 'pt' });
const font = [
  fontName,
  fontSize,
  key('fontColor', 'colour', 'default.fontColor', { choices: colourNames }),
  key('wordBreak', 'boolean', 'default.wordBreak', { choices: booleans }),
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
    key('moduleSize', 'integer', 'default.moduleSize', { unit: 'device px' }),
    key('quietZone', 'boolean', 'true', { choices: booleans }),
    key('humanReadable', 'boolean', 'default.humanReadable', { choices: booleans }),
    key('eccLevel', 'text', 'M', { choices: Object.freeze(['L', 'M', 'Q', 'H']), strictChoices: true }),
    key('color', 'colour', 'default.barcodeColor', { choices: colourNames }),
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

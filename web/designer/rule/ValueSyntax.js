// The engine's readers of attribute values, so that the designer can tell what a value means
// and when the engine falls back to a key's default.
import { colourNames, colourValues, systemColourRgb } from './ColourNames.js';

/** @param {string} a @param {string} b */
export function equalsIgnoringAsciiCase(a, b) {
  if (a.length !== b.length) return false;
  const fold = (/** @type {string} */ s) => s.replace(/[A-Z]/g, (c) => c.toLowerCase());
  return fold(a) === fold(b);
}

/** @param {string} text */
export function isBlank(text) {
  return [...text].every((c) => c.charCodeAt(0) <= 32);
}

/**
 * A 32-bit integer: optional leading blanks, an optional sign, then decimal digits or
 * hexadecimal digits after "$", "x" or "0x"; the whole text used. Hexadecimal covers 32 bits
 * (so $FFFFFFFF is -1), decimal the signed range.
 * @param {string|null|undefined} text
 * @returns {number|null} null when the text does not read
 */
export function readInteger(text) {
  if (typeof text !== 'string') return null;
  const m = /^ *([+-]?)(?:(\$|0x|x)([0-9a-f]+)|([0-9]+))$/i.exec(text);
  if (!m) return null;
  const negative = m[1] === '-';
  const hex = m[3] !== undefined;
  // Leading zeros never overflow; more digits than 32 bits need never read.
  const digits = (m[3] ?? m[4]).replace(/^0+(?=.)/, '');
  if (digits.length > 10) return null;
  const limit = hex ? 0xffffffffn : negative ? 0x80000000n : 0x7fffffffn;
  const magnitude = BigInt((hex ? '0x' : '') + digits);
  if (magnitude > limit) return null;
  const bits = Number(magnitude) >>> 0;
  return negative ? (-bits | 0) : bits | 0;
}

/**
 * A decimal number with "." as the point: sign, fraction and exponent allowed, blanks around
 * it; no "inf", "nan" or hexadecimal.
 * @param {string|null|undefined} text
 * @returns {number|null}
 */
export function readReal(text) {
  if (typeof text !== 'string') return null;
  const m = /^ *([+-]?(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][+-]?[0-9]+)?) *$/.exec(text);
  if (!m) return null;
  const value = Number(m[1].replace(/^\+/, ''));
  // Out of range either way (overflow, or a non-zero number that underflows) does not read.
  if (!Number.isFinite(value)) return null;
  if (Math.abs(value) < 2.2250738585072014e-308 && /[1-9]/.test(m[1].split(/[eE]/)[0])) return null;
  return value;
}

/**
 * A number (zero false, else true) or the words True and False in any letter case.
 * @param {string|null|undefined} text
 * @returns {boolean|null}
 */
export function readBoolean(text) {
  if (typeof text !== 'string') return null;
  const integer = readInteger(text);
  if (integer !== null) return integer !== 0;
  const real = readReal(text);
  if (real !== null) return real !== 0;
  if (equalsIgnoringAsciiCase(text, 'True')) return true;
  if (equalsIgnoringAsciiCase(text, 'False')) return false;
  return null;
}

/** The alignment names, 0 to 6. */
export const alignmentNames = Object.freeze([
  'otaAuto', 'otaLeft', 'otaCenter', 'otaRight', 'otaTop', 'otaMiddle', 'otaBottom',
]);

/**
 * The alignment value of a name (ASCII letter case ignored, the whole text); 255 for any
 * other text, which the engine draws centred or in the middle.
 * @param {string|null|undefined} text
 */
export function textToAlign(text) {
  if (typeof text !== 'string') return 255;
  const index = alignmentNames.findIndex((name) => equalsIgnoringAsciiCase(name, text));
  return index === -1 ? 255 : index;
}

/**
 * The colour of a text read strictly, as lines and rectangles read it: a colour name (letter
 * case ignored) or an integer; no trimming, no default.
 * @param {string|null|undefined} text
 * @returns {number|null} the unsigned 32-bit value 00BBGGRR (or FF0000nn, a system colour)
 */
export function textToColor(text) {
  if (typeof text !== 'string') return null;
  const index = colourNames.findIndex((name) => equalsIgnoringAsciiCase(name, text));
  if (index !== -1) return colourValues[index];
  const integer = readInteger(text);
  return integer === null ? null : integer >>> 0;
}

/**
 * The colour a text paints on the page as CSS, the way the engine's canvas resolves it:
 * system colours by their classic defaults, clNone and clDefault black.
 * @param {string|null|undefined} text
 * @returns {string|null} '#rrggbb', or null when the text is no colour
 */
export function colourToCss(text) {
  const value = textToColor(text);
  if (value === null) return null;
  let rgb;
  if ((value & 0xff000000) >>> 0 === 0xff000000) rgb = systemColourRgb[value & 0xff] ?? 0;
  else if ((value & 0xff000000) !== 0) rgb = 0;
  else rgb = ((value & 0xff) << 16) | (value & 0xff00) | ((value >>> 16) & 0xff);
  return '#' + rgb.toString(16).padStart(6, '0');
}

/**
 * A colour value as the rule writes it, $00BBGGRR.
 * @param {number} value
 */
export function colourText(value) {
  return '$' + (value >>> 0).toString(16).toUpperCase().padStart(8, '0');
}

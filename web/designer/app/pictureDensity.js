// The pixel density a picture file says it has (a PNG's pHYs chunk, a JPEG's JFIF or Exif
// resolution), and a PNG file given a density of its own. The preview dialog draws a picture's
// pixels as screen pixels, at 96 dpi, whatever density it says.
import { t } from '../i18n/i18n.js';

/** The screen's density, at which the preview dialog draws pictures. */
export const screenDpi = 96;

/** @typedef {{dpiX: number, dpiY: number}} Density */

const pngSignature = [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a];

/** @param {Uint8Array} b @param {number} at */
const word = (b, at) => ((b[at] << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3]) >>> 0;
/** @param {Uint8Array} b @param {number} at */
const half = (b, at) => (b[at] << 8) | b[at + 1];
const ascii = (/** @type {Uint8Array} */ b, /** @type {number} */ at, /** @type {number} */ n) =>
  String.fromCharCode(...b.subarray(at, at + n));

/** @param {Uint8Array} bytes */
function isPng(bytes) {
  return pngSignature.every((v, i) => bytes[i] === v);
}

/** @param {Uint8Array} png @returns {Density|null} */
function pngDensity(png) {
  for (let at = 8; at + 8 <= png.length;) {
    const length = word(png, at);
    const type = ascii(png, at + 4, 4);
    if (type === 'IDAT' || type === 'IEND') break;
    if (type === 'pHYs' && length === 9 && at + 17 <= png.length) {
      // Unit 1 is the metre; unit 0 gives only the pixels' aspect.
      return png[at + 16] === 1 ? { dpiX: word(png, at + 8) * 0.0254, dpiY: word(png, at + 12) * 0.0254 } : null;
    }
    at += 12 + length;
  }
  return null;
}

/** The resolution of an Exif block's first IFD. @param {Uint8Array} tiff @returns {Density|null} */
function exifDensity(tiff) {
  if (tiff.length < 8) return null;
  const little = tiff[0] === 0x49 && tiff[1] === 0x49;
  if (!little && !(tiff[0] === 0x4d && tiff[1] === 0x4d)) return null;
  const number = (at, count) => {
    if (at + count > tiff.length) return null;
    let value = 0;
    for (let i = 0; i < count; i += 1) value = value * 256 + tiff[at + (little ? count - 1 - i : i)];
    return value;
  };
  const ifd = number(4, 4);
  const entries = ifd === null ? null : number(ifd, 2);
  if (entries === null) return null;
  let x = 0;
  let y = 0;
  let unit = 2; // inches unless said otherwise
  for (let i = 0; i < entries && i < 512; i += 1) {
    const entry = ifd + 2 + i * 12;
    const tag = number(entry, 2);
    const value = number(entry + 8, 4);
    if (tag === null || value === null) break;
    if (tag === 0x0128) unit = number(entry + 8, 2);
    if (tag !== 0x011a && tag !== 0x011b) continue;
    const numerator = number(value, 4);
    const denominator = number(value + 4, 4);
    if (numerator === null || !denominator) continue;
    if (tag === 0x011a) x = numerator / denominator;
    else y = numerator / denominator;
  }
  if (!(x > 0 && y > 0) || (unit !== 2 && unit !== 3)) return null;
  const perInch = unit === 3 ? 2.54 : 1;
  return { dpiX: x * perInch, dpiY: y * perInch };
}

/** @param {Uint8Array} jpeg @returns {Density|null} */
function jpegDensity(jpeg) {
  let exif = null;
  for (let at = 2; at + 4 <= jpeg.length;) {
    if (jpeg[at] !== 0xff) break;
    const marker = jpeg[at + 1];
    if (marker === 0xda || marker === 0xd9) break; // the image data: no header follows
    const length = half(jpeg, at + 2);
    if (length < 2 || at + 2 + length > jpeg.length) break;
    const segment = jpeg.subarray(at + 4, at + 2 + length);
    if (marker === 0xe0 && segment.length >= 12 && ascii(segment, 0, 5) === 'JFIF\0') {
      const units = segment[7];
      const x = half(segment, 8);
      const y = half(segment, 10);
      if ((units === 1 || units === 2) && x > 0 && y > 0) {
        const perInch = units === 2 ? 2.54 : 1;
        return { dpiX: x * perInch, dpiY: y * perInch };
      }
    }
    if (marker === 0xe1 && !exif && ascii(segment, 0, 6) === 'Exif\0\0') exif = exifDensity(segment.subarray(6));
    at += 2 + length;
  }
  return exif;
}

/**
 * The density a PNG or JPEG file says it has; null when it does not say.
 * @param {Uint8Array} bytes the file, or at least its first kilobytes
 * @returns {Density|null}
 */
export function densityOf(bytes) {
  if (isPng(bytes)) return pngDensity(bytes);
  if (bytes[0] === 0xff && bytes[1] === 0xd8) return jpegDensity(bytes);
  return null;
}

const crcTable = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k += 1) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});

/** @param {Uint8Array} bytes */
function crc32(bytes) {
  let c = 0xffffffff;
  for (const b of bytes) c = crcTable[(c ^ b) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

/**
 * The PNG file with a pHYs chunk saying `dpi` (any pHYs it had is replaced).
 * @param {Uint8Array} png
 * @param {number} dpi
 * @returns {Uint8Array}
 */
export function pngWithDensity(png, dpi) {
  if (!isPng(png) || ascii(png, 12, 4) !== 'IHDR') throw new RangeError(t('picture.notPng'));
  const perMetre = Math.round(dpi / 0.0254);
  const chunk = new Uint8Array(21);
  const view = new DataView(chunk.buffer);
  view.setUint32(0, 9);
  chunk.set([0x70, 0x48, 0x59, 0x73], 4); // "pHYs"
  view.setUint32(8, perMetre);
  view.setUint32(12, perMetre);
  chunk[16] = 1;
  view.setUint32(17, crc32(chunk.subarray(4, 17)));
  // After IHDR, dropping a pHYs of its own.
  const parts = [png.subarray(0, 8 + 25), chunk];
  for (let at = 8 + 25; at + 8 <= png.length;) {
    const end = at + 12 + word(png, at);
    if (ascii(png, at + 4, 4) !== 'pHYs') parts.push(png.subarray(at, end));
    at = end;
  }
  const out = new Uint8Array(parts.reduce((n, p) => n + p.length, 0));
  let at = 0;
  for (const p of parts) {
    out.set(p, at);
    at += p.length;
  }
  return out;
}

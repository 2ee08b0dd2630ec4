// Rule pixels and millimetres, and the layout operations on a selection of elements. Rule
// coordinates are whole pixels at the rule's dpix (horizontal) and dpiy (vertical).
import { readInteger } from './ValueSyntax.js';
import { t } from '../i18n/i18n.js';

/** @typedef {import('./RuleElement.js').RuleElement} RuleElement */

const mmPerInch = 25.4;

/** Rounds to the nearest integer, ties to even, as the engine's conversions do. */
export function roundHalfEven(/** @type {number} */ value) {
  const floor = Math.floor(value);
  const diff = value - floor;
  if (diff > 0.5) return floor + 1;
  if (diff < 0.5) return floor;
  return floor % 2 === 0 ? floor : floor + 1;
}

/**
 * The resolution a rule's coordinates are written at: dpix and dpiy, 96 where absent or not a
 * whole number (a resolution below 1, on which the engine fails, is also taken as 96 here).
 * @param {{setting(key: string): string|null}} doc
 */
export function resolutionOf(doc) {
  const read = (/** @type {string} */ key) => {
    const value = readInteger(doc.setting(key));
    return value !== null && value >= 1 ? value : 96;
  };
  return { dpix: read('dpix'), dpiy: read('dpiy') };
}

/**
 * @param {number|{setting(key: string): string|null}} dpiOrDoc a resolution, or a rule document
 * @param {'x'|'y'} axis which of the document's resolutions
 */
function dpiOf(dpiOrDoc, axis) {
  if (typeof dpiOrDoc === 'number') return dpiOrDoc;
  const { dpix, dpiy } = resolutionOf(dpiOrDoc);
  return axis === 'y' ? dpiy : dpix;
}

/**
 * Rule pixels to millimetres.
 * @param {number} value
 * @param {number|{setting(key: string): string|null}} [dpiOrDoc] default 96
 * @param {'x'|'y'} [axis] x reads dpix, y dpiy
 */
export function ruleToMm(value, dpiOrDoc = 96, axis = 'x') {
  return (value / dpiOf(dpiOrDoc, axis)) * mmPerInch;
}

/**
 * Millimetres to whole rule pixels.
 * @param {number} mm
 * @param {number|{setting(key: string): string|null}} [dpiOrDoc] default 96
 * @param {'x'|'y'} [axis]
 */
export function mmToRule(mm, dpiOrDoc = 96, axis = 'x') {
  return roundHalfEven((mm * dpiOf(dpiOrDoc, axis)) / mmPerInch);
}

/** The nearest multiple of the grid; the value itself without a grid (0, negative or none). */
export function snap(/** @type {number} */ value, /** @type {number} */ grid) {
  if (!(grid > 0)) return value;
  return Math.round(value / grid) * grid;
}

/** An element's box with left ≤ right and top ≤ bottom (a line's ends sorted). */
export function boxOf(/** @type {RuleElement} */ el) {
  const b = el.bounds();
  return {
    left: Math.min(b.left, b.right), top: Math.min(b.top, b.bottom),
    right: Math.max(b.left, b.right), bottom: Math.max(b.top, b.bottom),
  };
}

/**
 * Moves elements by whole rule pixels, keeping their size.
 * @param {RuleElement[]} elements
 * @param {number} dx
 * @param {number} dy
 */
export function moveBy(elements, dx, dy) {
  const x = Math.round(dx);
  const y = Math.round(dy);
  if (x === 0 && y === 0) return;
  for (const el of elements) {
    const b = el.bounds();
    el.setBounds({ left: b.left + x, top: b.top + y, right: b.right + x, bottom: b.bottom + y });
  }
}

/** The box around all the elements. */
function unionOf(/** @type {RuleElement[]} */ elements) {
  const boxes = elements.map(boxOf);
  return {
    left: Math.min(...boxes.map((b) => b.left)), top: Math.min(...boxes.map((b) => b.top)),
    right: Math.max(...boxes.map((b) => b.right)), bottom: Math.max(...boxes.map((b) => b.bottom)),
  };
}

/**
 * Aligns the elements on the box around them: their left, right, top or bottom edges, or
 * their horizontal centres ('centre') or vertical middles ('middle'). Sizes stay.
 * @param {RuleElement[]} elements
 * @param {'left'|'right'|'top'|'bottom'|'centre'|'middle'} edge
 */
export function align(elements, edge) {
  if (elements.length < 2) return;
  const all = unionOf(elements);
  for (const el of elements) {
    const b = boxOf(el);
    switch (edge) {
      case 'left': moveBy([el], all.left - b.left, 0); break;
      case 'right': moveBy([el], all.right - b.right, 0); break;
      case 'top': moveBy([el], 0, all.top - b.top); break;
      case 'bottom': moveBy([el], 0, all.bottom - b.bottom); break;
      case 'centre': moveBy([el], Math.round((all.left + all.right - b.left - b.right) / 2), 0); break;
      case 'middle': moveBy([el], 0, Math.round((all.top + all.bottom - b.top - b.bottom) / 2)); break;
      default: throw new RangeError(t('refused.alignment', { edge }));
    }
  }
}

/**
 * Spaces three or more elements evenly between the first and the last (in position order):
 * equal gaps between neighbouring boxes, the outer two staying where they are.
 * @param {RuleElement[]} elements
 * @param {'horizontal'|'vertical'} direction
 */
export function distribute(elements, direction) {
  if (direction !== 'horizontal' && direction !== 'vertical') throw new RangeError(t('refused.direction', { direction }));
  if (elements.length < 3) return;
  const [low, high] = direction === 'horizontal' ? ['left', 'right'] : ['top', 'bottom'];
  const placed = elements.map((el) => ({ el, box: boxOf(el) })).sort((a, b) => a.box[low] - b.box[low]);
  const first = placed[0].box;
  const last = placed[placed.length - 1].box;
  const sizes = placed.reduce((sum, p) => sum + p.box[high] - p.box[low], 0);
  const gap = (last[high] - first[low] - sizes) / (placed.length - 1);
  let at = first[low];
  placed.forEach((p, i) => {
    if (i > 0 && i < placed.length - 1) {
      const shift = Math.round(at) - p.box[low];
      moveBy([p.el], direction === 'horizontal' ? shift : 0, direction === 'vertical' ? shift : 0);
    }
    at += p.box[high] - p.box[low] + gap;
  });
}

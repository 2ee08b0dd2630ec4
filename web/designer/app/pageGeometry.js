// The page as the stage draws it: its size in millimetres as the engine reads it, and the
// scale from rule pixels to screen pixels at a zoom (96 screen pixels to the inch at 100%).
import { readInteger, readReal } from '../rule/ValueSyntax.js';

/** @typedef {import('../rule/RuleDocument.js').RuleDocument} RuleDocument */

/**
 * @param {RuleDocument} doc
 * @returns {{widthMm: number, heightMm: number, dpix: number, dpiy: number}}
 */
export function pageGeometry(doc) {
  const dpix = positive(readInteger(doc.setting('dpix')), 96);
  const dpiy = positive(readInteger(doc.setting('dpiy')), 96);
  // The engine takes "width"/"height" in rule pixels first, then the millimetres.
  const widthPx = readInteger(doc.setting('width')) ?? 0;
  const heightPx = readInteger(doc.setting('height')) ?? 0;
  const widthMm = widthPx > 0 ? (widthPx * 25.4) / dpix : readReal(doc.setting('pageWidth')) ?? 0;
  const heightMm = heightPx > 0 ? (heightPx * 25.4) / dpiy : readReal(doc.setting('pageHeight')) ?? 0;
  return { widthMm: positive(widthMm, 210), heightMm: positive(heightMm, 297), dpix, dpiy };
}

/**
 * Screen pixels per rule pixel.
 * @param {RuleDocument} doc
 * @param {number} zoom
 */
export function stageScale(doc, zoom) {
  const { dpix, dpiy } = pageGeometry(doc);
  return { x: (zoom * 96) / dpix, y: (zoom * 96) / dpiy };
}

/** The page's size on screen in CSS pixels. */
export function stageSize(doc, zoom) {
  const { widthMm, heightMm } = pageGeometry(doc);
  return { width: Math.round((widthMm / 25.4) * 96 * zoom), height: Math.round((heightMm / 25.4) * 96 * zoom) };
}

function positive(value, fallback) {
  return typeof value === 'number' && Number.isFinite(value) && value > 0 ? value : fallback;
}

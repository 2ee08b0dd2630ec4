// The calibration page: printed on the pre-printed paper, its millimetre grid and cross marks
// show how far the printer places the page from where the rule means it; the shift the user
// measures then goes into the rule's custom offsets.
import { RuleDocument } from './RuleDocument.js';
import { mmToRule, resolutionOf, ruleToMm } from './Geometry.js';
import { readInteger, readReal } from './ValueSyntax.js';
import { decimalText } from './Rows.js';
import { t } from '../i18n/i18n.js';

/** @typedef {import('./RuleDocument.js').RuleDocument} Doc */

/** The page settings the calibration page takes over, written as the rule writes them. */
const pageSettings = [
  'pageWidth', 'pageHeight', 'dpix', 'dpiy', 'offsetLeft', 'offsetTop', 'customOffsetLeft',
  'customOffsetTop', 'textPaddingHorz', 'textPaddingVert', 'width', 'height', 'landscape',
];

/** Where to measure, in the words of both the printed page and the designer's panel. */
export const measuringInstructions = () => t('calibration.measuring');

/** How far the cross marks stand from the page's corners, in millimetres. */
export const crossInsetMm = 20;

/** The page size in millimetres as the engine gets it: "width"/"height" first, else mm. */
export function pageSizeMm(/** @type {Doc} */ doc) {
  const { dpix, dpiy } = resolutionOf(doc);
  const side = (/** @type {string} */ px, /** @type {string} */ mm, dpi) => {
    const pixels = readInteger(doc.setting(px)) ?? 0;
    if (pixels > 0) return (pixels / dpi) * 25.4;
    const millimetres = readReal(doc.setting(mm)) ?? 0;
    return millimetres > 0 ? millimetres : null;
  };
  return { width: side('width', 'pageWidth', dpix) ?? 210, height: side('height', 'pageHeight', dpiy) ?? 297 };
}

/**
 * The cross marks of the calibration page: centres in rule pixels and in millimetres (of the
 * whole rule pixel they stand on, to 0.1 mm, as their labels say).
 * @param {Doc} doc
 */
export function crossMarks(doc) {
  const { width, height } = pageSizeMm(doc);
  const inset = Math.min(crossInsetMm, width / 4, height / 4);
  const places = [
    [inset, inset], [width - inset, inset], [inset, height - inset], [width - inset, height - inset],
    [width / 2, height / 2],
  ];
  return places.map(([xMm, yMm]) => {
    const x = mmToRule(xMm, doc, 'x');
    const y = mmToRule(yMm, doc, 'y');
    return { x, y, xMm: Math.round(ruleToMm(x, doc, 'x') * 10) / 10, yMm: Math.round(ruleToMm(y, doc, 'y') * 10) / 10 };
  });
}

/**
 * A rule for a calibration page with the same page settings: grey lines every 10 mm, each
 * labelled with its millimetres 1 mm clear of it, and black cross marks 20 mm in from each
 * corner and in the middle, each labelled with its position.
 * @param {Doc} doc
 * @returns {string}
 */
export function calibrationRule(doc) {
  const { width, height } = pageSizeMm(doc);
  const page = RuleDocument.blank({ pageWidth: decimalText(width), pageHeight: decimalText(height) });
  for (const key of pageSettings) page.setSetting(key, doc.setting(key));
  if (page.setting('pageWidth') === null) page.setSetting('pageWidth', decimalText(width));
  if (page.setting('pageHeight') === null) page.setSetting('pageHeight', decimalText(height));
  const x = (/** @type {number} */ mm) => String(mmToRule(mm, page, 'x'));
  const y = (/** @type {number} */ mm) => String(mmToRule(mm, page, 'y'));
  const label = (left, top, right, bottom, text, extra = {}) => page.addElement('text', {
    left: x(left), top: y(top), right: x(right), bottom: y(bottom), horzAlign: 'otaLeft', vertAlign: 'otaTop',
    fontName: 'Arial', fontSize: '6', fontColor: 'clGray', wordBreak: 'false', ...extra,
  }, text);

  for (let mm = 10; mm < width; mm += 10) {
    page.addElement('line', { fromx: x(mm), fromy: y(0), tox: x(mm), toy: y(height), size: '1', color: 'clSilver' });
    label(mm + 1, 5, mm + 9, 9, String(mm));
  }
  for (let mm = 10; mm < height; mm += 10) {
    page.addElement('line', { fromx: x(0), fromy: y(mm), tox: x(width), toy: y(mm), size: '1', color: 'clSilver' });
    label(4, mm + 1, 9, mm + 5, String(mm), { horzAlign: 'otaRight' });
  }
  const arm = 4;
  for (const mark of crossMarks(page)) {
    const cx = ruleToMm(mark.x, page, 'x');
    const cy = ruleToMm(mark.y, page, 'y');
    page.addElement('line', { fromx: x(cx - arm), fromy: String(mark.y), tox: x(cx + arm), toy: String(mark.y), size: '2', color: 'clBlack' });
    page.addElement('line', { fromx: String(mark.x), fromy: y(cy - arm), tox: String(mark.x), toy: y(cy + arm), size: '2', color: 'clBlack' });
    const onRight = cx > width / 2 + 1;
    const text = `${mark.xMm}, ${mark.yMm} mm`;
    if (onRight) label(cx - 30, cy + 1.5, cx - 1.5, cy + 5.5, text, { horzAlign: 'otaRight', fontSize: '7', fontColor: 'clBlack' });
    else label(cx + 1.5, cy + 1.5, cx + 30, cy + 5.5, text, { fontSize: '7', fontColor: 'clBlack' });
  }
  const note = t('calibration.pageNote', { instructions: measuringInstructions() });
  label(Math.min(12, width / 4), height / 2 + 7, Math.max(width - 12, width * 3 / 4), height / 2 + 17, note,
    { horzAlign: 'otaCenter', fontSize: '7', fontColor: 'clBlack', wordBreak: 'true' });
  return page.serialize();
}

/**
 * The correction for one axis from a measurement: where the cross should be less where it
 * printed (a cross printed 1.5 mm too far right needs -1.5).
 * @param {number} expectedMm
 * @param {number} printedMm
 */
export function shiftFromMeasurement(expectedMm, printedMm) {
  return expectedMm - printedMm;
}

/**
 * Adds a correction to the rule's custom offsets (millimetres, right and down positive): the
 * distance the printout must move, as `shiftFromMeasurement` gives it. A zero leaves its key
 * untouched; a value that did not read counts as 0, as the engine reads it.
 * @param {Doc} doc
 * @param {number} dxMm
 * @param {number} dyMm
 */
export function applyMeasuredShift(doc, dxMm, dyMm) {
  const add = (/** @type {string} */ key, /** @type {number} */ delta) => {
    if (!Number.isFinite(delta)) throw new RangeError(t('refused.shiftMm'));
    if (delta === 0) return;
    doc.setSetting(key, decimalText((readReal(doc.setting(key)) ?? 0) + delta));
  };
  add('customOffsetLeft', dxMm);
  add('customOffsetTop', dyMm);
}

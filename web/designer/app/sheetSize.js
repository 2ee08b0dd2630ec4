// The paper a print-page picture shows. The picture is the printer's whole sheet, so its
// millimetre width sets the scale at which it lies over the form. The answer gives it when the
// control says so; otherwise the sheet is known by its proportions among the usual papers (the
// A sizes share theirs, and A4 is the one a form printer holds).

/** Usual papers, width x height in millimetres, portrait. */
const PAPERS = [[210, 297], [215.9, 279.4], [215.9, 355.6], [241, 279.4], [182, 257], [176, 250]];

/**
 * @param {{width: number, height: number, widthMm?: number}} picture
 * @returns {number} the sheet's width in millimetres
 */
export function sheetWidthMm(picture) {
  if (typeof picture.widthMm === 'number' && picture.widthMm > 0) return picture.widthMm;
  const ratio = picture.height / picture.width;
  let best = PAPERS[0][0];
  let error = Infinity;
  for (const [w, h] of PAPERS) {
    for (const [across, down] of [[w, h], [h, w]]) {
      const miss = Math.abs(down / across - ratio);
      if (miss < error) {
        error = miss;
        best = across;
      }
    }
  }
  return best;
}

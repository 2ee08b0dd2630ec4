// The paper a print-page picture shows. The picture is the printer's whole sheet, so its
// millimetre width sets the scale at which it lies over the form. The control's PNG says its
// scale (pixels per metre, in its pHYs chunk); a picture without one is known by its proportions
// among the usual papers (the A sizes share theirs, and A4 is the one a form printer holds).

/** Usual papers, width x height in millimetres, portrait. */
const PAPERS = [[210, 297], [215.9, 279.4], [215.9, 355.6], [241, 279.4], [182, 257], [176, 250]];

/**
 * The pixels per metre a PNG file says it has, or 0 when it does not say.
 * @param {string} base64 the PNG file in Base64
 * @returns {number}
 */
export function pixelsPerMetre(base64) {
  // The chunks before the image data lie in the first few hundred bytes.
  const head = atob(base64.slice(0, 400).replace(/=+$/, '').slice(0, 396));
  const byte = (at) => head.charCodeAt(at);
  const word = (at) => ((byte(at) << 24) | (byte(at + 1) << 16) | (byte(at + 2) << 8) | byte(at + 3)) >>> 0;
  for (let at = 8; at + 8 <= head.length;) {
    const length = word(at);
    const type = head.slice(at + 4, at + 8);
    if (type === 'IDAT') break;
    if (type === 'pHYs' && length === 9 && at + 17 <= head.length) {
      const x = word(at + 8);
      return byte(at + 16) === 1 && x === word(at + 12) ? x : 0;
    }
    at += 12 + length;
  }
  return 0;
}

/**
 * @param {{png?: string, width: number, height: number, widthMm?: number}} picture
 * @returns {number} the sheet's width in millimetres
 */
export function sheetWidthMm(picture) {
  if (typeof picture.widthMm === 'number' && picture.widthMm > 0) return picture.widthMm;
  const perMetre = picture.png ? pixelsPerMetre(picture.png) : 0;
  if (perMetre > 0) return (picture.width / perMetre) * 1000;
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

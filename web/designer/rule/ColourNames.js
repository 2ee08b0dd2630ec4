// The engine's colour names with their values, and the classic defaults of the system colours.

const fixed = [
  ['clBlack', 0x000000], ['clMaroon', 0x000080], ['clGreen', 0x008000], ['clOlive', 0x008080],
  ['clNavy', 0x800000], ['clPurple', 0x800080], ['clTeal', 0x808000], ['clGray', 0x808080],
  ['clSilver', 0xc0c0c0], ['clRed', 0x0000ff], ['clLime', 0x00ff00], ['clYellow', 0x00ffff],
  ['clBlue', 0xff0000], ['clFuchsia', 0xff00ff], ['clAqua', 0xffff00], ['clWhite', 0xffffff],
  ['clMoneyGreen', 0xc0dcc0], ['clSkyBlue', 0xf0caa6], ['clCream', 0xf0fbff], ['clMedGray', 0xa4a0a0],
];

const system = [
  ['clScrollBar', 0], ['clBackground', 1], ['clActiveCaption', 2], ['clInactiveCaption', 3],
  ['clMenu', 4], ['clWindow', 5], ['clWindowFrame', 6], ['clMenuText', 7], ['clWindowText', 8],
  ['clCaptionText', 9], ['clActiveBorder', 10], ['clInactiveBorder', 11], ['clAppWorkSpace', 12],
  ['clHighlight', 13], ['clHighlightText', 14], ['clBtnFace', 15], ['clBtnShadow', 16],
  ['clGrayText', 17], ['clBtnText', 18], ['clInactiveCaptionText', 19], ['clBtnHighlight', 20],
  ['cl3DDkShadow', 21], ['cl3DLight', 22], ['clInfoText', 23], ['clInfoBk', 24], ['clHotLight', 26],
  ['clGradientActiveCaption', 27], ['clGradientInactiveCaption', 28], ['clMenuHighlight', 29],
  ['clMenuBar', 30],
];

const all = [
  ...fixed,
  ...system.map(([name, number]) => [name, (0xff000000 | number) >>> 0]),
  ['clNone', 0x1fffffff],
  ['clDefault', 0x20000000],
];

/** Every colour name the engine reads, fixed colours first. */
export const colourNames = Object.freeze(all.map(([name]) => /** @type {string} */ (name)));
/** The value of each name in `colourNames`, unsigned 32-bit. */
export const colourValues = Object.freeze(all.map(([, value]) => /** @type {number} */ (value)));
/** The fixed colours only: the names worth offering for paper. */
export const fixedColourNames = Object.freeze(fixed.map(([name]) => /** @type {string} */ (name)));

/** System colour number to 0xRRGGBB, the classic Windows defaults the engine's canvas uses. */
export const systemColourRgb = Object.freeze([
  0xc8c8c8, 0x000000, 0x99b4d1, 0xbfcddb, 0xf0f0f0, 0xffffff, 0x646464, 0x000000, 0x000000,
  0x000000, 0xb4b4b4, 0xf4f7fc, 0xababab, 0x3399ff, 0xffffff, 0xf0f0f0, 0xa0a0a0, 0x6d6d6d,
  0x000000, 0x434e54, 0xffffff, 0x696969, 0xe3e3e3, 0x000000, 0xffffe1, 0x000000, 0x0066cc,
  0xb9d1ea, 0xd7e4f2, 0x3399ff, 0xf0f0f0,
]);

'use strict';
// A rule document and a data document as one absolutely positioned HTML page, element by
// element as the control draws them: the rule's lines, frames, labels and pictures, the data's
// fields in their rule boxes, and the goods rows stacked under each other the row space apart,
// each as tall as its tallest cell. Rule pixels are 96 per inch, as CSS pixels are.

const { parseXml } = require('./xml.js');

// The rule's Windows font names and the fonts that stand in for them on this system.
const FONTS = { '宋体': 'AR PL UMing CN', '黑体': 'WenQuanYi Zen Hei Mono' };
const NAMED_COLORS = {
  clBlack: '#000000', clMaroon: '#800000', clGreen: '#008000', clOlive: '#808000',
  clNavy: '#000080', clPurple: '#800080', clTeal: '#008080', clGray: '#808080',
  clSilver: '#c0c0c0', clRed: '#ff0000', clLime: '#00ff00', clYellow: '#ffff00',
  clBlue: '#0000ff', clFuchsia: '#ff00ff', clAqua: '#00ffff', clWhite: '#ffffff',
};

function escapeHtml(text) {
  return text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;')
    .replace(/"/g, '&quot;');
}

// "$00BBGGRR" (blue, green, red) or a named colour.
function cssColor(text, fallback = '#000000') {
  if (!text) return fallback;
  if (text in NAMED_COLORS) return NAMED_COLORS[text];
  const hex = /^\$([0-9a-fA-F]{1,8})$/.exec(text);
  if (!hex) return fallback;
  const value = parseInt(hex[1], 16);
  const channel = (shift) => ((value >>> shift) & 0xff).toString(16).padStart(2, '0');
  return `#${channel(0)}${channel(8)}${channel(16)}`;
}

function int(element, name) {
  const value = parseInt(element.attributes[name], 10);
  return Number.isFinite(value) ? value : 0;
}

function box(element) {
  const left = int(element, 'left');
  const top = int(element, 'top');
  return { left, top, width: int(element, 'right') - left, height: int(element, 'bottom') - top };
}

const JUSTIFY = { otaLeft: 'flex-start', otaCenter: 'center', otaRight: 'flex-end' };
const ALIGN = { otaTop: 'flex-start', otaMiddle: 'center', otaBottom: 'flex-end' };
const TEXT_ALIGN = { otaLeft: 'left', otaCenter: 'center', otaRight: 'right' };

function childText(element, name) {
  const child = element.children.find((c) => c.name === name);
  return child ? child.text : '';
}

function fontStyle(element) {
  const name = element.attributes.fontName || '宋体';
  const wrap = element.attributes.wordBreak !== 'false';
  return `font-family:'${FONTS[name] || name}';font-size:${int(element, 'fontSize') || 9}pt;` +
    `color:${cssColor(element.attributes.fontColor)};` +
    (wrap ? 'word-break:break-all;' : 'white-space:pre;');
}

function textHtml(element, text) {
  const { left, top, width, height } = box(element);
  const vert = element.attributes.vertAlign || 'otaTop';
  const horz = element.attributes.horzAlign || 'otaLeft';
  // Top-aligned text grows downwards as far as it needs; other alignments centre or bottom it
  // on the box, letting it overflow both ways.
  const size = vert === 'otaTop' ? `min-height:0` : `height:${height}px`;
  return `<div class="t" style="left:${left}px;top:${top}px;width:${width}px;${size};` +
    `justify-content:${JUSTIFY[horz] || 'flex-start'};align-items:${ALIGN[vert] || 'flex-start'};` +
    `text-align:${TEXT_ALIGN[horz] || 'left'};${fontStyle(element)}">` +
    `<span>${escapeHtml(text)}</span></div>`;
}

function lineHtml(element) {
  const x1 = int(element, 'fromx'), y1 = int(element, 'fromy');
  const x2 = int(element, 'tox'), y2 = int(element, 'toy');
  const width = Math.max(1, int(element, 'size'));
  const length = Math.hypot(x2 - x1, y2 - y1);
  const angle = Math.atan2(y2 - y1, x2 - x1);
  return `<div class="l" style="left:${x1}px;top:${y1 - width / 2}px;width:${length}px;` +
    `height:${width}px;background:${cssColor(element.attributes.color)};` +
    (angle ? `transform:rotate(${angle}rad);` : '') + '"></div>';
}

function rectangleHtml(element) {
  const { left, top, width, height } = box(element);
  const pen = Math.max(1, int(element, 'size'));
  return `<div class="r" style="left:${left - pen / 2}px;top:${top - pen / 2}px;` +
    `width:${width + pen}px;height:${height + pen}px;` +
    `border:${pen}px solid ${cssColor(element.attributes.color)}"></div>`;
}

function imageHtml(element, base64) {
  const source = base64.replace(/\s+/g, '');
  if (!source) return '';
  const { left, top, width, height } = box(element);
  const horz = element.attributes.horzAlign || 'otaLeft';
  const vert = element.attributes.vertAlign || 'otaTop';
  return `<div class="i" style="left:${left}px;top:${top}px;width:${width}px;height:${height}px;` +
    `justify-content:${JUSTIFY[horz] || 'flex-start'};align-items:${ALIGN[vert] || 'flex-start'}">` +
    `<img src="data:image/png;base64,${source}"></div>`;
}

function boundFieldHtml(element, value) {
  return element.attributes.type === 'image' ? imageHtml(element, value) : textHtml(element, value);
}

// The rows as a grid at the row cells' place: one column per cell with the rule's gaps between
// them, rows as tall as their tallest cell and the row space (mm) apart.
function rowsHtml(rowItems, elementById, rowSpaceMm) {
  const cells = [];
  for (const row of rowItems) {
    for (const field of row.children) {
      const element = elementById.get(field.name);
      if (element && !cells.includes(element)) cells.push(element);
    }
  }
  if (cells.length === 0) return '';
  cells.sort((a, b) => int(a, 'left') - int(b, 'left'));
  const gridLeft = Math.min(...cells.map((c) => int(c, 'left')));
  const gridTop = Math.min(...cells.map((c) => int(c, 'top')));
  const tracks = [];
  let edge = gridLeft;
  for (const cell of cells) {
    const { left, width } = box(cell);
    tracks.push(`${Math.max(0, left - edge)}px`, `${width}px`);
    edge = Math.max(edge, left + width);
  }
  let html = `<div class="g" style="left:${gridLeft}px;top:${gridTop}px;` +
    `grid-template-columns:${tracks.join(' ')};row-gap:${rowSpaceMm}mm">`;
  rowItems.forEach((row, index) => {
    for (const field of row.children) {
      const element = elementById.get(field.name);
      if (!element || !field.text.trim()) continue;
      const column = 2 * cells.indexOf(element) + 2;
      const horz = element.attributes.horzAlign || 'otaLeft';
      const vert = element.attributes.vertAlign || 'otaTop';
      const selfAlign = { otaTop: 'start', otaMiddle: 'center', otaBottom: 'end' }[vert] || 'start';
      html += `<div style="grid-row:${index + 1};grid-column:${column};align-self:${selfAlign};` +
        `margin-top:${int(element, 'top') - gridTop}px;text-align:${TEXT_ALIGN[horz] || 'left'};` +
        `${fontStyle(element)}">${escapeHtml(field.text)}</div>`;
    }
  });
  return html + '</div>';
}

const STYLE = `@page{size:A4 %ORIENTATION%;margin:0}
html,body{margin:0;padding:0}
.p{position:relative}
.t,.i{position:absolute;display:flex;box-sizing:border-box}
.l{position:absolute;transform-origin:0 50%}
.r{position:absolute;box-sizing:border-box}
.g{position:absolute;display:grid}
img{max-width:100%;max-height:100%;object-fit:contain}`;

// One invoice page from the texts of a rule document and a data document.
function invoiceHtml(ruleText, dataText) {
  const rule = parseXml(ruleText);
  const printing = rule.children[0] && rule.children[0].children[0];
  if (!printing) throw new Error('the rule has no printing element');
  if (printing.attributes.repeatableRowAutoHeightAndTop !== 'true') {
    throw new Error('only rules with automatic row layout are converted');
  }
  const record = parseXml(dataText).children[0].children[0].children[0];
  const elementById = new Map();
  for (const element of printing.children) {
    const id = element.attributes.id;
    if (id && !elementById.has(id)) elementById.set(id, element);
  }

  let body = '';
  for (const element of printing.children) {
    const type = element.attributes.type;
    if (type === 'line') body += lineHtml(element);
    else if (type === 'rectangle') body += rectangleHtml(element);
    else if (type === 'image') body += imageHtml(element, childText(element, 'text'));
    else if (type === 'text') body += textHtml(element, childText(element, 'text'));
  }
  let rowItems = [];
  for (const field of record.children) {
    if (field.children.length > 0) {
      if (rowItems.length === 0) rowItems = field.children;
      continue;
    }
    const element = elementById.get(field.name);
    if (element && field.text.trim()) body += boundFieldHtml(element, field.text);
  }
  body += rowsHtml(rowItems, elementById, parseFloat(printing.attributes.repeatableRowSpace) || 0);

  const orientation = printing.attributes.landscape === 'true' ? 'landscape' : 'portrait';
  const offsetLeft = parseFloat(printing.attributes.offsetLeft) || 0;
  const offsetTop = parseFloat(printing.attributes.offsetTop) || 0;
  return `<!DOCTYPE html><html><head><meta charset="utf-8"><style>` +
    STYLE.replace('%ORIENTATION%', orientation) + `</style></head><body>` +
    `<div class="p" style="left:${offsetLeft}mm;top:${offsetTop}mm">${body}</div></body></html>`;
}

module.exports = { invoiceHtml, cssColor };

// The print-faithful preview lies over the form at the scale of the printer's sheet, which the
// control's picture says: right for any paper, not only for the usual ones.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import { pixelsPerMetre, sheetWidthMm } from '../../../web/designer/app/sheetSize.js';
import { sourceDir } from './fixtures.mjs';
import { tavoprintMissing, withTavoprint } from './tavoprint.mjs';

const invoice = (name) => path.join(sourceDir, 'examples/invoice', name);

test('the PDF printer\'s sheet, the sample\'s own 241 x 140 mm page, pictured at any width is 241 mm wide', { skip: tavoprintMissing }, () => {
  withTavoprint(({ run, work }) => {
    for (const width of [500, 1123, 2000]) {
      const out = path.join(work, `page-${width}.png`);
      const result = run('preview', invoice('data.xml'), invoice('rule.xml'), '--png', out,
        '--as-printed', '--pdf', '--width', String(width));
      assert.equal(result.status, 0, result.output);
      const png = readFileSync(out).toString('base64');
      assert.ok(pixelsPerMetre(png) > 0, 'the picture says no scale');
      const mm = sheetWidthMm({ png, width, height: 0 });
      assert.ok(Math.abs(mm - 241) < 0.2, `${width} px: ${mm} mm`);
    }
  });
});

test('a picture of a paper of its own size is not taken for a usual one', () => {
  // A 1000 x 581 px picture saying 4149 px per metre: 241 x 140 mm, a continuous form whose
  // proportions come close to none of the usual papers'.
  const chunk = (type, data) => {
    const body = Buffer.concat([Buffer.from(type, 'latin1'), data]);
    const length = Buffer.alloc(4);
    length.writeUInt32BE(data.length);
    return Buffer.concat([length, body, Buffer.alloc(4)]);
  };
  const header = Buffer.alloc(13);
  header.writeUInt32BE(1000, 0);
  header.writeUInt32BE(581, 4);
  const phys = Buffer.alloc(9);
  phys.writeUInt32BE(4149, 0);
  phys.writeUInt32BE(4149, 4);
  phys[8] = 1;
  const png = Buffer.concat([Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    chunk('IHDR', header), chunk('pHYs', phys), chunk('IDAT', Buffer.alloc(0))]).toString('base64');
  assert.equal(pixelsPerMetre(png), 4149);
  assert.ok(Math.abs(sheetWidthMm({ png, width: 1000, height: 581 }) - 241) < 0.1);
  // Without a scale, only the proportions are left.
  assert.equal(pixelsPerMetre(png.slice(0, 40)), 0);
});

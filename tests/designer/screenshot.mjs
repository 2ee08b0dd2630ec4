// The picture of the designer in the README: the sample invoice's rule over its scanned form,
// one field selected, taken by the tests' browser, in the browser's language given second
// (docs/designer-zh-CN.png: zh-CN). Run by scripts/designer-screenshot.
import path from 'node:path';
import { formPicturePath, invoiceDataPath, invoiceRulePath, openDesigner, openRule, sourceDir } from './designer.mjs';

const out = process.argv[2] ?? path.join(sourceDir, 'docs/designer.png');
const locale = process.argv[3];
const designer = await openDesigner({ viewport: { width: 1480, height: 800 }, locale });
try {
  const { page } = designer;
  await openRule(page, invoiceRulePath);
  await page.setInputFiles('#open-form', formPicturePath);
  const shown = page.evaluate(() => window.designer.preview.shown);
  await page.setInputFiles('#open-data', invoiceDataPath);
  await shown;
  const list = page.locator('#element-list');
  await list.selectOption(await list.locator('option', { hasText: 'gmfmc' }).getAttribute('value'));
  await page.mouse.move(10, 10);
  await page.screenshot({ path: out });
  console.log(`wrote ${out}`);
} finally {
  await designer.close();
}

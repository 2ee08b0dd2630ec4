// What the designer's tests stand on: the bridge of the e2e tests serving /designer/, the page
// open in headless Chromium, or Firefox when TAVO_BROWSER says so, and connected, and the tools
// that draw a saved rule the way the product does (tavoprint preview --png, the PDF printer and
// pdftoppm).
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { buildDir, launchBrowser, sourceDir, startBridge } from '../bridge/e2e/harness.mjs';

export { sourceDir };
/** The browser the designer's tests run in: TAVO_BROWSER, chromium (Playwright) or firefox. */
export const browserName = process.env.TAVO_BROWSER ?? 'chromium';
export const examples = path.join(sourceDir, 'examples/invoice');
export const tavoprintProgram = path.join(buildDir, 'bin', 'tavoprint');
export const invoiceRulePath = path.join(examples, 'rule.xml');
export const formPicturePath = path.join(examples, 'form.png');
export const invoiceDataPath = path.join(examples, 'data.xml');

/**
 * The bridge, a browser and the designer page, connected to the control; locale: the browser's
 * language (the designer's follows it).
 * @returns {Promise<{bridge: any, page: import('playwright-core').Page, origin: string, folder: string, close: () => Promise<void>}>}
 */
export async function openDesigner({ viewport = { width: 1500, height: 950 }, bridgeEnv = {}, locale } = {}) {
  const bridge = await startBridge({ env: bridgeEnv });
  const browser = await launchBrowser(browserName, { locale });
  const page = await browser.newPage();
  await page.setViewportSize(viewport);
  const origin = `http://127.0.0.1:${bridge.port}`;
  page.on('pageerror', (error) => console.error(`page error: ${error.message}`));
  // Whatever the bridge's content policy refuses the designer is a fault of the designer: each
  // browser tells the page itself, from the first line on.
  await page.addInitScript(() => {
    window.refusedByPolicy = [];
    document.addEventListener('securitypolicyviolation', (event) => {
      window.refusedByPolicy.push(`${event.violatedDirective} ${event.blockedURI}`);
    });
  });
  await page.goto(`${origin}/designer/`);
  await page.waitForFunction(() => document.getElementById('connection')?.dataset.state === 'ok', null, { timeout: 20000 })
    .catch(async (error) => {
      throw new Error(`${await page.textContent('#connection')} (${error.message}); bridge: ${bridge.stderr}`);
    });
  return {
    bridge, page, origin, folder: bridge.folderOf(origin),
    async close() {
      const refused = await page.evaluate(() => window.refusedByPolicy).catch(() => []);
      await browser.close();
      await bridge.stop();
      if (refused.length) throw new Error(`the content policy refused: ${refused.join('; ')}`);
    },
  };
}

/** Opens a rule file through the page's file input. */
export async function openRule(page, file) {
  await page.setInputFiles('#open-rule', file);
  await page.waitForFunction(() => /Opened|not a rule|已打开|不是模板文件/.test(document.getElementById('message').textContent));
}

/** Saves through the Save button and answers the downloaded file's text. */
export async function saveRule(page) {
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#save-download')]);
  const file = await download.path();
  return fs.readFileSync(file, 'utf8');
}

/** The rule the page holds now, as it would save it. */
export const currentRule = (page) => page.evaluate(() => window.designer.state.doc.serialize());

/** Runs tavoprint with the bridge's registry: {status, stdout, stderr}. */
export function runTavoprint(bridge, args) {
  return spawnSync(tavoprintProgram, ['--registry', bridge.registry, ...args],
    { encoding: 'utf8', env: { ...process.env, QT_QPA_PLATFORM: 'offscreen' } });
}

/** Runs tavoprint with the bridge's registry; throws with its output when it fails. */
export function tavoprint(bridge, args) {
  const run = runTavoprint(bridge, args);
  if (run.status !== 0) throw new Error(`tavoprint ${args.join(' ')}: ${run.status} ${run.stderr}${run.stdout}`);
  return run.stdout;
}

/** Writes a text into the bridge's work folder and answers its path. */
export function workFile(bridge, name, text) {
  const file = path.join(bridge.work, name);
  fs.writeFileSync(file, text);
  return file;
}

/**
 * Pixels of a PNG, decoded by the page's browser: {width, height, data: Buffer (RGBA)}. They
 * come back as Base64 text: millions of numbers one by one are more than a browser's automation
 * protocol carries well (Firefox's tab ran out of memory).
 * @param {import('playwright-core').Page} page
 * @param {string} base64
 * @param {number} [width] scaled to this width (the browser's smooth scaling), else as it is
 */
export async function decodePng(page, base64, width) {
  const picture = await page.evaluate(async ([png, w]) => {
    const img = new Image();
    img.src = `data:image/png;base64,${png}`;
    await img.decode();
    const scale = w ? w / img.naturalWidth : 1;
    const canvas = document.createElement('canvas');
    canvas.width = Math.round(img.naturalWidth * scale);
    canvas.height = Math.round(img.naturalHeight * scale);
    const context = canvas.getContext('2d');
    context.imageSmoothingQuality = 'high';
    context.drawImage(img, 0, 0, canvas.width, canvas.height);
    const { data } = context.getImageData(0, 0, canvas.width, canvas.height);
    let text = '';
    for (let i = 0; i < data.length; i += 0x8000) text += String.fromCharCode(...data.subarray(i, i + 0x8000));
    return { width: canvas.width, height: canvas.height, data: btoa(text) };
  }, [base64, width]);
  return { ...picture, data: Buffer.from(picture.data, 'base64') };
}

/** The page-to-screen factor of the stage and its position, to drag in rule pixels. */
export async function stageFrame(page) {
  return page.evaluate(() => {
    const { stage } = window.designer;
    const rect = document.getElementById('stage').getBoundingClientRect();
    return { x: rect.left, y: rect.top, sx: stage.scale.x, sy: stage.scale.y };
  });
}

/** Drags with the mouse from one rule-pixel point of the stage to another. */
export async function dragRule(page, frame, from, to) {
  await page.mouse.move(frame.x + from.x * frame.sx, frame.y + from.y * frame.sy);
  await page.mouse.down();
  await page.mouse.move(frame.x + (from.x + to.x) / 2 * frame.sx, frame.y + (from.y + to.y) / 2 * frame.sy, { steps: 3 });
  await page.mouse.move(frame.x + to.x * frame.sx, frame.y + to.y * frame.sy, { steps: 3 });
  await page.mouse.up();
}

/** Opens one of the side panel's sections (a details element) by its id. */
export const openPanel = (page, id) => page.evaluate((panel) => { document.getElementById(panel).open = true; }, id);

/** Types a value into a key of the property or page panel and commits it. */
export async function setKey(page, panel, key, value) {
  const input = page.locator(`${panel} .key[data-key="${key}"] input`);
  await input.fill(value);
  await input.press('Enter');
}


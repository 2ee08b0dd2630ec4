// Undo and redo restore every state across twenty edits of different kinds; a value the engine
// would not accept is shown as falling back and saved as typed.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import {
  currentRule, dragRule, invoiceRulePath, openDesigner, openPanel, openRule, saveRule, setKey, stageFrame,
} from './designer.mjs';

let designer;
before(async () => { designer = await openDesigner(); });
after(async () => { await designer?.close(); });

async function select(page, text) {
  const list = page.locator('#element-list');
  await list.selectOption(await list.locator('option', { hasText: text }).first().getAttribute('value'));
}

test('undo and redo across twenty edits restore each state exactly', async () => {
  const { page } = designer;
  await openRule(page, invoiceRulePath);
  const states = [await currentRule(page)];
  const edits = [
    async () => { await select(page, 'fphm'); await page.focus('#stage'); await page.keyboard.press('ArrowDown'); },
    async () => { await page.keyboard.press('Shift+ArrowLeft'); },
    async () => { await page.keyboard.press('Alt+ArrowRight'); },
    async () => { await setKey(page, '#properties', 'fontSize', '14'); },
    async () => { await setKey(page, '#properties', 'horzAlign', 'otaRight'); },
    async () => { await setKey(page, '#properties', 'fontColor', '$000000FF'); },
    async () => { await page.click('#duplicate'); },
    async () => { await page.focus('#stage'); await page.keyboard.press('Shift+ArrowDown'); },
    async () => { await setKey(page, '#properties', 'id', 'fphm2'); },
    async () => { await page.click('#delete'); },
    async () => { await select(page, 'kprq'); await setKey(page, '#properties', 'fontName', '黑体'); },
    async () => { await setKey(page, '#properties', 'wordBreak', 'true'); },
    async () => { await setKey(page, '#page-settings', 'customOffsetLeft', '1.5'); },
    async () => { await setKey(page, '#page-settings', 'landscape', ''); },
    async () => { await select(page, 'Rectangle'); await setKey(page, '#properties', 'size', '3'); },
    async () => { await page.focus('#stage'); await page.keyboard.press('ArrowUp'); },
    async () => { await select(page, 'gmfmc'); await page.keyboard.press('Control+d'); },
    async () => { await page.focus('#stage'); await page.keyboard.press('Delete'); },
    async () => { await select(page, 'jshj'); await setKey(page, '#properties', 'vertAlign', 'otaBottom'); },
    async () => { await setKey(page, '#properties', 'fontColor', ''); },
  ];
  await openPanel(page, 'page-panel');
  for (const edit of edits) {
    await edit();
    const text = await currentRule(page);
    assert.notEqual(text, states[states.length - 1], `edit ${states.length} changed the rule`);
    states.push(text);
  }
  await page.focus('#stage');
  for (let i = states.length - 2; i >= 0; --i) {
    await page.keyboard.press('Control+z');
    assert.equal(await currentRule(page), states[i], `undo to state ${i}`);
  }
  assert.equal(await page.isDisabled('#undo'), true);
  for (let i = 1; i < states.length; ++i) {
    await (i % 2 ? page.keyboard.press('Control+y') : page.click('#redo'));
    assert.equal(await currentRule(page), states[i], `redo to state ${i}`);
  }
  assert.equal(await page.isDisabled('#redo'), true);
});

test('a bad value is shown as falling back and saved as typed', async () => {
  const { page } = designer;
  await openRule(page, invoiceRulePath);
  await select(page, 'fphm');
  await setKey(page, '#properties', 'fontSize', '12pt');
  await setKey(page, '#properties', 'horzAlign', 'right');
  const fontSize = page.locator('#properties .key[data-key="fontSize"]');
  assert.equal(await fontSize.getAttribute('class'), 'key falls-back');
  assert.match(await fontSize.locator('.note').textContent(), /^Falls back: /);
  assert.equal(await fontSize.locator('input').getAttribute('aria-invalid'), 'true');
  assert.match(await page.locator('#properties .key[data-key="horzAlign"] .note').textContent(), /^Falls back: /);
  // A value the engine accepts says nothing of falling back.
  assert.doesNotMatch(await page.locator('#properties .key[data-key="vertAlign"]').getAttribute('class'), /falls-back/);
  const saved = await saveRule(page);
  const line = saved.split('\n').find((l) => l.includes('id="fphm"'));
  assert.match(line, / fontSize="12pt" /);
  assert.match(line, / horzAlign="right" /);

  // What XML cannot hold is refused with the reason, and the rule stays as it was.
  await setKey(page, '#properties', 'fontName', 'a\u0001b');
  assert.match(await page.textContent('#message'), /^Not changed: .*U\+0001/);
  assert.equal(await page.inputValue('#properties .key[data-key="fontName"] input'), '宋体');
  assert.equal(await saveRule(page), saved);
});

test('shift-click and the rubber band select several; align and distribute move them; a click on paper clears', async () => {
  const { page } = designer;
  await openRule(page, invoiceRulePath);
  const frame = await stageFrame(page);
  const click = (x, y) => page.mouse.click(frame.x + x * frame.sx, frame.y + y * frame.sy);
  const leftOf = (rule, id) => Number(rule.split('\n').find((l) => l.includes(`id="${id}"`)).match(/ left="(\d+)"/)[1]);
  // The fields fphm (720..880) and kprq (720..880) below it, and gmfmc (140..600).
  await click(800, 74);
  await page.keyboard.down('Shift');
  await click(400, 128);
  await page.keyboard.up('Shift');
  assert.equal(await page.evaluate(() => window.designer.state.selection.size), 2);
  await page.click('[data-align="left"]');
  let rule = await currentRule(page);
  assert.equal(leftOf(rule, 'fphm'), 140);
  assert.equal(leftOf(rule, 'gmfmc'), 140);
  assert.equal(leftOf(rule, 'kprq'), 720, 'what was not selected stays');
  await page.keyboard.press('Control+z');

  // A rubber band over the three bottom fields skr, fh, kpr (y 490..510) and their labels.
  await click(905, 522); // paper outside every box: clears
  assert.equal(await page.evaluate(() => window.designer.state.selection.size), 0);
  await dragRule(page, frame, { x: 45, y: 486 }, { x: 700, y: 514 });
  const picked = await page.evaluate(() => window.designer.state.selected().map((el) => el.get('id') ?? el.text));
  assert.deepEqual(picked, ['收款人:', 'skr', '复核:', 'fh', '开票人:', 'kpr']);
  await page.click('[data-distribute="horizontal"]');
  // Equal gaps (8 px) between the six, the outer two staying.
  rule = await currentRule(page);
  assert.deepEqual(['skr', 'fh', 'kpr'].map((id) => leftOf(rule, id)), [108, 314, 530]);
});

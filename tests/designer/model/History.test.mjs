import { test } from 'node:test';
import assert from 'node:assert/strict';

import { History } from '../../../web/designer/rule/History.js';
import { RuleDocument } from '../../../web/designer/rule/RuleDocument.js';
import { invoiceRule } from './fixtures.mjs';

test('undo and redo across twenty edits restore each state exactly', () => {
  let doc = RuleDocument.parse(invoiceRule);
  const history = new History(doc.serialize());
  const states = [doc.serialize()];
  for (let i = 0; i < 20; i += 1) {
    const elements = doc.elements();
    const el = elements[(i * 7) % elements.length];
    if (i % 5 === 4) doc.removeElement(el);
    else if (i % 5 === 3) doc.addElement('text', { left: String(i), top: '1', right: '50', bottom: '20' }, `label ${i}`);
    else if (i % 5 === 2) el.set('fontSize', String(8 + i));
    else {
      const b = el.bounds();
      el.setBounds({ left: b.left + 1, top: b.top + i, right: b.right + 1, bottom: b.bottom + i });
    }
    history.record(doc.serialize(), `edit ${i}`);
    states.push(doc.serialize());
    // The page re-reads the rule after every step, as after an undo.
    doc = RuleDocument.parse(doc.serialize());
  }
  assert.equal(new Set(states).size, 21, 'every edit made a new state');
  assert.equal(history.undoLabel, 'edit 19');
  for (let i = 19; i >= 0; i -= 1) assert.equal(history.undo(), states[i], `undo to state ${i}`);
  assert.equal(history.canUndo, false);
  assert.equal(history.undo(), null);
  assert.equal(history.redoLabel, 'edit 0');
  for (let i = 1; i <= 20; i += 1) assert.equal(history.redo(), states[i], `redo to state ${i}`);
  assert.equal(history.canRedo, false);
  assert.equal(history.redo(), null);

  // A new edit after undoing drops what could have been redone.
  history.undo();
  history.undo();
  history.record('other', 'other edit');
  assert.equal(history.canRedo, false);
  assert.equal(history.undo(), states[18]);
  // Recording the current text again is no step.
  history.record(states[18]);
  assert.equal(history.undo(), states[17]);
});

test('the history keeps at most its limit of steps and of text, dropping the oldest', () => {
  const history = new History('0', 3);
  for (let i = 1; i <= 5; i += 1) history.record(String(i));
  assert.deepEqual([history.undo(), history.undo(), history.undo(), history.undo()], ['4', '3', '2', null]);

  const big = new History('a'.repeat(400), 500, 1000);
  for (const c of 'bcdef') big.record(c.repeat(400));
  assert.deepEqual([big.undo(), big.undo(), big.undo()].map((t) => t && t[0]), ['e', 'd', null]);
  assert.deepEqual([big.redo(), big.redo(), big.redo()].map((t) => t && t[0]), ['e', 'f', null]);
  const huge = new History('x');
  huge.record('y'.repeat(40 * 1024 * 1024));
  huge.record('z');
  assert.equal(huge.undo()[0], 'y', 'the last step stays, however large');
});

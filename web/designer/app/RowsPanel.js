// Repeatable rows: which data fields belong to a row, and how rows are laid out: automatically
// (each row the row space below the lowest text of the rows above) or indexed (the rule holds
// one copy of the row's fields for each row number, which the designer writes). The panel keeps
// the values typed into it; switching from one way to the other offers to take out what the
// other way left in the rule.
import {
  alignRowFieldsTop, automaticRows, fieldIds, removeRowCopies, rowCopies, rowFieldIds, rowNumberOf,
  setAutomaticRows, writeIndexedRows,
} from '../rule/Rows.js';
import { mmToRule, resolutionOf, ruleToMm } from '../rule/Geometry.js';
import { continuingRowsFields } from './ContinuingRowsFields.js';

/** @typedef {import('./DesignerState.js').DesignerState} DesignerState */

export class RowsPanel {
  /** @param {DesignerState} state @param {HTMLElement} root @param {(text: string) => void} say */
  constructor(state, root, say) {
    this.state = state;
    this.root = root;
    this.say = say;
    /** the panel's inputs as last typed */
    this.values = { space: null, count: '4', pitch: '20' };
    /** @type {{text: string, button: string, act: () => void}|null} an offer made by the last switch */
    this.offer = null;
    state.addEventListener('change', (e) => { if (!e.detail.live) this.render(); });
  }

  render() {
    const doc = this.state.doc;
    const ids = fieldIds(doc);
    const rowIds = rowFieldIds(doc, this.state.rowMarks);
    const list = document.createElement('fieldset');
    list.append(Object.assign(document.createElement('legend'), { textContent: 'Row fields' }));
    if (ids.length === 0) list.append(Object.assign(document.createElement('p'), { className: 'note', textContent: 'The rule has no data fields yet.' }));
    for (const id of ids) {
      const label = document.createElement('label');
      const box = Object.assign(document.createElement('input'), { type: 'checkbox', checked: rowIds.includes(id) });
      box.dataset.rowField = id;
      box.addEventListener('change', () => this.#mark(id, box.checked));
      label.append(box, ` ${id}`);
      list.append(label);
    }

    const automatic = document.createElement('fieldset');
    automatic.append(Object.assign(document.createElement('legend'), { textContent: 'Automatic rows' }));
    const space = numberInput('row-space', 'Row space (mm)', this.values.space ?? doc.setting('repeatableRowSpace') ?? '1', '0.1',
      (value) => { this.values.space = value; });
    automatic.append(Object.assign(document.createElement('p'), {
      className: 'note',
      textContent: automaticRows(doc) ? 'The rule lays rows out automatically now.' : 'The rule\'s rows are indexed now.',
    }));
    automatic.append(space.row, button('Use automatic rows', () => this.#useAutomatic(space.input.value)));

    const indexed = document.createElement('fieldset');
    indexed.append(Object.assign(document.createElement('legend'), { textContent: 'Indexed rows' }));
    const count = numberInput('row-count', 'Copies (the rows after the first)', this.values.count, '1',
      (value) => { this.values.count = value; });
    const pitch = numberInput('row-pitch', 'Row pitch (rule px)', this.values.pitch, '1',
      (value) => { this.values.pitch = value; });
    pitch.row.append(this.#pitchInMm(pitch.input));
    indexed.append(count.row, pitch.row, button('Write the row copies', () => this.#writeCopies()));
    if (this.offer) {
      const { text, button: label, act } = this.offer;
      const offer = document.createElement('div');
      offer.className = 'offer';
      offer.setAttribute('role', 'group');
      offer.setAttribute('aria-label', 'Row layout left-overs');
      offer.append(Object.assign(document.createElement('p'), { className: 'note', textContent: text }),
        button(label, () => { this.offer = null; act(); }), button('Keep them', () => { this.offer = null; this.render(); }));
      automatic.append(offer);
    }
    this.root.replaceChildren(list, automatic, indexed, continuingRowsFields(this.state, this.say));
  }

  // A field made a row field under automatic rows goes to the top of its box at once.
  #mark(id, marked) {
    this.offer = null;
    this.state.markRowField(id, marked);
    if (!marked || !automaticRows(this.state.doc)) return;
    let changed = [];
    this.state.change('Row field', (doc) => { changed = alignRowFieldsTop(doc, [id]); });
    if (changed.length > 0) this.say(`${id} is a row field of automatic rows: its vertAlign is now otaTop, so each row starts the row space below the one before.`);
  }

  #useAutomatic(text) {
    const mm = Number(text);
    if (!Number.isFinite(mm) || text === '') {
      this.say('The row space must be a number of millimetres.');
      return;
    }
    const marked = rowFieldIds(this.state.doc, this.state.rowMarks);
    let aligned = [];
    this.state.change('Automatic rows', (doc) => {
      setAutomaticRows(doc, mm);
      aligned = alignRowFieldsTop(doc, marked);
    });
    for (const id of marked) this.state.rowMarks.add(id);
    const copies = rowCopies(this.state.doc);
    const moved = aligned.length > 0 ? ` The row fields' vertAlign is now otaTop, so each row starts the row space below the one before.` : '';
    this.say(`Rows are laid out automatically, ${text} mm apart.${moved}`);
    if (copies.length > 0) {
      this.offer = {
        text: `The rule still holds ${copies.length} row copies (index 1 and later), which automatic rows do not use: each would draw every row again at its own place.`,
        button: 'Remove the row copies',
        act: () => {
          let removed = 0;
          this.state.change('Remove row copies', (doc) => { removed = removeRowCopies(doc); });
          this.say(`Removed ${removed} row copies; rows are laid out automatically, ${text} mm apart.`);
        },
      };
    }
    this.render();
  }

  #writeCopies() {
    this.offer = null;
    const doc = this.state.doc;
    const marked = rowFieldIds(doc, this.state.rowMarks);
    const elements = doc.elements().filter((el) => marked.includes(el.get('id') ?? '') && (rowNumberOf(el) ?? 0) === 0);
    if (elements.length === 0) {
      this.say('Mark the row fields first.');
      return;
    }
    const rows = Number(this.values.count);
    const pitchPx = Number(this.values.pitch);
    if (!Number.isInteger(rows) || rows < 0 || !Number.isFinite(pitchPx)) {
      this.say('The number of rows must be a whole number and the pitch a number of rule pixels.');
      return;
    }
    const wasAutomatic = automaticRows(doc);
    this.state.rowCount = rows + 1;
    this.state.change('Indexed rows', (d) => writeIndexedRows(d, elements, rows, pitchPx));
    const off = wasAutomatic ? ' Automatic rows are off now: the copies are for indexed rows.' : '';
    this.say(`Wrote ${rows} rows of ${elements.length} fields, ${pitchPx} rule px apart.${off}`);
  }

  // The pitch in millimetres beside it, along the rule's vertical resolution; typed, it sets it.
  #pitchInMm(pixels) {
    const { dpiy } = resolutionOf(this.state.doc);
    const mm = Object.assign(document.createElement('input'), { id: 'row-pitch-mm', type: 'number', step: '0.1', className: 'narrow' });
    mm.setAttribute('aria-label', 'Row pitch in millimetres');
    const show = () => { mm.value = Number.isFinite(Number(pixels.value)) && pixels.value !== '' ? String(Math.round(ruleToMm(Number(pixels.value), dpiy) * 100) / 100) : ''; };
    pixels.addEventListener('input', show);
    mm.addEventListener('change', () => {
      const value = Number(mm.value);
      if (mm.value === '' || !Number.isFinite(value)) return;
      pixels.value = String(mmToRule(value, dpiy));
      pixels.dispatchEvent(new Event('input'));
    });
    show();
    const wrap = document.createElement('span');
    wrap.className = 'mm-input';
    wrap.append(mm, Object.assign(document.createElement('span'), { className: 'unit', textContent: 'mm' }));
    return wrap;
  }
}

function numberInput(id, text, value, step, keep) {
  const row = document.createElement('div');
  row.className = 'row';
  const label = Object.assign(document.createElement('label'), { htmlFor: id, textContent: text });
  const input = Object.assign(document.createElement('input'), { id, type: 'number', value, step, className: 'narrow' });
  input.addEventListener('input', () => keep(input.value));
  row.append(label, input);
  return { row, input };
}

function button(text, onClick) {
  const b = Object.assign(document.createElement('button'), { type: 'button', textContent: text });
  b.addEventListener('click', onClick);
  return b;
}

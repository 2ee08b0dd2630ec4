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
import { phrase, t } from '../i18n/i18n.js';

/** @typedef {import('./DesignerState.js').DesignerState} DesignerState */

export class RowsPanel {
  /** @param {DesignerState} state @param {HTMLElement} root @param {(text: string) => void} say */
  constructor(state, root, say) {
    this.state = state;
    this.root = root;
    this.say = say;
    /** the panel's inputs as last typed */
    this.values = { space: null, count: '4', pitch: '20' };
    /** @type {{text: {toString(): string}, button: {toString(): string}, act: () => void}|null} an offer made by the last switch */
    this.offer = null;
    state.addEventListener('change', (e) => { if (!e.detail.live) this.render(); });
  }

  render() {
    const doc = this.state.doc;
    const ids = fieldIds(doc);
    const rowIds = rowFieldIds(doc, this.state.rowMarks);
    const list = document.createElement('fieldset');
    list.append(Object.assign(document.createElement('legend'), { textContent: t('rows.fields') }));
    if (ids.length === 0) list.append(Object.assign(document.createElement('p'), { className: 'note', textContent: t('rows.noFields') }));
    for (const id of ids) {
      const label = document.createElement('label');
      const box = Object.assign(document.createElement('input'), { type: 'checkbox', checked: rowIds.includes(id) });
      box.dataset.rowField = id;
      box.addEventListener('change', () => this.#mark(id, box.checked));
      label.append(box, ` ${id}`);
      list.append(label);
    }

    const automatic = document.createElement('fieldset');
    automatic.append(Object.assign(document.createElement('legend'), { textContent: t('rows.automatic') }));
    const space = numberInput('row-space', t('rows.space'), this.values.space ?? doc.setting('repeatableRowSpace') ?? '1', '0.1',
      (value) => { this.values.space = value; });
    automatic.append(Object.assign(document.createElement('p'), {
      className: 'note',
      textContent: automaticRows(doc) ? t('rows.isAutomatic') : t('rows.isIndexed'),
    }));
    automatic.append(space.row, button(t('rows.useAutomatic'), () => this.#useAutomatic(space.input.value)));

    const indexed = document.createElement('fieldset');
    indexed.append(Object.assign(document.createElement('legend'), { textContent: t('rows.indexed') }));
    const count = numberInput('row-count', t('rows.count'), this.values.count, '1',
      (value) => { this.values.count = value; });
    const pitch = numberInput('row-pitch', t('rows.pitch'), this.values.pitch, '1',
      (value) => { this.values.pitch = value; });
    pitch.row.append(this.#pitchInMm(pitch.input));
    indexed.append(count.row, pitch.row, button(t('rows.writeCopies'), () => this.#writeCopies()));
    if (this.offer) {
      const { text, button: label, act } = this.offer;
      const offer = document.createElement('div');
      offer.className = 'offer';
      offer.setAttribute('role', 'group');
      offer.setAttribute('aria-label', t('rows.leftovers'));
      offer.append(Object.assign(document.createElement('p'), { className: 'note', textContent: String(text) }),
        button(String(label), () => { this.offer = null; act(); }), button(t('rows.keep'), () => { this.offer = null; this.render(); }));
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
    this.state.change(phrase('history.rowField'), (doc) => { changed = alignRowFieldsTop(doc, [id]); });
    if (changed.length > 0) this.say(phrase('rows.markedTop', { id }));
  }

  #useAutomatic(text) {
    const mm = Number(text);
    if (!Number.isFinite(mm) || text === '') {
      this.say(phrase('rows.spaceNotNumber'));
      return;
    }
    const marked = rowFieldIds(this.state.doc, this.state.rowMarks);
    let aligned = [];
    this.state.change(phrase('history.automaticRows'), (doc) => {
      setAutomaticRows(doc, mm);
      aligned = alignRowFieldsTop(doc, marked);
    });
    for (const id of marked) this.state.rowMarks.add(id);
    const copies = rowCopies(this.state.doc);
    const moved = aligned.length > 0 ? phrase('rows.moved') : '';
    this.say(phrase('rows.nowAutomatic', { space: text, moved }));
    if (copies.length > 0) {
      this.offer = {
        text: phrase('rows.copiesLeft', { count: copies.length }),
        button: phrase('rows.removeCopies'),
        act: () => {
          let removed = 0;
          this.state.change(phrase('history.removeCopies'), (doc) => { removed = removeRowCopies(doc); });
          this.say(phrase('rows.removed', { count: removed, space: text }));
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
      this.say(phrase('rows.markFirst'));
      return;
    }
    const rows = Number(this.values.count);
    const pitchPx = Number(this.values.pitch);
    if (!Number.isInteger(rows) || rows < 0 || !Number.isFinite(pitchPx)) {
      this.say(phrase('rows.badCopies'));
      return;
    }
    const wasAutomatic = automaticRows(doc);
    this.state.rowCount = rows + 1;
    this.state.change(phrase('history.indexedRows'), (d) => writeIndexedRows(d, elements, rows, pitchPx));
    const off = wasAutomatic ? phrase('rows.automaticOff') : '';
    this.say(phrase('rows.wrote', { rows, fields: elements.length, pitch: pitchPx, off }));
  }

  // The pitch in millimetres beside it, along the rule's vertical resolution; typed, it sets it.
  #pitchInMm(pixels) {
    const { dpiy } = resolutionOf(this.state.doc);
    const mm = Object.assign(document.createElement('input'), { id: 'row-pitch-mm', type: 'number', step: '0.1', className: 'narrow' });
    mm.setAttribute('aria-label', t('rows.pitchMm'));
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
    wrap.append(mm, Object.assign(document.createElement('span'), { className: 'unit', textContent: t('unit.mm') }));
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

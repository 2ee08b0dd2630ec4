// Repeatable rows: which data fields belong to a row, and how rows are laid out: automatically
// (each row the row space below the lowest text of the rows above) or indexed (the rule holds
// one copy of the row's fields for each row number, which the designer writes).
import { automaticRows, fieldIds, rowFieldIds, rowNumberOf, setAutomaticRows, writeIndexedRows } from '../rule/Rows.js';

/** @typedef {import('./DesignerState.js').DesignerState} DesignerState */

export class RowsPanel {
  /** @param {DesignerState} state @param {HTMLElement} root @param {(text: string) => void} say */
  constructor(state, root, say) {
    this.state = state;
    this.root = root;
    this.say = say;
    state.addEventListener('change', (e) => { if (!e.detail.live) this.render(); });
  }

  render() {
    const ids = fieldIds(this.state.doc);
    const rowIds = rowFieldIds(this.state.doc, this.state.rowMarks);
    const list = document.createElement('fieldset');
    list.append(Object.assign(document.createElement('legend'), { textContent: 'Row fields' }));
    if (ids.length === 0) list.append(Object.assign(document.createElement('p'), { className: 'note', textContent: 'The rule has no data fields yet.' }));
    for (const id of ids) {
      const label = document.createElement('label');
      const box = Object.assign(document.createElement('input'), { type: 'checkbox', checked: rowIds.includes(id) });
      box.dataset.rowField = id;
      box.addEventListener('change', () => this.state.markRowField(id, box.checked));
      label.append(box, ` ${id}`);
      list.append(label);
    }

    const automatic = document.createElement('fieldset');
    automatic.append(Object.assign(document.createElement('legend'), { textContent: 'Automatic rows' }));
    const space = numberInput('row-space', 'Row space (mm)', this.state.doc.setting('repeatableRowSpace') ?? '1', '0.1');
    automatic.append(Object.assign(document.createElement('p'), {
      className: 'note',
      textContent: automaticRows(this.state.doc) ? 'The rule lays rows out automatically now.' : 'The rule\'s rows are indexed now.',
    }));
    automatic.append(space.row, button('Use automatic rows', () => {
      const mm = Number(space.input.value);
      if (!Number.isFinite(mm) || space.input.value === '') {
        this.say('The row space must be a number of millimetres.');
        return;
      }
      this.state.change('Automatic rows', (doc) => setAutomaticRows(doc, mm));
      this.say(`Rows are laid out automatically, ${space.input.value} mm apart.`);
    }));

    const indexed = document.createElement('fieldset');
    indexed.append(Object.assign(document.createElement('legend'), { textContent: 'Indexed rows' }));
    const count = numberInput('row-count', 'Copies (the rows after the first)', '4', '1');
    const pitch = numberInput('row-pitch', 'Row pitch (rule px)', '20', '1');
    indexed.append(count.row, pitch.row, button('Write the row copies', () => {
      const marked = rowFieldIds(this.state.doc, this.state.rowMarks);
      const elements = this.state.doc.elements().filter((el) => marked.includes(el.get('id') ?? '') && (rowNumberOf(el) ?? 0) === 0);
      if (elements.length === 0) {
        this.say('Mark the row fields first.');
        return;
      }
      const rows = Number(count.input.value);
      const pitchPx = Number(pitch.input.value);
      if (!Number.isInteger(rows) || rows < 0 || !Number.isFinite(pitchPx)) {
        this.say('The number of rows must be a whole number and the pitch a number of rule pixels.');
        return;
      }
      this.state.change('Indexed rows', (doc) => writeIndexedRows(doc, elements, rows, pitchPx));
      this.say(`Wrote ${count.input.value} rows of ${elements.length} fields.`);
    }));
    this.root.replaceChildren(list, automatic, indexed);
  }
}

function numberInput(id, text, value, step) {
  const row = document.createElement('div');
  row.className = 'row';
  const label = Object.assign(document.createElement('label'), { htmlFor: id, textContent: text });
  const input = Object.assign(document.createElement('input'), { id, type: 'number', value, step, className: 'narrow' });
  row.append(label, input);
  return { row, input };
}

function button(text, onClick) {
  const b = Object.assign(document.createElement('button'), { type: 'button', textContent: text });
  b.addEventListener('click', onClick);
  return b;
}

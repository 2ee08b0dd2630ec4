// Repeatable rows: which data fields belong to a row, and how rows are laid out: automatically
// (each row the row space below the lowest text of the rows above) or indexed (the rule holds
// one copy of the row's fields for each row number, which the designer writes).
import { rowFieldIds, setAutomaticRows, writeIndexedRows } from '../rule/Rows.js';

/** @typedef {import('./DesignerState.js').DesignerState} DesignerState */

export class RowsPanel {
  /** @param {DesignerState} state @param {HTMLElement} root @param {(text: string) => void} say */
  constructor(state, root, say) {
    this.state = state;
    this.root = root;
    this.say = say;
    /** @type {Set<string>} field ids the user marked as row fields */
    this.marked = new Set();
    state.addEventListener('change', (e) => {
      if (e.detail.live) return;
      if (e.detail.label === 'Open') this.marked = new Set(rowFieldIds(state.doc));
      this.render();
    });
  }

  render() {
    const fields = this.state.doc.elements().filter((el) => el.kind === 'field' && (el.get('index') ?? '0') === '0');
    const ids = [...new Set(fields.map((el) => el.get('id') ?? '').filter(Boolean))];
    const list = document.createElement('fieldset');
    list.append(Object.assign(document.createElement('legend'), { textContent: 'Row fields' }));
    if (ids.length === 0) list.append(Object.assign(document.createElement('p'), { className: 'note', textContent: 'The rule has no data fields yet.' }));
    for (const id of ids) {
      const label = document.createElement('label');
      const box = Object.assign(document.createElement('input'), { type: 'checkbox', checked: this.marked.has(id) });
      box.dataset.rowField = id;
      box.addEventListener('change', () => {
        if (box.checked) this.marked.add(id);
        else this.marked.delete(id);
      });
      label.append(box, ` ${id}`);
      list.append(label);
    }

    const automatic = document.createElement('fieldset');
    automatic.append(Object.assign(document.createElement('legend'), { textContent: 'Automatic rows' }));
    const space = numberInput('row-space', 'Row space (mm)', this.state.doc.setting('repeatableRowSpace') ?? '1', '0.1');
    automatic.append(space.row, button('Use automatic rows', () => {
      this.state.change('Automatic rows', (doc) => setAutomaticRows(doc, Number(space.input.value)));
      this.say(`Rows are laid out automatically, ${space.input.value} mm apart.`);
    }));

    const indexed = document.createElement('fieldset');
    indexed.append(Object.assign(document.createElement('legend'), { textContent: 'Indexed rows' }));
    const count = numberInput('row-count', 'Number of rows', '5', '1');
    const pitch = numberInput('row-pitch', 'Row pitch (rule px)', '20', '1');
    indexed.append(count.row, pitch.row, button('Write the row copies', () => {
      const elements = this.state.doc.elements().filter((el) => el.kind === 'field' && this.marked.has(el.get('id') ?? '') && (el.get('index') ?? '0') === '0');
      if (elements.length === 0) {
        this.say('Mark the row fields first.');
        return;
      }
      this.state.change('Indexed rows', (doc) => writeIndexedRows(doc, elements, Number(count.input.value), Number(pitch.input.value)));
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

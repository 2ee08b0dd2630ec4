// The sample data the preview and the test print use: made from the rule's field ids until the
// user edits it, then theirs; edited as a table (document fields, then rows) or as XML.
import { buildData, parseData, sampleDataFor } from '../rule/SampleData.js';
import { rowSlots } from '../rule/Rows.js';
import { saveDownload } from './saving.js';
import { decodeXmlFile, textToSave } from './xmlFileText.js';
import { t } from '../i18n/i18n.js';

/** @typedef {import('./DesignerState.js').DesignerState} DesignerState */
/** @typedef {{name: string, value: string}} Field */

/** Sample data made from the rule: as many rows as the rule (or the user) gives the form. */
function madeFromRule(state) {
  const rows = rowSlots(state.doc) ?? state.rowCount ?? 3;
  return sampleDataFor(state.doc, { rows, markedIds: state.rowMarks });
}

export class SamplePanel extends EventTarget {
  /** @param {DesignerState} state @param {HTMLElement} root */
  constructor(state, root) {
    super();
    this.state = state;
    this.root = root;
    /** true while the data follows the rule's fields */
    this.following = true;
    this.text = madeFromRule(state);
    this.error = '';
    this.#build();
    const follow = () => {
      if (!this.following) return;
      const text = madeFromRule(state);
      if (text !== this.text) this.#set(text, true);
    };
    state.addEventListener('change', (e) => { if (!e.detail.live) follow(); });
    state.addEventListener('rows', follow);
  }

  /** Builds the panel again in the language of the moment; the data and its XML stay. */
  retranslate() {
    const xml = this.xml.value;
    this.#build();
    this.xml.value = xml;
  }

  /** @returns {string} the data document */
  data() { return this.text; }

  /** Replaces the data with a text of the user's (an opened data file, the XML editor). */
  useText(text) {
    this.following = false;
    this.#set(text, true);
  }

  #set(text, updateXml) {
    this.text = text;
    if (updateXml) this.xml.value = text;
    this.#renderTable();
    this.dispatchEvent(new Event('change'));
  }

  #build() {
    const tableArea = document.createElement('div');
    tableArea.className = 'sample-table';
    this.tableArea = tableArea;
    const xmlLabel = document.createElement('label');
    xmlLabel.htmlFor = 'sample-xml';
    xmlLabel.textContent = t('sample.xml');
    const xml = document.createElement('textarea');
    xml.id = 'sample-xml';
    xml.rows = 10;
    xml.spellcheck = false;
    xml.value = this.text;
    xml.addEventListener('change', () => {
      this.following = false;
      this.#set(xml.value, false);
    });
    this.xml = xml;
    const remake = button(t('sample.remake'), () => {
      this.following = true;
      this.#set(madeFromRule(this.state), true);
    });
    const addRow = button(t('sample.addRow'), () => this.#editTable((table) => {
      table.rows.push((table.rows[table.rows.length - 1] ?? []).map(({ name }) => ({ name, value: '' })));
    }));
    const dropRow = button(t('sample.dropRow'), () => this.#editTable((table) => { table.rows.pop(); }));
    const open = document.createElement('input');
    open.type = 'file';
    open.id = 'open-data';
    open.accept = '.xml,text/xml,application/xml';
    open.addEventListener('change', async () => {
      const file = open.files?.[0];
      if (file) this.useText(decodeXmlFile(await file.arrayBuffer()).text);
    });
    const openLabel = Object.assign(document.createElement('label'), { htmlFor: open.id, textContent: t('sample.open') });
    const save = button(t('sample.save'), () => saveDownload(textToSave(this.text), 'data.xml'));
    save.id = 'save-data';
    const actions = document.createElement('div');
    actions.className = 'row';
    actions.append(remake, addRow, dropRow);
    const openRow = document.createElement('div');
    openRow.className = 'row';
    openRow.append(openLabel, open, save);
    this.root.replaceChildren(tableArea, actions, openRow, xmlLabel, xml);
    this.#renderTable();
  }

  #editTable(edit) {
    const table = this.#table();
    if (!table) return;
    edit(table);
    this.following = false;
    this.#set(buildData(table), true);
  }

  #table() {
    try {
      const table = parseData(this.text);
      return table.found ? table : null;
    } catch {
      return null;
    }
  }

  #renderTable() {
    const table = this.#table();
    if (!table) {
      const note = document.createElement('p');
      note.className = 'note falls-back';
      note.textContent = t('sample.unreadable');
      this.tableArea.replaceChildren(note);
      return;
    }
    const fields = document.createElement('table');
    fields.className = 'data';
    fields.append(caption(t('sample.fields')), headRow([t('sample.field'), t('sample.value')]));
    table.fields.forEach((field, i) => {
      const tr = document.createElement('tr');
      const th = Object.assign(document.createElement('th'), { scope: 'row', textContent: field.name });
      tr.append(th, cell(field.value, `${field.name}`, (value) => this.#editTable((t) => { t.fields[i].value = value; })));
      fields.append(tr);
    });
    const parts = [fields];
    if (table.rows.length > 0) {
      const names = table.rows[0].map((f) => f.name);
      const rows = document.createElement('table');
      rows.className = 'data';
      rows.append(caption(t('sample.rows')), headRow([t('sample.row'), ...names]));
      table.rows.forEach((row, r) => {
        const tr = document.createElement('tr');
        tr.append(Object.assign(document.createElement('th'), { scope: 'row', textContent: String(r + 1) }));
        row.forEach((field, c) => {
          tr.append(cell(field.value, t('sample.cell', { name: field.name, row: r + 1 }), (value) => this.#editTable((t) => { t.rows[r][c].value = value; })));
        });
        rows.append(tr);
      });
      parts.push(rows);
    }
    this.tableArea.replaceChildren(...parts);
  }
}

function button(text, onClick) {
  const b = document.createElement('button');
  b.type = 'button';
  b.textContent = text;
  b.addEventListener('click', onClick);
  return b;
}

function caption(text) {
  return Object.assign(document.createElement('caption'), { textContent: text });
}

function headRow(names) {
  const tr = document.createElement('tr');
  tr.append(...names.map((name) => Object.assign(document.createElement('th'), { scope: 'col', textContent: name })));
  return tr;
}

function cell(value, label, write) {
  const td = document.createElement('td');
  const input = document.createElement('input');
  input.type = 'text';
  input.value = value;
  input.setAttribute('aria-label', label);
  input.addEventListener('change', () => write(input.value));
  td.append(input);
  return td;
}

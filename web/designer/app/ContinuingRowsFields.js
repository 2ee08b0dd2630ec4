// The Rows panel's part for rows that continue on the next sheet: the form's row slots for
// indexed rows, the lowest row position for automatic rows, and the page fields to bind.
import { automaticRows } from '../rule/Rows.js';
import { continuingRows, pageCountId, pageNumberId, setContinuingRows } from '../rule/ContinuingRows.js';

/** @typedef {import('./DesignerState.js').DesignerState} DesignerState */

/**
 * @param {DesignerState} state
 * @param {(text: string) => void} say
 * @returns {HTMLFieldSetElement}
 */
export function continuingRowsFields(state, say) {
  const doc = state.doc;
  const { slots, bottom } = continuingRows(doc);
  const fields = document.createElement('fieldset');
  fields.append(Object.assign(document.createElement('legend'), { textContent: 'Rows on further sheets' }));
  const now = slots !== null || (bottom !== null && automaticRows(doc))
    ? `Rows that do not fit continue on the next sheet${slots !== null ? ` after ${slots} rows` : ''}${bottom !== null && automaticRows(doc) ? `, or below rule pixel ${bottom}` : ''}.`
    : 'Rows that do not fit the sheet are not printed.';
  fields.append(Object.assign(document.createElement('p'), { className: 'note', textContent: now }));
  const slotsInput = field(fields, 'row-slots', 'Row slots of the form (indexed rows)', slots);
  const bottomInput = field(fields, 'row-bottom', 'Lowest row position (rule px, automatic rows)', bottom);

  const read = (input) => {
    if (input.value.trim() === '') return null;
    const value = Number(input.value);
    return Number.isInteger(value) && value >= 1 ? value : undefined;
  };
  fields.append(button('Continue rows on the next sheet', () => {
    const rows = { slots: read(slotsInput), bottom: read(bottomInput) };
    if (rows.slots === undefined || rows.bottom === undefined || (rows.slots === null && rows.bottom === null)) {
      say('Give the row slots or the lowest row position as a whole number from 1.');
      return;
    }
    state.change('Rows on further sheets', (d) => setContinuingRows(d, rows));
    say(`Rows continue on the next sheet; bind texts to the ids ${pageNumberId} and ${pageCountId} for "1/4".`);
  }), button('Print one sheet only', () => {
    state.change('Rows on one sheet', (d) => setContinuingRows(d, { slots: null, bottom: null }));
    say('Rows that do not fit the sheet are not printed.');
  }));
  fields.append(Object.assign(document.createElement('p'), {
    className: 'note',
    textContent: `Every other element is printed on each sheet; fields with id ${pageNumberId} and ${pageCountId} show the sheet's number and how many there are.`,
  }));
  return fields;
}

function field(parent, id, text, value) {
  const row = document.createElement('div');
  row.className = 'row';
  const label = Object.assign(document.createElement('label'), { htmlFor: id, textContent: text });
  const input = Object.assign(document.createElement('input'), { id, type: 'number', min: '1', step: '1', value: value ?? '', className: 'narrow' });
  row.append(label, input);
  parent.append(row);
  return input;
}

function button(text, onClick) {
  const b = Object.assign(document.createElement('button'), { type: 'button', textContent: text });
  b.addEventListener('click', onClick);
  return b;
}

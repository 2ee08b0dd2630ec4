// The Rows panel's part for rows that continue on the next sheet: the form's row slots for
// indexed rows, the lowest row position for automatic rows, and the page fields to bind.
import { automaticRows } from '../rule/Rows.js';
import { continuingRows, pageCountId, pageNumberId, setContinuingRows } from '../rule/ContinuingRows.js';
import { phrase, t } from '../i18n/i18n.js';

/** @typedef {import('./DesignerState.js').DesignerState} DesignerState */

/**
 * @param {DesignerState} state
 * @param {(text: {toString(): string}) => void} say
 * @returns {HTMLFieldSetElement}
 */
export function continuingRowsFields(state, say) {
  const doc = state.doc;
  const { slots, bottom } = continuingRows(doc);
  const fields = document.createElement('fieldset');
  fields.append(Object.assign(document.createElement('legend'), { textContent: t('continue.legend') }));
  const now = slots !== null || (bottom !== null && automaticRows(doc))
    ? t('continue.now', {
      slots: slots !== null ? t('continue.slots', { slots }) : '',
      bottom: bottom !== null && automaticRows(doc) ? t('continue.bottom', { bottom }) : '',
    })
    : t('continue.notPrinted');
  fields.append(Object.assign(document.createElement('p'), { className: 'note', textContent: now }));
  const slotsInput = field(fields, 'row-slots', t('continue.slotsLabel'), slots);
  const bottomInput = field(fields, 'row-bottom', t('continue.bottomLabel'), bottom);

  const read = (input) => {
    if (input.value.trim() === '') return null;
    const value = Number(input.value);
    return Number.isInteger(value) && value >= 1 ? value : undefined;
  };
  fields.append(button(t('continue.apply'), () => {
    const rows = { slots: read(slotsInput), bottom: read(bottomInput) };
    if (rows.slots === undefined || rows.bottom === undefined || (rows.slots === null && rows.bottom === null)) {
      say(phrase('continue.bad'));
      return;
    }
    state.change(phrase('history.continuing'), (d) => setContinuingRows(d, rows));
    say(phrase('continue.done', { number: pageNumberId, count: pageCountId }));
  }), button(t('continue.oneSheet'), () => {
    state.change(phrase('history.oneSheet'), (d) => setContinuingRows(d, { slots: null, bottom: null }));
    say(phrase('continue.notPrinted'));
  }));
  fields.append(Object.assign(document.createElement('p'), {
    className: 'note',
    textContent: t('continue.note', { number: pageNumberId, count: pageCountId }),
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

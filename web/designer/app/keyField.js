// One key of the rule as a labelled input: the value as written (kept as typed, also when the
// engine would not accept it), the values the engine knows as suggestions, and a line that
// says what the engine will use when the value falls back to its default.
import { describeValue } from '../rule/Keys.js';
import { mmToRule, ruleToMm } from '../rule/Geometry.js';
import { colourToCss, readInteger, readReal } from '../rule/ValueSyntax.js';
import { t } from '../i18n/i18n.js';

/** @typedef {import('../rule/Keys.js').KeyInfo} KeyInfo */

let serial = 0;

/**
 * @typedef {{dpi: number}} MmScale rule pixels of this key at this resolution are shown in
 *   millimetres beside them, and can be typed in millimetres
 */

/**
 * @param {KeyInfo} key
 * @param {string|null} value the attribute's text, null when absent
 * @param {(text: string|null) => void} write called on a change; the empty text removes the key
 * @param {{mm?: MmScale, placeholder?: string}} [options] placeholder: what the empty input
 *   says instead of the key's default (several elements with different values)
 * @returns {HTMLElement}
 */
export function keyField(key, value, write, options = {}) {
  const id = `key-${key.name}-${++serial}`;
  const row = document.createElement('div');
  row.className = 'key';
  row.dataset.key = key.name;
  const label = document.createElement('label');
  label.htmlFor = id;
  label.textContent = key.unit ? t('key.label', { name: key.name, unit: t(`unit.${key.unit}`) }) : key.name;
  const input = document.createElement('input');
  input.id = id;
  input.type = 'text';
  input.name = key.name;
  input.value = value ?? '';
  input.placeholder = options.placeholder ?? key.defaultText ?? '';
  input.spellcheck = false;
  input.autocomplete = 'off';
  const choices = key.choices ?? (key.type === 'boolean' ? ['True', 'False'] : null);
  if (choices?.length) {
    const list = document.createElement('datalist');
    list.id = `${id}-choices`;
    list.append(...choices.map((choice) => Object.assign(document.createElement('option'), { value: choice })));
    input.setAttribute('list', list.id);
    row.append(list);
  }
  const note = document.createElement('div');
  note.className = 'note';
  note.id = `${id}-note`;
  input.setAttribute('aria-describedby', note.id);
  const swatch = document.createElement('span');
  swatch.className = 'swatch';
  swatch.setAttribute('aria-hidden', 'true');

  const explain = () => {
    const text = input.value === '' ? null : input.value;
    const verdict = describeValue(key, text);
    row.classList.toggle('falls-back', !verdict.valid);
    note.textContent = !verdict.valid
      ? t('key.fallsBack', { fallback: verdict.fallback, hint: verdict.hint ? t('key.fallsBackHint', { hint: verdict.hint }) : '' })
      : text === null ? t('key.notSet', { effective: verdict.effective })
        : verdict.hint ?? (verdict.effective !== text ? t('key.reads', { effective: verdict.effective }) : '');
    note.hidden = note.textContent === '';
    input.setAttribute('aria-invalid', String(!verdict.valid));
    const colour = key.type === 'colour' || key.type === 'strictColour' ? colourToCss(text ?? '') : null;
    swatch.style.background = colour ?? 'transparent';
    swatch.hidden = !colour;
  };
  input.addEventListener('input', explain);
  input.addEventListener('change', () => {
    explain();
    write(input.value === '' ? null : input.value);
  });
  explain();
  const line = document.createElement('div');
  line.className = 'key-input';
  line.append(input, swatch);
  if (options.mm) line.append(mmInput(key, input, options.mm, write));
  row.prepend(label);
  row.append(line, note);
  return row;
}

/** Millimetres beside a length in rule pixels: they follow the pixels, and typed, set them. */
function mmInput(key, pixels, { dpi }, write) {
  const mm = document.createElement('input');
  mm.type = 'text';
  mm.inputMode = 'decimal';
  mm.className = 'mm';
  mm.setAttribute('aria-label', t('key.inMm', { name: key.name }));
  mm.autocomplete = 'off';
  const unit = Object.assign(document.createElement('span'), { className: 'unit', textContent: t('unit.mm') });
  const show = () => {
    const px = readInteger(pixels.value);
    mm.value = px === null ? '' : String(Math.round(ruleToMm(px, dpi) * 100) / 100);
  };
  pixels.addEventListener('input', show);
  mm.addEventListener('change', () => {
    const value = readReal(mm.value);
    if (value === null) {
      show();
      return;
    }
    pixels.value = String(mmToRule(value, dpi));
    pixels.dispatchEvent(new Event('input'));
    write(pixels.value);
  });
  show();
  const wrap = document.createElement('span');
  wrap.className = 'mm-input';
  wrap.append(mm, unit);
  return wrap;
}
